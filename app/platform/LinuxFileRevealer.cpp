#include <platform/LinuxFileRevealer.h>

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace quillory {

namespace {

void openContainingFolder(const QString &path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

} // namespace

LinuxFileRevealer::LinuxFileRevealer(const QDBusConnection &bus) : m_bus(bus)
{
}

void LinuxFileRevealer::reveal(const QString &path)
{
    if (!m_bus)
        m_bus = QDBusConnection::sessionBus();
    if (!m_bus->isConnected()) {
        openContainingFolder(path);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    auto *watcher =
        new QDBusPendingCallWatcher(m_bus->asyncCall(call, replyTimeoutMSecs), &m_pendingCalls);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [path](QDBusPendingCallWatcher *finished) {
                         if (finished->isError())
                             openContainingFolder(path);
                         finished->deleteLater();
                     });
}

std::unique_ptr<FileRevealer> FileRevealer::create()
{
    return std::make_unique<LinuxFileRevealer>();
}

} // namespace quillory
