#include <model/StoreFile.h>

#include <model/Folder.h>
#include <model/FolderNesting.h>
#include <model/Item.h>
#include <model/Tag.h>
#include <model/TextArena.h>

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <sqlite3.h>

namespace quillory {

namespace {

const char *const schemaSql = R"sql(
CREATE TABLE store_info(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE tags(
    id TEXT PRIMARY KEY NOT NULL,
    name TEXT NOT NULL,
    color_hex TEXT NOT NULL,
    sort_order INTEGER NOT NULL,
    created_at INTEGER NOT NULL,
    modified_at INTEGER NOT NULL);
CREATE TABLE folders(
    id TEXT PRIMARY KEY NOT NULL,
    name TEXT NOT NULL,
    icon_name TEXT NOT NULL,
    color_hex TEXT NOT NULL,
    sort_order INTEGER NOT NULL,
    created_at INTEGER NOT NULL,
    modified_at INTEGER NOT NULL,
    parent_id TEXT,
    child_rank INTEGER NOT NULL);
CREATE TABLE items(
    id TEXT PRIMARY KEY NOT NULL,
    type_raw_value TEXT NOT NULL,
    url_string TEXT,
    title TEXT NOT NULL,
    note TEXT,
    metadata_json BLOB,
    source_domain TEXT,
    source_app TEXT,
    folder_id TEXT,
    is_archived INTEGER NOT NULL,
    is_favorite INTEGER NOT NULL,
    is_read INTEGER NOT NULL,
    created_at INTEGER NOT NULL,
    modified_at INTEGER NOT NULL,
    accessed_at INTEGER,
    has_thumbnail INTEGER NOT NULL,
    has_image INTEGER NOT NULL,
    tag_ids BLOB NOT NULL);
CREATE TABLE item_blobs(
    item_id TEXT NOT NULL,
    kind INTEGER NOT NULL,
    data BLOB NOT NULL,
    PRIMARY KEY(item_id, kind));
CREATE TRIGGER item_deleted AFTER DELETE ON items BEGIN
    DELETE FROM item_blobs WHERE item_id = OLD.id;
END;
)sql";

QString idText(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

// Upper-case hexadecimal digits and dashes, 36 characters: the form every save writes.
bool isCanonicalId(std::string_view text)
{
    return text.size() == 36 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || c == '-';
           });
}

// Ids in any other spelling become canonical. Where one id is stored in two spellings (our
// saves added a canonical row beside another tool's), the canonical row holds the later
// edits and is kept, else the most recently modified one. Pictures are respelled first:
// a save writes them only when they change, so those of such an item are often stored
// under the other spelling, and deleting that row would take them along (item_deleted).
const char *const respellSql = R"sql(
DELETE FROM item_blobs WHERE rowid IN (SELECT rowid FROM (SELECT rowid, row_number() OVER (
    PARTITION BY upper(trim(item_id, '{}')), kind
    ORDER BY item_id = upper(trim(item_id, '{}')) DESC, rowid DESC) AS n FROM item_blobs) WHERE n > 1);
UPDATE item_blobs SET item_id = upper(trim(item_id, '{}'))
    WHERE item_id <> upper(trim(item_id, '{}'));
DELETE FROM items WHERE rowid IN (SELECT rowid FROM (SELECT rowid, row_number() OVER (
    PARTITION BY upper(trim(id, '{}'))
    ORDER BY id = upper(trim(id, '{}')) DESC, modified_at DESC, rowid) AS n FROM items) WHERE n > 1);
DELETE FROM folders WHERE rowid IN (SELECT rowid FROM (SELECT rowid, row_number() OVER (
    PARTITION BY upper(trim(id, '{}'))
    ORDER BY id = upper(trim(id, '{}')) DESC, modified_at DESC, rowid) AS n FROM folders) WHERE n > 1);
DELETE FROM tags WHERE rowid IN (SELECT rowid FROM (SELECT rowid, row_number() OVER (
    PARTITION BY upper(trim(id, '{}'))
    ORDER BY id = upper(trim(id, '{}')) DESC, modified_at DESC, rowid) AS n FROM tags) WHERE n > 1);
UPDATE items SET id = upper(trim(id, '{}')) WHERE id <> upper(trim(id, '{}'));
UPDATE items SET folder_id = upper(trim(folder_id, '{}'))
    WHERE folder_id <> upper(trim(folder_id, '{}'));
UPDATE folders SET id = upper(trim(id, '{}')) WHERE id <> upper(trim(id, '{}'));
UPDATE folders SET parent_id = upper(trim(parent_id, '{}'))
    WHERE parent_id <> upper(trim(parent_id, '{}'));
UPDATE tags SET id = upper(trim(id, '{}')) WHERE id <> upper(trim(id, '{}'));
)sql";

