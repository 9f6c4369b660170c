#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

namespace quillory::test {

// Starts the real quillory program with `home` as its home and data folder, on the offscreen
// platform, as a fresh desktop session would (without a display).
inline void startQuillory(QProcess &process, const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QUILLORY_PATH), {});
}

} // namespace quillory::test
