#include "FileRevealer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace quillory {

namespace {

// The freedesktop FileManager1 service selects the file in a file-manager window; without
// it, opening the containing folder is the next best thing.
class LinuxFileRevealer final : public FileRevealer
{
public:
    void reveal(const QString &path) override
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"),
            QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
        const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 3000);
        if (reply.type() != QDBusMessage::ReplyMessage)
            QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
    }
};

} // namespace

std::unique_ptr<FileRevealer> FileRevealer::create()
{
    return std::make_unique<LinuxFileRevealer>();
}

} // namespace quillory