const char *const objectsSql = "SELECT type, name, tbl_name, sql FROM sqlite_schema";

// One schema object as objectsSql reads it; spaces in its definition do not matter.
QString objectKey(const SqliteStatement &s)
{
    return s.text(0) + QChar(0) + s.text(1) + QChar(0) + s.text(2) + QChar(0) +
           s.text(3).simplified();
}

// The kept pages' tables, views and the unique index of their keys share this file but
// belong to another connection, which checks them exactly before use. Here they only have
// to be inert: SQLite runs a schema row's statement whatever its type column says, so the
// statement itself must create a table, a virtual table or a view, never a trigger; no save
// of this store writes to them, and views are off on its connections.
bool isKeptPagesObject(const SqliteStatement &s)
{
    const QString type = s.text(0);
    const QString name = s.text(1);
    const QString sql = s.text(3).simplified();
    // The full-text engine quotes the names of the tables it makes.
    const auto creates = [&sql, &name](QLatin1StringView what) {
        if (!sql.startsWith(what, Qt::CaseInsensitive))
            return false;
        const QStringView rest = QStringView(sql).mid(what.size());
        const QString quoted = u'\'' + name + u'\'';
        for (const QString *spelled : {&name, &quoted}) {
            const qsizetype after = spelled->size();
            if (rest.startsWith(*spelled) && after < rest.size() &&
                (rest[after] == u'(' || rest[after] == u' '))
                return true;
        }
        return false;
    };
    if (!name.startsWith(u"page_") || !s.text(2).startsWith(u"page_"))
        return s.isNull(3) && type == QLatin1String("index") &&
               name.startsWith(u"sqlite_autoindex_page_") && s.text(2).startsWith(u"page_");
    if (type == QLatin1String("table"))
        return creates(QLatin1StringView("CREATE TABLE ")) ||
               creates(QLatin1StringView("CREATE VIRTUAL TABLE "));
    return type == QLatin1String("view") && creates(QLatin1StringView("CREATE VIEW "));
}

int blobKind(ItemBlob blob)
{
    return blob == ItemBlob::Thumbnail ? 0 : 1;
}

} // namespace

QUuid StoreFile::readId(const SqliteStatement &s, int column)
{
    const std::string_view v = s.textView(column);
    const QUuid id = QUuid::fromString(QLatin1StringView(v.data(), qsizetype(v.size())));
    // An id no spelling can save is skipped on loading and left alone.
    if (!id.isNull() && !isCanonicalId(v))
        m_misspelledIds = true;
    return id;
}

bool StoreFile::respellIds(QString *error)
{
    if (!m_db.exec("BEGIN IMMEDIATE", error))
        return false;
    if (!m_db.exec(respellSql, error)) {
        m_db.exec("ROLLBACK");
        return false;
    }
    return m_db.exec("COMMIT", error);
}

bool StoreFile::open(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (info.isDir()) {
        if (error)
            *error = QStringLiteral("A folder is in the place of the library store file.");
        return false;
    }
    const bool existed = info.exists();
    int objects = 0;
    if (!m_db.open(path, SqliteDatabase::Mode::ReadWrite, error) || !countObjects(objects, error)) {
        // A library on a read-only disk or in a folder we may not write to can still be read,
        // as long as SQLite can do without the files it would create beside it.
        const auto cause = StoreFailure::causeOf(m_db.lastErrorCode());
        const bool refusedWriting =
            cause == StoreFailure::Cause::ReadOnly || cause == StoreFailure::Cause::InputOutput;
        if (!existed || (m_db.isOpen() && !refusedWriting) || !openReadOnly(path, error) ||
            !countObjects(objects, error))
            return false;
    }
    // Only a file holding nothing at all becomes a library: one with a lone view or table of
    // another program's is not ours to add to.
    if (objects == 0) {
        if (m_db.isReadOnly()) {
            if (error)
                *error = QStringLiteral("The library store is empty and cannot be written to.");
            return false;
        }
        if (!createSchema(error))
            return false;
    } else if (!checkSchema(error)) {
        return false; // nothing has been changed in a file that is not ours
    }
    // synchronous=FULL makes a committed save durable; the journal is switched to the
    // write-ahead log only once the whole library has been read (useWriteAheadLog).
    if (!m_db.exec("PRAGMA synchronous=FULL; PRAGMA foreign_keys=OFF;", error))
        return false;
    return prepareStatements(error);
}

