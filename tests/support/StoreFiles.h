#pragma once

#include <QCryptographicHash>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>
#include <sqlite3.h>

// A store file read and written the way another program would, behind the store's back.
namespace quillory::test {

inline void execOn(const QString &path, const QString &sql)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
}

// The first column of the first row `sql` gives, or "".
inline QString queryText(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_stmt *statement = nullptr;
    QString result;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        result =
            QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return result;
}

inline QByteArray fingerprint(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// SQL that copies item rows as another tool would, under the id, title and modified_at given
// as SQL expressions over the row copied.
inline QString copyItemRows(const QString &id, const QString &title, const QString &modifiedAt,
                            const QString &where = QString())
{
    return QStringLiteral("INSERT INTO items SELECT %1, type_raw_value, url_string, %2, note,"
                          " metadata_json, source_domain, source_app, folder_id, is_archived,"
                          " is_favorite, is_read, created_at, %3, accessed_at, has_thumbnail,"
                          " has_image, tag_ids FROM items %4")
        .arg(id, title, modifiedAt, where);
}

} // namespace quillory::test
