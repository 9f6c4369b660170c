#include <instance/InstanceChannel.h>

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>

#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace quillory {

namespace {

// A folder only this user may enter: a folder itself rather than a link to one, owned by
// this user, giving its group and others nothing.
bool isPrivateFolder(const QString &path)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

std::optional<QString> runtimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && isPrivateFolder(runtime))
        return QDir::cleanPath(runtime);
    return std::nullopt;
}

std::optional<QString> temporaryFolder()
{
    QString base = QDir::tempPath();
    if (!QDir::isAbsolutePath(base))
        base = QStringLiteral("/tmp");
    const QString folder = base + QStringLiteral("/quillory-%1").arg(::geteuid());
    // Whatever already has the name (another user's folder, a link) is checked, never followed
    // or changed.
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)
        return std::nullopt;
    return isPrivateFolder(folder) ? std::optional(folder) : std::nullopt;
}

} // namespace

std::optional<QString> InstanceChannel::socketPath(const QString &libraryDirectory)
{
    // One library is one name, however it is reached (through a link, a relative path).
    const QString canonical = QFileInfo(libraryDirectory).canonicalFilePath();
    const QByteArray hash =
        QCryptographicHash::hash((canonical.isEmpty() ? libraryDirectory : canonical).toUtf8(),
                                 QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    const QString name =
        QStringLiteral("/quillory-") + QString::fromLatin1(hash) + QStringLiteral(".socket");
    for (const auto &folder : {runtimeFolder, temporaryFolder}) {
        const auto found = folder();
        const QString path = found ? *found + name : QString();
        if (found && QFile::encodeName(path).size() < qsizetype(sizeof(sockaddr_un::sun_path)))
            return path;
    }
    return std::nullopt;
}

std::optional<QByteArray> InstanceChannel::ask(const QString &path, const QByteArray &request,
                                               int timeoutMSecs)
{
    const QDeadlineTimer deadline(timeoutMSecs);
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(int(deadline.remainingTime())) ||
        !peerIsThisUser(socket.socketDescriptor()))
        return std::nullopt;
    socket.write(request);
    socket.flush();
    while (!socket.canReadLine()) {
        if (socket.bytesAvailable() >= lineLimit || deadline.hasExpired() ||
            !socket.waitForReadyRead(int(deadline.remainingTime())))
            return std::nullopt;
    }
    return socket.readLine(lineLimit);
}

bool InstanceChannel::peerIsThisUser(qintptr descriptor)
{
    ucred peer = {};
    socklen_t size = sizeof(peer);
    return descriptor >= 0 &&
           ::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           size == sizeof(peer) && peer.uid == ::geteuid();
}

} // namespace quillory