bool StoreFile::useWriteAheadLog(QString *error)
{
    return m_db.isReadOnly() || m_db.exec("PRAGMA journal_mode=WAL", error);
}

bool StoreFile::openReadOnly(const QString &path, QString *error)
{
    if (!m_db.open(path, SqliteDatabase::Mode::ReadOnly, error))
        return false;
    int objects = 0;
    if (countObjects(objects, error))
        return true;
    // Where not even the -shm index can be made (a read-only folder or disk), SQLite can read
    // a file that holds everything by itself: one with no write-ahead log or rollback journal
    // waiting to be applied. Anything else (a lock, damage) is not worked around.
    const int code = m_db.lastErrorCode();
    const bool noIndex = (code & 0xff) == SQLITE_CANTOPEN || code == SQLITE_READONLY_CANTINIT ||
                         code == SQLITE_READONLY_DIRECTORY;
    const auto pending = [&path](const char *suffix) {
        return QFileInfo(path + QLatin1String(suffix)).size() > 0;
    };
    if (!noIndex || pending("-wal") || pending("-journal"))
        return false;
    return m_db.open(path, SqliteDatabase::Mode::ReadOnlyFrozen, error);
}

bool StoreFile::countObjects(int &objects, QString *error)
{
    SqliteStatement count = m_db.prepare("SELECT count(*) FROM sqlite_schema");
    if (!count.isValid() || !count.step()) {
        if (error)
            *error = m_db.lastError();
        return false;
    }
    objects = int(count.int64(0));
    return true;
}

bool StoreFile::createSchema(QString *error)
{
    if (!m_db.exec("BEGIN IMMEDIATE", error))
        return false;
    if (!m_db.exec(schemaSql, error)) {
        m_db.exec("ROLLBACK");
        return false;
    }
    SqliteStatement version =
        m_db.prepare("INSERT INTO store_info(key, value) VALUES('schemaVersion', ?)");
    version.bind(1, QString::fromLatin1(schemaVersion));
    version.step();
    if (version.failed()) {
        if (error)
            *error = m_db.lastError();
        m_db.exec("ROLLBACK");
        return false;
    }
    return m_db.exec("COMMIT", error);
}

bool StoreFile::checkSchema(QString *error)
{
    SqliteStatement version =
        m_db.prepare("SELECT value FROM store_info WHERE key = 'schemaVersion'");
    if (!version.isValid() || !version.step()) {
        if (error)
            *error = QStringLiteral("The file is not a Quillory library store.");
        return false;
    }
    const QString found = version.text(0);
    if (found.section(QLatin1Char('.'), 0, 0) != QLatin1String("1")) {
        if (error)
            *error =
                QStringLiteral("The library store has schema version %1, which this version of "
                               "Quillory cannot read.")
                    .arg(found);
        return false;
    }
    return checkObjects(error);
}

