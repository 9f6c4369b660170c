#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace quillory {

// A folder of the shared inbox held open by its descriptor. Every name is looked up in the
// folder itself, relative to that descriptor, and never through a symbolic link: a link
// planted where a folder, a record or a picture should be is neither read, nor written
// through, nor deleted beyond the link itself. Move-only; closes the folder when destroyed.
// Its operations only touch the file system, so one folder may be used from several threads.
class InboxFolder final
{
public:
    enum class Links {
        Refuse, // the folder itself must not be a link (those above it may be)
        Follow, // for a folder the user chose, such as an export's destination
    };
    enum class Missing { Fail, Create };

    InboxFolder() = default;
    ~InboxFolder();
    InboxFolder(InboxFolder &&other) noexcept;
    InboxFolder &operator=(InboxFolder &&other) noexcept;
    InboxFolder(const InboxFolder &) = delete;
    InboxFolder &operator=(const InboxFolder &) = delete;

    // Not open when `path` is no folder or cannot be opened (or is a link, unless followed).
    static InboxFolder open(const QString &path, Links links = Links::Refuse);
    // The folder `name` directly inside this one, made private (0700) when missing and
    // `missing` says so; not open when `name` is a link, no folder or no bare name.
    InboxFolder folder(const QString &name, Missing missing = Missing::Fail) const;

    bool isOpen() const { return m_fd >= 0; }
    // For messages, watchers and the addresses of shared files: never used to reach a file.
    const QString &path() const { return m_path; }
    QString filePath(const QString &name) const;

    // True when the folder is this user's; its mode becomes 0700 when anyone else could
    // list, enter or write it.
    bool makePrivate() const;

    // Every name in the folder but "." and "..", whatever it is (links and folders too).
    QStringList names() const;
    // The bytes of `name` when it is a regular file itself (not a link, FIFO or device) of at
    // most `limit` bytes.
    std::optional<QByteArray> read(const QString &name, qint64 limit) const;
    bool isRegularFile(const QString &name) const;
    // Removes `name` itself (a link, never what it points at); never a folder.
    bool remove(const QString &name) const;
    // Renames `name` to `newName` in `target` (this folder or another on the same file
    // system), replacing what `newName` was there.
    bool move(const QString &name, const InboxFolder &target, const QString &newName) const;

    // Writes under a temporary name in this folder (one that never ends in ".json", so a
    // reader never takes it for a record), flushes it to the disk, renames it to `name` and
    // flushes the folder, so that after a crash the file is either whole or absent.
    bool write(const QString &name, const QByteArray &bytes) const;
    // Copies `source` (any file the user can read, found by its path) to `name` the same way.
    bool copy(const QString &source, const QString &name) const;

private:
    InboxFolder(int fd, QString path) : m_fd(fd), m_path(std::move(path)) {}

    int m_fd = -1;
    QString m_path;
};

} // namespace quillory
