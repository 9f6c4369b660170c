#pragma once

#include <QString>
#include <memory>

struct sqlite3;

namespace quillory {

class SqliteStatement;

// Owns one SQLite connection. Errors come back as text; nothing here throws.
class SqliteDatabase final
{
public:
    SqliteDatabase() = default;
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase &) = delete;
    SqliteDatabase &operator=(const SqliteDatabase &) = delete;

    bool open(const QString &path, QString *error);
    bool isOpen() const { return m_db != nullptr; }
    void close();

    // Runs one or more statements that return no rows.
    bool exec(const char *sql, QString *error = nullptr);
    SqliteStatement prepare(const char *sql);

    QString lastError() const;
    // Frees what the page cache holds beyond its current limit.
    void releaseMemory();
    sqlite3 *handle() const { return m_db; }

private:
    sqlite3 *m_db = nullptr;
};

} // namespace quillory
