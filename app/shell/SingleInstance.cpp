#include "SingleInstance.h"

#include <InstanceChannel.h>
#include <InstanceServer.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillory {

SingleInstance::SingleInstance(const QString &directory, QObject *parent)
    : QObject(parent), m_directory(directory)
{
    // One library is one lock, however it is reached (through a link, a relative path).
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

SingleInstance::Outcome SingleInstance::acquire()
{
    const auto socket = InstanceChannel::socketPath(m_directory);
    const QDeadlineTimer patience(m_patienceMSecs);
    for (;;) {
        const Lock lock = takeLock();
        if (lock == Lock::Taken) {
            listen(socket);
            return Outcome::Acquired;
        }
        // A running Quillory answers from a thread of its own within milliseconds, however
        // busy its window is; waiting longer only serves a process that does not answer.
        if (askRunningInstance(socket, int(qBound(qint64(100), patience.remainingTime(),
                                                  qint64(InstanceChannel::requestTimeoutMSecs)))))
            return Outcome::AnotherRunning;
        if (lock == Lock::NoFile) {
            listen(socket);
            return Outcome::Acquired;
        }
        // Held, so its holder is alive, yet it does not answer: a Quillory between taking the
        // lock and listening gets a moment. A live holder is never pushed aside, or two
        // processes would write one library.
        if (patience.hasExpired()) {
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

bool SingleInstance::askRunningInstance(const std::optional<QString> &socket, int timeoutMSecs)
{
    // Only the answer counts: anything of this user's may listen at the socket's name.
    return socket && InstanceChannel::ask(*socket, InstanceChannel::activate, timeoutMSecs) ==
                         InstanceChannel::ok;
}

void SingleInstance::listen(const std::optional<QString> &socket)
{
    if (!socket)
        return; // the lock still protects the library; only activation is lost
    m_server = new InstanceServer(this);
    if (!m_server->listen(*socket)) {
        delete m_server;
        m_server = nullptr;
        return;
    }
    connect(m_server, &InstanceServer::activationRequested, this,
            &SingleInstance::activationRequested);
}

} // namespace quillory