// A trigger, a view or a table someone added to the file would take part in every save (a
// trigger deleting items on update, say), so the file must hold what createSchema makes and
// nothing more, besides the tables SQLite adds on its own (ANALYZE's statistics and the
// AUTOINCREMENT counters, which hold data, never code).
bool StoreFile::checkObjects(QString *error)
{
    static const QSet<QString> made = [] {
        QSet<QString> objects;
        SqliteDatabase reference;
        QString ignored;
        if (reference.open(QStringLiteral(":memory:"), SqliteDatabase::Mode::ReadWrite, &ignored) &&
            reference.exec(schemaSql)) {
            SqliteStatement all = reference.prepare(objectsSql);
            while (all.step())
                objects.insert(objectKey(all));
        }
        return objects;
    }();
    SqliteStatement all = m_db.prepare(objectsSql);
    if (made.isEmpty() || !all.isValid()) {
        if (error)
            *error =
                QStringLiteral("The library store's schema could not be read: ") + m_db.lastError();
        return false;
    }
    while (all.step()) {
        const QString type = all.text(0);
        const QString name = all.text(1);
        const bool sqliteOwn =
            type == QLatin1String("table") &&
            (name == QLatin1String("sqlite_sequence") || name.startsWith(u"sqlite_stat"));
        if (made.contains(objectKey(all)) || sqliteOwn || isKeptPagesObject(all))
            continue;
        if (error)
            *error = QStringLiteral("The library store holds the %1 \"%2\", which Quillory does "
                                    "not make. It is not opened, so that nothing in it runs.")
                         .arg(type, name.left(200));
        return false;
    }
    if (all.failed()) {
        if (error)
            *error = m_db.lastError();
        return false;
    }
    return true;
}

bool StoreFile::prepareStatements(QString *error)
{
    m_upsertItem = m_db.prepare(
        "INSERT INTO items(id, type_raw_value, url_string, title, note, "
        "metadata_json, source_domain,"
        " source_app, folder_id, is_archived, is_favorite, is_read, created_at, "
        "modified_at, accessed_at,"
        " has_thumbnail, has_image, tag_ids) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"
        " ON CONFLICT(id) DO UPDATE SET type_raw_value=excluded.type_raw_value,"
        " url_string=excluded.url_string, title=excluded.title, note=excluded.note,"
        " metadata_json=excluded.metadata_json, source_domain=excluded.source_domain,"
        " source_app=excluded.source_app, folder_id=excluded.folder_id, "
        "is_archived=excluded.is_archived,"
        " is_favorite=excluded.is_favorite, is_read=excluded.is_read, "
        "created_at=excluded.created_at,"
        " modified_at=excluded.modified_at, accessed_at=excluded.accessed_at,"
        " has_thumbnail=excluded.has_thumbnail, has_image=excluded.has_image,"
        " tag_ids=excluded.tag_ids");
    m_upsertFolder = m_db.prepare(
        "INSERT INTO folders(id, name, icon_name, color_hex, sort_order, created_at, modified_at, "
        "parent_id,"
        " child_rank) VALUES(?,?,?,?,?,?,?,?,?) ON CONFLICT(id) DO UPDATE SET name=excluded.name,"
        " icon_name=excluded.icon_name, color_hex=excluded.color_hex, "
        "sort_order=excluded.sort_order,"
        " created_at=excluded.created_at, modified_at=excluded.modified_at, "
        "parent_id=excluded.parent_id,"
        " child_rank=excluded.child_rank");
    m_upsertTag = m_db.prepare(
        "INSERT INTO tags(id, name, color_hex, sort_order, created_at, modified_at) "
        "VALUES(?,?,?,?,?,?)"
        " ON CONFLICT(id) DO UPDATE SET name=excluded.name, color_hex=excluded.color_hex,"
        " sort_order=excluded.sort_order, created_at=excluded.created_at, "
        "modified_at=excluded.modified_at");
    m_putBlob =
        m_db.prepare("INSERT OR REPLACE INTO item_blobs(item_id, kind, data) VALUES(?,?,?)");
    m_clearBlob = m_db.prepare("DELETE FROM item_blobs WHERE item_id = ? AND kind = ?");
    m_selectBlob = m_db.prepare("SELECT data FROM item_blobs WHERE item_id = ? AND kind = ?");
    m_deleteItem = m_db.prepare("DELETE FROM items WHERE id = ?");
    m_deleteFolder = m_db.prepare("DELETE FROM folders WHERE id = ?");
    m_deleteTag = m_db.prepare("DELETE FROM tags WHERE id = ?");
    for (const SqliteStatement *s :
         {&m_upsertItem, &m_upsertFolder, &m_upsertTag, &m_putBlob, &m_clearBlob, &m_selectBlob,
          &m_deleteItem, &m_deleteFolder, &m_deleteTag}) {
        if (!s->isValid()) {
            if (error)
                *error = m_db.lastError();
            return false;
        }
    }
    return true;
}

