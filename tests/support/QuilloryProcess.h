#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

namespace quillory::test {

// The environment of a fresh desktop session without a display, with `home` as the home,
// data and settings folder; `busAddress` empty means no session bus at all (none is found by its
// default address either).
inline QProcessEnvironment sessionEnvironment(const QString &home,
                                              const QString &busAddress = QString())
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    if (busAddress.isEmpty())
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    else
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
    return env;
}

#ifdef QUILLORY_PATH
// Starts the real quillory program as a fresh desktop session would.
inline void startQuillory(QProcess &process, const QString &home,
                          const QString &busAddress = QString())
{
    process.setProcessEnvironment(sessionEnvironment(home, busAddress));
    process.start(QStringLiteral(QUILLORY_PATH), {});
}
#endif

} // namespace quillory::test
