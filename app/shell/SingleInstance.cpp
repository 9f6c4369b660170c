#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
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

} // namespace

SingleInstance::SingleInstance(const QString &directory, QObject *parent)
    : QObject(parent), m_directory(directory)
{
    // One library is one name, however it is reached (through a link, a relative path).
    const QString canonical = QFileInfo(directory).canonicalFilePath();
    if (!canonical.isEmpty())
        m_directory = canonical;
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
    // In the abstract namespace, so every launch finds it whatever its XDG_RUNTIME_DIR or
    // temporary folder; the user id keeps users apart.
    const QByteArray hash =
        QCryptographicHash::hash(m_directory.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("quillory-%1-").arg(::getuid()) + QString::fromLatin1(hash);
}

SingleInstance::Outcome SingleInstance::acquire()
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const Lock lock = takeLock();
        if (lock == Lock::Taken) {
            listen();
            return Outcome::Acquired;
        }
        if (askRunningInstance())
            return Outcome::AnotherRunning;
        if (lock == Lock::NoFile) {
            listen();
            return Outcome::Acquired;
        }
        // Held, so its holder is alive, yet it does not answer: a Quillory between taking the
        // lock and listening gets a moment. A live holder is never pushed aside, or two
        // processes would write one library.
        if (waited.elapsed() >= m_patienceMSecs) {
            m_problem = QStringLiteral("Another process (%1) holds the lock %2 but does not "
                                       "answer. If Quillory is still running, end it first.")
                            .arg(holderDescription(), lockPath());
            return Outcome::Unresponsive;
        }
        QThread::msleep(50);
    }
}

QString SingleInstance::holderDescription() const
{
    QFile file(lockPath());
    const QByteArray pid =
        file.open(QIODevice::ReadOnly) ? file.readLine().trimmed() : QByteArray();
    bool number = false;
    pid.toLongLong(&number);
    return number ? QStringLiteral("process id ") + QString::fromLatin1(pid)
                  : QStringLiteral("unknown");
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
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(500))
        return false;
    // A Quillory still opening a large library reads this once its window is up.
    socket.write(activateMessage);
    socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    return true;
}

void SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    // An abstract name disappears with its process: no socket file is ever left behind.
    m_server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
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