// An item's tags are stored in its row, in order, as their 16-byte binary ids; ids of tags
// that no longer exist are skipped.
void StoreFile::linkTags(Item &item, std::string_view tagIds, const QHash<QUuid, Tag *> &tagsById)
{
    for (size_t at = 0; at + 16 <= tagIds.size(); at += 16) {
        const QUuid id = QUuid::fromRfc4122(QByteArrayView(tagIds.data() + at, 16));
        Tag *tag = tagsById.value(id);
        if (tag != nullptr && !item.m_tags.contains(tag)) {
            item.m_tags.append(tag);
            tag->m_items.append(&item);
        }
    }
}

QByteArray StoreFile::tagIdsOf(const Item &item)
{
    QByteArray ids;
    ids.reserve(item.tags().size() * 16);
    for (const Tag *tag : item.tags())
        ids += tag->id().toRfc4122();
    return ids;
}

// Links each folder to its parent, children in their stored rank, with a cycle (only a
// damaged file has one) cut and a tree too deep moved up (FolderNesting), in linear time.
std::vector<Folder *> StoreFile::linkFolders(QList<std::pair<Folder *, QUuid>> &parents,
                                             const QHash<QUuid, Folder *> &foldersById)
{
    std::stable_sort(parents.begin(), parents.end(), [](const auto &a, const auto &b) {
        return a.first->m_childRank < b.first->m_childRank;
    });
    std::vector<std::pair<Folder *, Folder *>> links;
    links.reserve(size_t(parents.size()));
    for (const auto &[folder, parentId] : std::as_const(parents))
        links.emplace_back(folder, foldersById.value(parentId));
    return FolderNesting::link(links);
}

