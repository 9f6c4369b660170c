#include <inbox/InboxFolder.h>

#include <inbox/InboxLayout.h>

#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quillory {

namespace {

// Closes a descriptor at the end of its scope.
class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

bool writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

QString temporaryNameFor(const QString &name)
{
    const QString tail =
        QLatin1Char('.') + QUuid::createUuid().toString(QUuid::Id128) + QStringLiteral(".partial");
    // The target's name is only a hint at what is being written: a name that already fills
    // the file system's limit leaves no room for all of it beside the tail.
    return QLatin1Char('.') +
           InboxLayout::leadingPart(name, InboxLayout::nameLimit - 1 - tail.size()) + tail;
}

// Fills a fresh temporary file beside `name`, then puts it in place and makes both durable.
// The rename replaces a link at `name` itself: nothing is ever written through one.
bool writeInto(int folder, const QString &name, const std::function<bool(int)> &fill)
{
    const QByteArray temporary = QFile::encodeName(temporaryNameFor(name));
    Descriptor fd(::openat(folder, temporary.constData(),
                           O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (fd.get() < 0)
        return false;
    bool written = fill(fd.get()) && ::fsync(fd.get()) == 0;
    ::close(fd.release());
    written = written && ::renameat(folder, temporary.constData(), folder,
                                    QFile::encodeName(name).constData()) == 0;
    if (!written) {
        ::unlinkat(folder, temporary.constData(), 0);
        return false;
    }
    return ::fsync(folder) == 0;
}

} // namespace

InboxFolder::~InboxFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

InboxFolder::InboxFolder(InboxFolder &&other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path))
{
}

InboxFolder &InboxFolder::operator=(InboxFolder &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
    }
    return *this;
}

InboxFolder InboxFolder::open(const QString &path, Links links)
{
    const int flags =
        O_RDONLY | O_DIRECTORY | O_CLOEXEC | (links == Links::Refuse ? O_NOFOLLOW : 0);
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    return fd < 0 ? InboxFolder() : InboxFolder(fd, QFileInfo(path).absoluteFilePath());
}

InboxFolder InboxFolder::folder(const QString &name, Missing missing) const
{
    if (!isOpen() || !InboxLayout::isBareName(name))
        return {};
    const QByteArray encoded = QFile::encodeName(name);
    if (missing == Missing::Create && ::mkdirat(m_fd, encoded.constData(), 0700) != 0 &&
        errno != EEXIST)
        return {};
    const int fd =
        ::openat(m_fd, encoded.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return fd < 0 ? InboxFolder() : InboxFolder(fd, filePath(name));
}

QString InboxFolder::filePath(const QString &name) const
{
    return m_path + QLatin1Char('/') + name;
}

bool InboxFolder::makePrivate() const
{
    struct stat info = {};
    if (!isOpen() || ::fstat(m_fd, &info) != 0 || info.st_uid != ::geteuid())
        return false;
    return (info.st_mode & 077) == 0 || ::fchmod(m_fd, 0700) == 0;
}

QStringList InboxFolder::names() const
{
    if (!isOpen())
        return {};
    // A description of its own, so that listings never share a reading position.
    const int fd = ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return {};
    DIR *dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return {};
    }
    QStringList names;
    while (const dirent *entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name != QLatin1String(".") && name != QLatin1String(".."))
            names.append(name);
    }
    ::closedir(dir);
    return names;
}

std::optional<QByteArray> InboxFolder::read(const QString &name, qint64 limit) const
{
    if (!isOpen() || !InboxLayout::isBareName(name))
        return std::nullopt;
    // O_NONBLOCK: opening a FIFO must not wait for a writer that never comes.
    const Descriptor fd(::openat(m_fd, QFile::encodeName(name).constData(),
                                 O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info = {};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size > limit)
        return std::nullopt;
    QByteArray bytes;
    bytes.reserve(qsizetype(info.st_size));
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        if (bytes.size() + got > limit)
            return std::nullopt; // it grew while being read
        bytes.append(buffer, got);
    }
    return bytes;
}

bool InboxFolder::isRegularFile(const QString &name) const
{
    struct stat info = {};
    return isOpen() && InboxLayout::isBareName(name) &&
           ::fstatat(m_fd, QFile::encodeName(name).constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(info.st_mode);
}

bool InboxFolder::remove(const QString &name) const
{
    return isOpen() && InboxLayout::isBareName(name) &&
           ::unlinkat(m_fd, QFile::encodeName(name).constData(), 0) == 0;
}

bool InboxFolder::move(const QString &name, const InboxFolder &target, const QString &newName) const
{
    return isOpen() && target.isOpen() && InboxLayout::isBareName(name) &&
           InboxLayout::isBareName(newName) &&
           ::renameat(m_fd, QFile::encodeName(name).constData(), target.m_fd,
                      QFile::encodeName(newName).constData()) == 0;
}

bool InboxFolder::write(const QString &name, const QByteArray &bytes) const
{
    return isOpen() && InboxLayout::isBareName(name) && writeInto(m_fd, name, [&bytes](int fd) {
               return writeAll(fd, bytes.constData(), bytes.size());
           });
}

bool InboxFolder::copy(const QString &source, const QString &name) const
{
    QFile in(source);
    if (!isOpen() || !InboxLayout::isBareName(name) || !QFileInfo(source).isFile() ||
        !in.open(QIODevice::ReadOnly))
        return false;
    return writeInto(m_fd, name, [&in](int fd) {
        while (!in.atEnd()) {
            const QByteArray piece = in.read(1024 * 1024);
            if (in.error() != QFileDevice::NoError ||
                !writeAll(fd, piece.constData(), piece.size()))
                return false;
        }
        return true;
    });
}

} // namespace quillory
