#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSysInfo>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillory {

namespace {

const QByteArray activateMessage = QByteArrayLiteral("activate\n");

// The identity of what `fd` and `path` name, to tell whether the file was replaced.
bool sameFile(int fd, const QString &path)
{
    struct stat opened = {}, named = {};
    return fstat(fd, &opened) == 0 && stat(QFile::encodeName(path).constData(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

} // namespace

SingleInstance::SingleInstance(const QString &directory, QObject *parent)
    : QObject(parent), m_directory(directory)
{
}

SingleInstance::~SingleInstance()
{
    if (m_lockFd >= 0)
        ::close(m_lockFd); // releases the lock; the file stays for the next launch
}

QString SingleInstance::lockPath() const
{
    return QDir(m_directory).filePath(lockFileName);
}

QString SingleInstance::serverName() const
{
    // One name per library directory, short enough for a socket path. The user's runtime
    // folder is private to the user, so nobody else can take the name first.
    const QByteArray hash =
        QCryptographicHash::hash(m_directory.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    const QString name = QStringLiteral("quillory-") + QString::fromLatin1(hash);
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return QDir(runtime).filePath(name);
    return name;
}

bool SingleInstance::acquire()
{
    QElapsedTimer waited;
    waited.start();
    bool tookOver = false;
    for (;;) {
        switch (takeLock()) {
        case Lock::Taken:
            listen();
            return true;
        case Lock::NoFile:
            if (askRunningInstance())
                return false;
            listen();
            return true;
        case Lock::HeldByAnother:
            if (askRunningInstance())
                return false;
            break;
        }
        // Held, yet nobody answers: a Quillory between taking the lock and listening, or a
        // process that is not Quillory at all. Give the first a moment, then take over.
        if (!tookOver && waited.elapsed() >= m_patienceMSecs) {
            takeOverFrom(lockPath());
            tookOver = true;
        } else if (tookOver && waited.elapsed() >= 2 * m_patienceMSecs) {
            listen(); // a replaced lock held again at once: share the socket's verdict
            return true;
        }
        QThread::msleep(50);
    }
}

SingleInstance::Lock SingleInstance::takeLock()
{
    const QByteArray path = QFile::encodeName(lockPath());
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC); // an unwritable folder's old lock
    if (fd < 0)
        return Lock::NoFile;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? Lock::HeldByAnother : Lock::NoFile;
    }
    m_lockFd = fd;
    recordHolder();
    return Lock::Taken;
}

void SingleInstance::recordHolder()
{
    // For a person looking at the folder only; nothing reads it back. A full disk or a
    // read-only file just leaves it as it was.
    const QByteArray holder =
        QByteArray::number(qint64(::getpid())) + '\n' + QSysInfo::machineHostName().toUtf8() + '\n';
    if (::ftruncate(m_lockFd, 0) == 0)
        (void)!::pwrite(m_lockFd, holder.constData(), size_t(holder.size()), 0);
}

bool SingleInstance::askRunningInstance()
{
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(500))
        return false;
    // A Quillory still opening a large library reads this once its window is up.
    socket.write(activateMessage);
    socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    return true;
}

void SingleInstance::takeOverFrom(const QString &heldPath)
{
    // Replaces the file only if it is still the one found held, so two launches taking over
    // at once do not remove each other's fresh lock.
    const int fd = ::open(QFile::encodeName(heldPath).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && sameFile(fd, heldPath))
        QFile::remove(heldPath);
    ::close(fd);
}

void SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Whatever socket is left under the name belongs to no running Quillory: the lock, or the
    // silence of the socket, said so.
    QLocalServer::removeServer(serverName());
    if (!m_server->listen(serverName()))
        return; // the lock still protects the library; only activation is lost
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *peer = m_server->nextPendingConnection()) {
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                if (peer->readAll().startsWith(activateMessage.trimmed()))
                    emit activationRequested();
                peer->disconnectFromServer();
            });
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        }
    });
}

} // namespace quillory
