#include <model/SqliteDatabase.h>

#include <model/SqliteStatement.h>
#include <model/StoreFailure.h>

#include <QUrl>
#include <sqlite3.h>
#include <utility>

namespace quillory {

SqliteDatabase::~SqliteDatabase()
{
    close();
}

bool SqliteDatabase::open(const QString &path, Mode mode, QString *error)
{
    close();
    QByteArray file = path.toUtf8();
    int flags = SQLITE_OPEN_NOMUTEX;
    switch (mode) {
    case Mode::ReadWrite:
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        break;
    case Mode::ReadOnly:
        flags |= SQLITE_OPEN_READONLY;
        break;
    case Mode::ReadOnlyFrozen:
        // Tells SQLite no other process changes the file, so it reads without the -shm
        // index; only safe when no write-ahead log is waiting to be applied.
        flags |= SQLITE_OPEN_READONLY | SQLITE_OPEN_URI;
        file = QUrl::fromLocalFile(path).toEncoded() + "?immutable=1";
        break;
    }
    const int rc = sqlite3_open_v2(file.constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        if (error)
            *error = m_db ? lastError() : QString::fromUtf8(sqlite3_errstr(rc));
        close();
        return false;
    }
    // A file from elsewhere is data, not code: nothing its schema holds may run functions with
    // side effects or rewrite the schema itself, and views are never needed.
    for (const auto &[option, value] :
         {std::pair{SQLITE_DBCONFIG_DEFENSIVE, 1}, std::pair{SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0},
          std::pair{SQLITE_DBCONFIG_ENABLE_VIEW, 0}}) {
        if (sqlite3_db_config(m_db, option, value, nullptr) != SQLITE_OK) {
            if (error)
                *error = lastError();
            close();
            return false;
        }
    }
    sqlite3_extended_result_codes(m_db, 1);
    // Saves run on the interface thread: waiting long for another program's lock would
    // freeze the window, and a refused save is tried again later anyway.
    sqlite3_busy_timeout(m_db, 250);
    return true;
}

bool SqliteDatabase::isReadOnly() const
{
    return m_db == nullptr || sqlite3_db_readonly(m_db, "main") == 1;
}

int SqliteDatabase::lastErrorCode() const
{
    return m_db ? sqlite3_extended_errcode(m_db) : SQLITE_MISUSE;
}

void SqliteDatabase::close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

bool SqliteDatabase::exec(const char *sql, QString *error)
{
    char *message = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK && error)
        *error = message ? QString::fromUtf8(message) : QString::fromUtf8(sqlite3_errstr(rc));
    sqlite3_free(message);
    return rc == SQLITE_OK;
}

SqliteStatement SqliteDatabase::prepare(const char *sql)
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) !=
        SQLITE_OK)
        return SqliteStatement();
    return SqliteStatement(statement);
}

void SqliteDatabase::releaseMemory()
{
    if (m_db)
        sqlite3_db_release_memory(m_db);
}

QString SqliteDatabase::lastError() const
{
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString();
}

bool SqliteDatabase::fail(StoreFailure *failure) const
{
    if (failure)
        *failure = {StoreFailure::causeOf(lastErrorCode()), lastError()};
    return false;
}

bool SqliteDatabase::writeTransaction(StoreFailure *failure, const std::function<bool()> &work)
{
    if (!exec("BEGIN IMMEDIATE"))
        return fail(failure);
    if (!work() || !exec("COMMIT")) {
        fail(failure); // before the rollback, which clears what went wrong
        exec("ROLLBACK");
        return false;
    }
    return true;
}

} // namespace quillory