bool StoreFile::load(Contents &contents, QString *error)
{
    QHash<QUuid, Tag *> tagsById;
    SqliteStatement tags = m_db.prepare(
        "SELECT id, name, color_hex, sort_order, created_at, modified_at FROM tags ORDER BY rowid");
    while (tags.step()) {
        const QUuid id = readId(tags, 0);
        if (id.isNull() || tagsById.contains(id))
            continue; // only a damaged file has these; two records must never share an id
        auto tag = std::unique_ptr<Tag>(new Tag(id, tags.int64(4), tags.int64(5)));
        tag->m_name = tags.text(1);
        tag->m_searchName = SearchText::fold(tag->m_name);
        tag->m_colorHex = tags.text(2);
        tag->m_sortOrder = int(tags.int64(3));
        tagsById.insert(tag->id(), tag.get());
        contents.tags.push_back(std::move(tag));
    }

    QHash<QUuid, Folder *> foldersById;
    QList<std::pair<Folder *, QUuid>> parents;
    SqliteStatement folders = m_db.prepare("SELECT id, name, icon_name, color_hex, sort_order, "
                                           "created_at, modified_at, parent_id, child_rank"
                                           " FROM folders ORDER BY rowid");
    while (folders.step()) {
        const QUuid id = readId(folders, 0);
        if (id.isNull() || foldersById.contains(id))
            continue;
        auto folder = std::unique_ptr<Folder>(new Folder(id, folders.int64(5), folders.int64(6)));
        folder->m_name = folders.text(1);
        folder->m_iconName = folders.text(2);
        folder->m_colorHex = folders.text(3);
        folder->m_sortOrder = int(folders.int64(4));
        folder->m_childRank = folders.int64(8);
        if (!folders.isNull(7))
            parents.append({folder.get(), readId(folders, 7)});
        foldersById.insert(folder->id(), folder.get());
        contents.folders.push_back(std::move(folder));
    }
    contents.foldersMovedUp = linkFolders(parents, foldersById);

    // The items' texts end to end in load order: no allocation each, and a search reads
    // them as long runs.
    TextArena arena;
    SqliteStatement count = m_db.prepare("SELECT count(*) FROM items");
    if (count.step())
        contents.items.reserve(size_t(count.int64(0)));
    SqliteStatement items = m_db.prepare(
        "SELECT id, type_raw_value, url_string, title, note, metadata_json, source_domain, "
        "source_app,"
        " folder_id, is_archived, is_favorite, is_read, created_at, modified_at, accessed_at,"
        " has_thumbnail, has_image, tag_ids FROM items ORDER BY rowid");
    while (items.step()) {
        const QUuid id = readId(items, 0);
        if (id.isNull())
            continue;
        auto item = std::unique_ptr<Item>(new Item(id, items.int64(12), items.int64(13)));
        const std::string_view rawType = items.textView(1);
        const std::optional<ItemType> type = ItemType::fromRawUtf8(rawType);
        item->m_type = type.value_or(ItemType::WebLink);
        ItemTexts::Parts texts;
        texts[ItemTexts::Title] = items.textView(3);
        texts[ItemTexts::Note] = items.optionalTextView(4);
        texts[ItemTexts::SourceDomain] = items.optionalTextView(6);
        texts[ItemTexts::Url] = items.optionalTextView(2);
        texts[ItemTexts::SourceApp] = items.optionalTextView(7);
        texts[ItemTexts::MetadataJSON] = items.optionalBlobView(5);
        if (!type)
            texts[ItemTexts::UnknownType] = rawType;
        item->m_texts = ItemTexts(texts, &arena);
        if (!items.isNull(8)) {
            if (Folder *folder = foldersById.value(readId(items, 8)))
                item->linkFolder(folder);
        }
        item->m_isArchived = items.int64(9) != 0;
        item->m_isFavorite = items.int64(10) != 0;
        item->m_isRead = items.int64(11) != 0;
        if (!items.isNull(14))
            item->m_accessedAt = items.int64(14);
        item->m_hasThumbnail = items.int64(15) != 0;
        item->m_hasImage = items.int64(16) != 0;
        const std::string_view tagIds = items.blobView(17);
        if (tagIds.size() >= 16) // exactly: a library holds many short lists
            item->m_tags.reserve(qsizetype(tagIds.size() / 16));
        linkTags(*item, tagIds, tagsById);
        contents.items.push_back(std::move(item));
    }

    for (const SqliteStatement *s : {&tags, &folders, &items}) {
        if (!s->isValid() || s->failed()) {
            if (error)
                *error = m_db.lastError();
            return false;
        }
    }
    // A read-only library keeps its spelling; nothing can be saved into it anyway. After
    // respelling, the rows read are read again, as duplicates may have gone.
    if (!m_misspelledIds || m_respelled || m_db.isReadOnly()) {
        // Every page read on the way stays cached otherwise, for nothing: the next reads
        // are of single rows, far apart.
        m_db.releaseMemory();
        return true;
    }
    m_misspelledIds = false;
    m_respelled = true; // once: what respelling cannot mend must not loop
    if (!respellIds(error))
        return false;
    contents.items.clear(); // before the folders and tags they point at
    contents.folders.clear();
    contents.tags.clear();
    return load(contents, error);
}

std::optional<QByteArray> StoreFile::loadBlob(const QUuid &itemId, ItemBlob blob)
{
    m_selectBlob.reset();
    m_selectBlob.bind(1, idText(itemId));
    m_selectBlob.bind(2, qint64(blobKind(blob)));
    std::optional<QByteArray> data;
    if (m_selectBlob.step())
        data = m_selectBlob.blob(0);
    m_selectBlob.reset();
    return data;
}

bool StoreFile::write(const Changes &changes, StoreFailure *failure)
{
    // Ids are random, so a large save touches pages all over the indexes: give it a big page
    // cache for the transaction only, and hand the memory back afterwards.
    const bool large = changes.items.size() + changes.removedItems.size() > 2000;
    if (large)
        m_db.exec("PRAGMA cache_size=-65536");
    m_failure = StoreFailure();
    const bool written = writeTransaction(changes);
    if (large) {
        m_db.exec("PRAGMA cache_size=-2000");
        m_db.releaseMemory();
    }
    if (!written && failure)
        *failure = m_failure;
    return written;
}

