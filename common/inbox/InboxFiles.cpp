#include "InboxFiles.h"

#include "InboxLayout.h"

#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

QString temporaryNameFor(const QString &path)
{
    const QFileInfo info(path);
    const QString tail =
        QLatin1Char('.') + QUuid::createUuid().toString(QUuid::Id128) + QStringLiteral(".partial");
    // The target's name is only a hint at what is being written: a name that already fills
    // the file system's limit leaves no room for all of it beside the tail.
    const QString hint =
        InboxLayout::leadingPart(info.fileName(), InboxLayout::nameLimit - 1 - tail.size());
    return info.absolutePath() + QStringLiteral("/.") + hint + tail;
}

bool syncFolder(const QString &folder)
{
    const Descriptor fd(
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.get() >= 0 && ::fsync(fd.get()) == 0;
}

// Moves a finished temporary file into place and makes both durable.
bool finish(Descriptor &fd, const QString &temporary, const QString &path)
{
    const bool synced = ::fsync(fd.get()) == 0;
    ::close(fd.release());
    if (!synced || ::rename(QFile::encodeName(temporary).constData(),
                            QFile::encodeName(path).constData()) != 0) {
        ::unlink(QFile::encodeName(temporary).constData());
        return false;
    }
    return syncFolder(QFileInfo(path).absolutePath());
}

Descriptor createTemporary(const QString &temporary)
{
    return Descriptor(::open(QFile::encodeName(temporary).constData(),
                             O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
}

} // namespace

std::optional<QByteArray> InboxFiles::readRegularFile(const QString &path, qint64 limit)
{
    // O_NONBLOCK: opening a FIFO must not wait for a writer that never comes.
    const Descriptor fd(::open(QFile::encodeName(path).constData(),
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

bool InboxFiles::isRegularFile(const QString &path)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

bool InboxFiles::writeAtomically(const QString &path, const QByteArray &bytes)
{
    const QString temporary = temporaryNameFor(path);
    Descriptor fd = createTemporary(temporary);
    if (fd.get() < 0)
        return false;
    if (!writeAll(fd.get(), bytes.constData(), bytes.size())) {
        ::unlink(QFile::encodeName(temporary).constData());
        return false;
    }
    return finish(fd, temporary, path);
}

bool InboxFiles::copyAtomically(const QString &source, const QString &destination)
{
    QFile in(source);
    if (!QFileInfo(source).isFile() || !in.open(QIODevice::ReadOnly))
        return false;
    const QString temporary = temporaryNameFor(destination);
    Descriptor fd = createTemporary(temporary);
    if (fd.get() < 0)
        return false;
    while (!in.atEnd()) {
        const QByteArray piece = in.read(1024 * 1024);
        if (in.error() != QFileDevice::NoError ||
            !writeAll(fd.get(), piece.constData(), piece.size())) {
            ::unlink(QFile::encodeName(temporary).constData());
            return false;
        }
    }
    return finish(fd, temporary, destination);
}

} // namespace quillory
