#include <model/StoreFailure.h>

#include <sqlite3.h>

namespace quillory {

StoreFailure::Cause StoreFailure::causeOf(int sqliteCode)
{
    switch (sqliteCode & 0xff) {
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return Cause::ReadOnly;
    case SQLITE_FULL:
        return Cause::DiskFull;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Cause::Busy;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return Cause::Damaged;
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
        return Cause::InputOutput;
    default:
        return Cause::Other;
    }
}

} // namespace quillory