bool StoreFile::writeTransaction(const Changes &changes)
{
    if (!m_db.exec("BEGIN IMMEDIATE"))
        return noteFailure();
    const bool ok = removeRows(m_deleteItem, changes.removedItems) &&
                    removeRows(m_deleteFolder, changes.removedFolders) &&
                    removeRows(m_deleteTag, changes.removedTags) &&
                    std::all_of(changes.tags.begin(), changes.tags.end(),
                                [&](Tag *t) { return writeTag(*t); }) &&
                    std::all_of(changes.folders.begin(), changes.folders.end(),
                                [&](Folder *f) { return writeFolder(*f); }) &&
                    std::all_of(changes.items.begin(), changes.items.end(),
                                [&](Item *i) { return writeItem(*i); });
    if (!ok || !m_db.exec("COMMIT")) {
        if (ok)
            noteFailure();
        m_db.exec("ROLLBACK");
        return false;
    }
    return true;
}

bool StoreFile::removeRows(SqliteStatement &statement, const QList<QUuid> &ids)
{
    for (const QUuid &id : ids) {
        statement.reset();
        statement.bind(1, idText(id));
        statement.step();
        if (statement.failed())
            return fail(statement);
    }
    return true;
}

bool StoreFile::writeTag(const Tag &tag)
{
    SqliteStatement &s = m_upsertTag;
    s.reset();
    s.bind(1, idText(tag.id()));
    s.bind(2, tag.name());
    s.bind(3, tag.colorHex());
    s.bind(4, qint64(tag.sortOrder()));
    s.bind(5, tag.createdAtMSecs());
    s.bind(6, tag.modifiedAtMSecs());
    s.step();
    return !s.failed() || fail(s);
}

bool StoreFile::writeFolder(const Folder &folder)
{
    SqliteStatement &s = m_upsertFolder;
    s.reset();
    s.bind(1, idText(folder.id()));
    s.bind(2, folder.name());
    s.bind(3, folder.iconName());
    s.bind(4, folder.colorHex());
    s.bind(5, qint64(folder.sortOrder()));
    s.bind(6, folder.createdAtMSecs());
    s.bind(7, folder.modifiedAtMSecs());
    if (folder.parent() != nullptr)
        s.bind(8, idText(folder.parent()->id()));
    else
        s.bindNull(8);
    s.bind(9, folder.m_childRank);
    s.step();
    return !s.failed() || fail(s);
}

bool StoreFile::writeItem(Item &item)
{
    const QString id = idText(item.id());
    SqliteStatement &s = m_upsertItem;
    s.reset();
    s.bind(1, id);
    s.bind(2, item.typeRawValue());
    s.bind(3, item.urlString());
    s.bind(4, item.title());
    s.bind(5, item.note());
    s.bind(6, item.metadataJSON());
    s.bind(7, item.sourceDomain());
    s.bind(8, item.sourceApp());
    if (item.folder() != nullptr)
        s.bind(9, idText(item.folder()->id()));
    else
        s.bindNull(9);
    s.bind(10, qint64(item.isArchived()));
    s.bind(11, qint64(item.isFavorite()));
    s.bind(12, qint64(item.isRead()));
    s.bind(13, item.createdAtMSecs());
    s.bind(14, item.modifiedAtMSecs());
    s.bind(15, item.accessedAtMSecs());
    s.bind(16, qint64(item.hasThumbnailData()));
    s.bind(17, qint64(item.hasImageData()));
    s.bind(18, tagIdsOf(item));
    s.step();
    if (s.failed())
        return fail(s);

    for (ItemBlob which : {ItemBlob::Thumbnail, ItemBlob::Image}) {
        const QByteArray *bytes = item.unsavedBlob(which);
        if (bytes == nullptr)
            continue;
        const bool present = item.hasBlob(which);
        SqliteStatement &b = present ? m_putBlob : m_clearBlob;
        b.reset();
        b.bind(1, id);
        b.bind(2, qint64(blobKind(which)));
        if (present)
            b.bind(3, *bytes);
        b.step();
        if (b.failed())
            return fail(b);
    }
    return true;
}

bool StoreFile::fail(SqliteStatement &statement)
{
    noteFailure(); // before the reset, which clears what went wrong
    statement.reset();
    return false;
}

bool StoreFile::noteFailure()
{
    m_failure.cause = StoreFailure::causeOf(m_db.lastErrorCode());
    m_failure.message = m_db.lastError();
    return false;
}

} // namespace quillory
