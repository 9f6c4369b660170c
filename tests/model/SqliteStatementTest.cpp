#include <model/SqliteDatabase.h>
#include <model/SqliteStatement.h>

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

qint64 rowCount(SqliteDatabase &db)
{
    SqliteStatement count = db.prepare("SELECT count(*) FROM t");
    return count.step() ? count.int64(0) : -1;
}

} // namespace

// SQLite refuses a value over its length limit at bind time and leaves the parameter NULL;
// stepping on would write the row without it.
TEST(SqliteStatement, AValueSQLiteRefusesFailsTheStepInsteadOfWritingNull)
{
    QTemporaryDir dir;
    SqliteDatabase db;
    QString error;
    ASSERT_TRUE(db.open(dir.filePath(u"t.db"_s), SqliteDatabase::Mode::ReadWrite, &error))
        << qPrintable(error);
    ASSERT_TRUE(db.exec("CREATE TABLE t(a TEXT, b BLOB)"));
    constexpr int limit = 1000;
    sqlite3_limit(db.handle(), SQLITE_LIMIT_LENGTH, limit);

    SqliteStatement insert = db.prepare("INSERT INTO t VALUES (?, ?)");
    const QString tooLong(limit + 1, u'x');
    const QByteArray tooLarge(limit + 1, 'x');
    for (int refused : {1, 2}) {
        SCOPED_TRACE(refused == 1 ? "text" : "blob");
        insert.reset();
        insert.bind(1, refused == 1 ? tooLong : u"fits"_s);
        insert.bind(2, refused == 2 ? tooLarge : QByteArray("fits"));
        EXPECT_FALSE(insert.step());
        EXPECT_TRUE(insert.failed());
        EXPECT_EQ(rowCount(db), 0);
    }

    // The next use starts clean.
    insert.reset();
    insert.bind(1, u"fits"_s);
    insert.bind(2, QByteArray("fits"));
    insert.step();
    EXPECT_FALSE(insert.failed());
    EXPECT_EQ(rowCount(db), 1);
}
