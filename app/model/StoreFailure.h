#pragma once

#include <QString>

namespace quillory {

// Why the store could not read or write its file: the database engine's own text, and what
// kind of trouble it is, so the user can be told what helps.
struct StoreFailure
{
    enum class Cause {
        ReadOnly, // the file, its folder or the disk refuses writing
        DiskFull,
        Busy,    // another program holds a lock on the file
        Damaged, // the file is not (or no longer) a readable database
        InputOutput,
        Other
    };

    Cause cause = Cause::Other;
    QString message;

    // From an SQLite result code (primary or extended).
    static Cause causeOf(int sqliteCode);

    bool operator==(const StoreFailure &) const = default;
};

} // namespace quillory
