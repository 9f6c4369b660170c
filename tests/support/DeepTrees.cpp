#include "DeepTrees.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace quillory::test {

QByteArray DeepTrees::bookmarkFile(int depth)
{
    QByteArray bytes = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n";
    bytes.reserve(qsizetype(depth) * 40);
    for (int i = 0; i < depth; ++i)
        bytes += "<DT><H3>Level " + QByteArray::number(i) + "</H3>\n<DL><p>\n";
    bytes += "<DT><A HREF=\"https://deep.example/\">Deep</A>\n";
    for (int i = 0; i < depth; ++i)
        bytes += "</DL><p>\n";
    return bytes;
}

QByteArray DeepTrees::exportDocument(int depth)
{
    const auto id = [](int level) { return storedId(level).toLatin1(); };
    const QByteArray date = "\"2025-03-01T09:15:30.250Z\"";
    QByteArray bytes = "{\"version\":\"1.0\",\"exportDate\":" + date +
                       ",\"appVersion\":\"1\",\"tags\":[],\"folders\":[";
    bytes.reserve(qsizetype(depth) * 200);
    for (int i = 0; i < depth; ++i) {
        if (i > 0)
            bytes += ',';
        bytes += "{\"id\":\"" + id(i) + "\",\"name\":\"Level " + QByteArray::number(i) +
                 "\",\"colorHex\":\"#007AFF\",\"createdAt\":" + date + ",\"modifiedAt\":" + date;
        if (i > 0)
            bytes += ",\"parentId\":\"" + id(i - 1) + '"';
        bytes += '}';
    }
    bytes += "],\"items\":[{\"id\":\"" + id(depth) +
             "\",\"type\":\"web_link\",\"title\":\"Deep\",\"url\":\"https://deep.example/\","
             "\"folderId\":\"" +
             id(depth - 1) + "\",\"tagIds\":[],\"isArchived\":false,\"isFavorite\":false," +
             "\"createdAt\":" + date + ",\"modifiedAt\":" + date + "}]}";
    return bytes;
}

QString DeepTrees::storedId(int level)
{
    return QStringLiteral("00000000-0000-4000-8000-%1")
        .arg(level, 12, 16, QLatin1Char('0'))
        .toUpper();
}

void DeepTrees::addToStore(const QString &storePath, int depth)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(storePath.toUtf8().constData(), &db), SQLITE_OK);
    const QByteArray sql =
        "WITH RECURSIVE level(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM level WHERE n < " +
        QByteArray::number(depth - 1) +
        ") INSERT INTO folders(id, name, icon_name, color_hex, sort_order, created_at,"
        " modified_at, parent_id, child_rank)"
        " SELECT printf('00000000-0000-4000-8000-%012X', n), 'Level ' || n, 'folder',"
        " '#007AFF', 0, 1700000000000, 1700000000000,"
        " CASE WHEN n = 0 THEN NULL ELSE printf('00000000-0000-4000-8000-%012X', n - 1) END, 0"
        " FROM level";
    char *message = nullptr;
    const int status = sqlite3_exec(db, sql.constData(), nullptr, nullptr, &message);
    EXPECT_EQ(status, SQLITE_OK) << (message != nullptr ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
}

} // namespace quillory::test
