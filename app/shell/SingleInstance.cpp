#include <shell/SingleInstance.h>

#include <instance/InstanceChannel.h>
#include <instance/InstanceServer.h>

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

namespace {

// Never through a link, and never waiting on a pipe put in the file's place.
constexpr int lockFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;

} // namespace

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
        if (lock == Lock::NotAFile) {
            m_problem = QStringLiteral("%1 is not a plain file (a link, a folder or a pipe has "
                                       "its name), so Quillory cannot use it as its lock and "
                                       "leaves it alone. Remove it and start Quillory again.")
                            .arg(lockPath());
            return Outcome::Refused;
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
    QByteArray head(32, '\0');
    const int fd = ::open(QFile::encodeName(lockPath()).constData(), O_RDONLY | lockFlags);
    const ssize_t read = fd >= 0 ? ::read(fd, head.data(), size_t(head.size())) : -1;
    if (fd >= 0)
        ::close(fd);
    head.truncate(qMax(qsizetype(read), qsizetype(0)));
    const QByteArray pid = head.left(head.indexOf('\n')).trimmed();
    bool number = false;
    pid.toLongLong(&number);
    return number ? QStringLiteral("process id ") + QString::fromLatin1(pid)
                  : QStringLiteral("unknown");
}

SingleInstance::Lock SingleInstance::takeLock()
{
    const QByteArray path = QFile::encodeName(lockPath());
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | lockFlags, 0600);
    if (fd < 0 && errno != ELOOP) // an unwritable folder's old lock
        fd = ::open(path.constData(), O_RDONLY | lockFlags);
    if (fd < 0)
        return errno == ELOOP ? Lock::NotAFile : Lock::NoFile;
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return Lock::NotAFile;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? Lock::HeldByAnother : Lock::NoFile;
    }
    m_lockFd = fd;
    // Only a file of this user's with no other name is Quillory's to rewrite: one another
    // user left (after a run as root) or a hard link to some other file keeps its contents.
    if (info.st_uid == ::geteuid() && info.st_nlink == 1)
        recordHolder();
    return Lock::Taken;
}

void SingleInstance::recordHolder()
{
    // For a person looking at the folder; only the refusal message reads it back. A full
    // disk or a read-only file just leaves it as it was.
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
