#include <model/SqliteStatement.h>

#include <sqlite3.h>
#include <utility>

namespace quillory {

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_statement);
}

SqliteStatement::SqliteStatement(SqliteStatement &&other) noexcept
    : m_statement(std::exchange(other.m_statement, nullptr)), m_failed(other.m_failed),
      m_bindFailed(other.m_bindFailed)
{
}

SqliteStatement &SqliteStatement::operator=(SqliteStatement &&other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_statement);
        m_statement = std::exchange(other.m_statement, nullptr);
        m_failed = other.m_failed;
        m_bindFailed = other.m_bindFailed;
    }
    return *this;
}

void SqliteStatement::bind(int index, const QString &value)
{
    const QByteArray utf8 = value.toUtf8();
    bound(sqlite3_bind_text64(m_statement, index, utf8.constData(), sqlite3_uint64(utf8.size()),
                              SQLITE_TRANSIENT, SQLITE_UTF8));
}

void SqliteStatement::bind(int index, const std::optional<QString> &value)
{
    if (value)
        bind(index, *value);
    else
        bindNull(index);
}

void SqliteStatement::bind(int index, const QByteArray &value)
{
    // A zero-length blob must stay a blob, not NULL: empty bytes are not absent bytes.
    if (value.isEmpty())
        bound(sqlite3_bind_zeroblob(m_statement, index, 0));
    else
        bound(sqlite3_bind_blob64(m_statement, index, value.constData(),
                                  sqlite3_uint64(value.size()), SQLITE_TRANSIENT));
}

void SqliteStatement::bind(int index, const std::optional<QByteArray> &value)
{
    if (value)
        bind(index, *value);
    else
        bindNull(index);
}

void SqliteStatement::bind(int index, qint64 value)
{
    bound(sqlite3_bind_int64(m_statement, index, value));
}

void SqliteStatement::bind(int index, const std::optional<qint64> &value)
{
    if (value)
        bind(index, *value);
    else
        bindNull(index);
}

void SqliteStatement::bindNull(int index)
{
    bound(sqlite3_bind_null(m_statement, index));
}

void SqliteStatement::bound(int result)
{
    if (result != SQLITE_OK)
        m_bindFailed = true;
}

bool SqliteStatement::step()
{
    // A value SQLite refused (too large, say) would leave its parameter NULL: the row would
    // be written without it and the write reported as done.
    if (m_bindFailed) {
        m_failed = true;
        return false;
    }
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return true;
    m_failed = rc != SQLITE_DONE;
    return false;
}

void SqliteStatement::reset()
{
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
    m_failed = false;
    m_bindFailed = false;
}

bool SqliteStatement::isNull(int column) const
{
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

qint64 SqliteStatement::int64(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

std::string_view SqliteStatement::textView(int column) const
{
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
    const int size = sqlite3_column_bytes(m_statement, column);
    return data ? std::string_view(data, size_t(size)) : std::string_view();
}

std::string_view SqliteStatement::blobView(int column) const
{
    const auto *data = static_cast<const char *>(sqlite3_column_blob(m_statement, column));
    const int size = sqlite3_column_bytes(m_statement, column);
    return data ? std::string_view(data, size_t(size)) : std::string_view();
}

std::optional<std::string_view> SqliteStatement::optionalTextView(int column) const
{
    if (isNull(column))
        return std::nullopt;
    return textView(column);
}

std::optional<std::string_view> SqliteStatement::optionalBlobView(int column) const
{
    if (isNull(column))
        return std::nullopt;
    return blobView(column);
}

QString SqliteStatement::text(int column) const
{
    const std::string_view v = textView(column);
    return QString::fromUtf8(v.data(), qsizetype(v.size()));
}

std::optional<QString> SqliteStatement::optionalText(int column) const
{
    if (isNull(column))
        return std::nullopt;
    return text(column);
}

QByteArray SqliteStatement::blob(int column) const
{
    const void *data = sqlite3_column_blob(m_statement, column);
    const int size = sqlite3_column_bytes(m_statement, column);
    return data ? QByteArray(static_cast<const char *>(data), size) : QByteArray();
}

std::optional<QByteArray> SqliteStatement::optionalBlob(int column) const
{
    if (isNull(column))
        return std::nullopt;
    return blob(column);
}

} // namespace quillory
