#pragma once

#include <model/Record.h>
#include <model/SqliteDatabase.h>
#include <model/SqliteStatement.h>
#include <model/StoreFailure.h>

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
        // Stand in for stored records of the same id, so that records built off the
        // interface thread can link to them. Never written; when the batch joins the library
        // their links pass to the stored records.
        std::vector<std::unique_ptr<Tag>> tagStandIns;
        std::vector<std::unique_ptr<Folder>> folderStandIns;
        // Folders of `folders` that lay deeper than FolderNesting::maxDepth and were moved
        // up while they were read.
        std::vector<Folder *> foldersMovedUp;
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

    // Creates the schema in a new file, or checks that an existing one is a library store
    // of a version this program reads holding nothing Quillory did not make, before anything
    // in it is changed. A file that can only be read is opened read-only.
    bool open(const QString &path, QString *error);
    bool isReadOnly() const { return m_db.isReadOnly(); }
    // Switches a writable file to the write-ahead log; called once it has been read whole,
    // so a file refused on reading was not changed.
    bool useWriteAheadLog(QString *error);
    // Reads every record, relationships linked, image bytes left on disk. Items' search
    // text is left for the caller to build (it can do so on several threads). Ids another
    // program stored in another spelling (lower case, braces) are rewritten in the one
    // spelling saves use, so that later saves update those rows instead of adding new ones.
    // Where that cannot be done (a read-only file), two items may come with one id; the
    // store keeps the first.
    bool load(Contents &contents, QString *error);
    // Writes all changes in one transaction: all of them land, or none.
    bool write(const Changes &changes, StoreFailure *failure);
    std::optional<QByteArray> loadBlob(const QUuid &itemId, ItemBlob blob);

private:
    bool openReadOnly(const QString &path, QString *error);
    bool countObjects(int &objects, QString *error);
    QUuid readId(const SqliteStatement &s, int column);
    bool respellIds(QString *error);
    bool writeTransaction(const Changes &changes);
    bool createSchema(QString *error);
    bool checkSchema(QString *error);
    bool checkObjects(QString *error);
    bool prepareStatements(QString *error);
    static void linkTags(Item &item, std::string_view tagIds, const QHash<QUuid, Tag *> &tagsById);
    static QByteArray tagIdsOf(const Item &item);
    static std::vector<Folder *> linkFolders(QList<std::pair<Folder *, QUuid>> &parents,
                                             const QHash<QUuid, Folder *> &foldersById);
    bool writeFolder(const Folder &folder);
    bool writeTag(const Tag &tag);
    bool writeItem(Item &item);
    bool removeRows(SqliteStatement &statement, const QList<QUuid> &ids);
    bool fail(SqliteStatement &statement);
    bool noteFailure();

    SqliteDatabase m_db;
    bool m_misspelledIds = false;
    bool m_respelled = false;
    StoreFailure m_failure; // of the write under way
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
