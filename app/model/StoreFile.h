#pragma once

#include "Record.h"
#include "SqliteDatabase.h"
#include "SqliteStatement.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QUuid>
#include <memory>
#include <vector>

namespace quillory {

class Folder;
class Item;
class Tag;

// The on-disk form of the library: one SQLite file (WAL journal, synchronous=FULL), so a
// committed save survives a crash or power cut and a torn write never damages it. The
// tables are described in docs/ARCHITECTURE.md.
class StoreFile final
{
public:
    static constexpr const char *schemaVersion = "1.0.0";

    struct Contents
    {
        std::vector<std::unique_ptr<Tag>> tags;
        std::vector<std::unique_ptr<Folder>> folders;
        std::vector<std::unique_ptr<Item>> items;
    };

    // One save: the records to write in full and the ids of records to remove.
    struct Changes
    {
        std::vector<Item *> items;
        std::vector<Folder *> folders;
        std::vector<Tag *> tags;
        QList<QUuid> removedItems;
        QList<QUuid> removedFolders;
        QList<QUuid> removedTags;
    };

    // Creates the schema in a new file, or checks the version of an existing one.
    bool open(const QString &path, QString *error);
    // Reads every record, relationships linked, image bytes left on disk. Items' search
    // text is left for the caller to build (it can do so on several threads).
    bool load(Contents &contents, QString *error);
    // Writes all changes in one transaction: all of them land, or none.
    bool write(const Changes &changes, QString *error);
    std::optional<QByteArray> loadBlob(const QUuid &itemId, ItemBlob blob);

private:
    bool writeTransaction(const Changes &changes, QString *error);
    bool createSchema(QString *error);
    bool checkSchema(QString *error);
    bool prepareStatements(QString *error);
    bool writeItem(Item &item, QString *error);
    static void linkTags(Item &item, std::string_view tagIds, const QHash<QUuid, Tag *> &tagsById);
    static QByteArray tagIdsOf(const Item &item);
    static void linkFolders(QList<std::pair<Folder *, QUuid>> &parents,
                            const QHash<QUuid, Folder *> &foldersById);
    bool writeFolder(const Folder &folder, QString *error);
    bool writeTag(const Tag &tag, QString *error);
    bool removeRows(SqliteStatement &statement, const QList<QUuid> &ids, QString *error);
    bool fail(SqliteStatement &statement, QString *error);

    SqliteDatabase m_db;
    SqliteStatement m_upsertItem;
    SqliteStatement m_upsertFolder;
    SqliteStatement m_upsertTag;
    SqliteStatement m_putBlob;
    SqliteStatement m_clearBlob;
    SqliteStatement m_selectBlob;
    SqliteStatement m_deleteItem;
    SqliteStatement m_deleteFolder;
    SqliteStatement m_deleteTag;
};

} // namespace quillory
