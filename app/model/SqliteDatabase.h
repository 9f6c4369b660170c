#pragma once

#include <QString>
#include <functional>
#include <memory>

struct sqlite3;

namespace quillory {

class SqliteStatement;
struct StoreFailure;

// Owns one SQLite connection. Errors come back as text and result codes; nothing here
// throws.
class SqliteDatabase final
{
public:
    enum class Mode {
        ReadWrite,     // creating the file when it does not exist
        ReadOnly,      // an existing file, never written
        ReadOnlyFrozen // read-only where even the shared-memory index cannot be created
    };

    SqliteDatabase() = default;
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase &) = delete;
    SqliteDatabase &operator=(const SqliteDatabase &) = delete;

    bool open(const QString &path, Mode mode, QString *error);
    bool isOpen() const { return m_db != nullptr; }
    // True when writing is refused: opened read-only, or the file could only be opened so.
    bool isReadOnly() const;
    void close();

    // Runs one or more statements that return no rows.
    bool exec(const char *sql, QString *error = nullptr);
    SqliteStatement prepare(const char *sql);

    QString lastError() const;
    // The extended result code of the last failed call.
    int lastErrorCode() const;
    // Fills `failure`, when given, with the last failure; always false, for returning.
    bool fail(StoreFailure *failure) const;
    // Runs `work` between BEGIN IMMEDIATE and COMMIT. When the start, `work` or the commit
    // fails, rolls back and fills `failure` with the error as it was before the rollback.
    bool writeTransaction(StoreFailure *failure, const std::function<bool()> &work);
    // Frees what the page cache holds beyond its current limit.
    void releaseMemory();
    sqlite3 *handle() const { return m_db; }

private:
    sqlite3 *m_db = nullptr;
};

} // namespace quillory
