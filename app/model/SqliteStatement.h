#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <string_view>

struct sqlite3_stmt;

namespace quillory {

// Short-lived RAII wrapper around one prepared statement. Owned by the caller; binding
// indexes start at 1 and column indexes at 0, as in SQLite.
class SqliteStatement final
{
public:
    SqliteStatement() = default;
    explicit SqliteStatement(sqlite3_stmt *statement) : m_statement(statement) {}
    ~SqliteStatement();
    SqliteStatement(SqliteStatement &&other) noexcept;
    SqliteStatement &operator=(SqliteStatement &&other) noexcept;
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    bool isValid() const { return m_statement != nullptr; }

    void bind(int index, const QString &value);
    void bind(int index, const std::optional<QString> &value);
    void bind(int index, const QByteArray &value);
    void bind(int index, const std::optional<QByteArray> &value);
    void bind(int index, qint64 value);
    void bind(int index, const std::optional<qint64> &value);
    void bindNull(int index);

    // True while a row is available; false at the end or on error (see failed()), which
    // includes a value a bind() since the last reset() could not hand to SQLite.
    bool step();
    bool failed() const { return m_failed; }
    // Resets for another run with new bindings.
    void reset();

    bool isNull(int column) const;
    qint64 int64(int column) const;
    QString text(int column) const;
    std::optional<QString> optionalText(int column) const;
    QByteArray blob(int column) const;
    std::optional<QByteArray> optionalBlob(int column) const;
    // Valid until the next step(); no copy.
    std::string_view textView(int column) const;
    std::optional<std::string_view> optionalTextView(int column) const;
    std::string_view blobView(int column) const;
    std::optional<std::string_view> optionalBlobView(int column) const;

private:
    void bound(int result);

    sqlite3_stmt *m_statement = nullptr;
    bool m_failed = false;
    bool m_bindFailed = false;
};

} // namespace quillory
