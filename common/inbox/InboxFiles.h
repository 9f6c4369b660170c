#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace quillory {

// File work on the shared inbox, which any program of the user's may write into: reads
// never follow a symbolic link, never block on a FIFO or device and never read more than
// they were told to; writes never leave a half-written file under its final name.
class InboxFiles final
{
public:
    // The bytes of a regular file (not a link to one), or absent when there is none, it
    // cannot be read, or it holds more than `limit` bytes.
    static std::optional<QByteArray> readRegularFile(const QString &path, qint64 limit);
    // True when `path` names a regular file itself, not through a link.
    static bool isRegularFile(const QString &path);

    // Writes to a temporary name in the same folder (one that never ends in ".json", so a
    // reader never takes it for a record), flushes it to the disk, renames it into place and
    // flushes the folder, so that after a crash the file is either whole or absent.
    static bool writeAtomically(const QString &path, const QByteArray &bytes);
    // Copies `source` (any file the user can read) to `destination` the same way.
    static bool copyAtomically(const QString &source, const QString &destination);
};

} // namespace quillory
