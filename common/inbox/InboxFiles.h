#pragma once

#include <QByteArray>
#include <QString>

namespace quillory {

// Safe writing of a file anywhere by its path (an export, a copy of one), as the inbox's own
// files are written: never a half-written file under its final name. The folder is found by
// its path as given, links included; the inbox's folders are opened with InboxFolder instead.
class InboxFiles final
{
public:
    // Writes to a temporary name in the same folder (one that never ends in ".json", so a
    // reader never takes it for a record), flushes it to the disk, renames it into place and
    // flushes the folder, so that after a crash the file is either whole or absent.
    static bool writeAtomically(const QString &path, const QByteArray &bytes);
    // Copies `source` (any file the user can read) to `destination` the same way.
    static bool copyAtomically(const QString &source, const QString &destination);
};

} // namespace quillory
