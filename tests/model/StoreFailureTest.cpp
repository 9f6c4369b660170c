#include "FaultyDisk.h"
#include <StoreFiles.h>

#include <model/Folder.h>
#include <model/Item.h>
#include <model/LibraryStore.h>
#include <model/Tag.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace quillory;
using namespace Qt::StringLiterals;
using namespace quillory::test;

namespace {

class StoreFailureTest : public ::testing::Test
{
protected:
    QString path() const { return m_dir.filePath(u"default.store"_s); }

    std::unique_ptr<LibraryStore> openStore()
    {
        QString error;
        auto store = LibraryStore::open(path(), &error);
        EXPECT_TRUE(store) << qPrintable(error);
        if (store)
            store->setRetryDelay(50);
        return store;
    }

    void removeLibrary()
    {
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(path() + QLatin1String(suffix));
    }

    // A library with one item in a folder, carrying one tag, saved and closed.
    void makeLibrary()
    {
        auto store = openStore();
        Folder *folder =
            store->insert(std::make_unique<Folder>(u"Reading"_s, u"folder"_s, QColor()));
        Tag *tag = store->insert(std::make_unique<Tag>(u"later"_s, QColor()));
        Item *item = store->insert(
            std::make_unique<Item>(ItemType::WebLink, u"Page"_s, QUrl(u"https://a.example"_s)));
        item->moveToFolder(folder);
        item->addTag(tag);
        item->setThumbnailData(QByteArray("thumb"));
        ASSERT_TRUE(store->save());
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(StoreFailureTest, FilesThatAreNotALibraryAreRefusedAndLeftAsTheyWere)
{
    const struct
    {
        const char *name;
        std::function<void(const QString &)> make;
        QString reason;
    } cases[] = {
        {"another program's database",
         [](const QString &p) {
             execOn(p, u"CREATE TABLE notes(body TEXT); INSERT INTO notes VALUES('x')"_s);
         },
         u"The file is not a Quillory library store."_s},
        {"a newer library",
         [](const QString &p) {
             execOn(p, u"CREATE TABLE store_info(key TEXT PRIMARY KEY, value TEXT);"
                       "INSERT INTO store_info VALUES('schemaVersion', '2.0.0')"_s);
         },
         u"2.0.0"_s},
        {"not a database",
         [](const QString &p) {
             QFile junk(p);
             ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
             junk.write(QByteArray(8192, 'j'));
         },
         u"not a database"_s},
        {"a folder", [](const QString &p) { ASSERT_TRUE(QDir().mkpath(p)); }, u"folder"_s},
        {"a database holding only a view",
         [](const QString &p) { execOn(p, u"CREATE VIEW v AS SELECT 1"_s); },
         u"The file is not a Quillory library store."_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(path()).removeRecursively();
        QFile::remove(path());
        c.make(path());
        const QByteArray before = fingerprint(path());
        QString error;
        EXPECT_FALSE(LibraryStore::open(path(), &error));
        EXPECT_TRUE(error.contains(c.reason)) << qPrintable(error);
        EXPECT_EQ(fingerprint(path()), before);
        // Nothing was switched to the write-ahead log, or begun beside the file.
        EXPECT_FALSE(QFile::exists(path() + u"-wal"_s));
    }
}

// A library file handed over from elsewhere may carry code of its own: nothing Quillory did not
// make is let run, or even opened.
TEST_F(StoreFailureTest, LibrariesHoldingObjectsQuilloryDidNotMakeAreRefusedAndLeftAsTheyWere)
{
    const struct
    {
        const char *name;
        const char *sql;
        QString reason;
    } cases[] = {
        // The misspelt id makes opening update the row, which would set the trigger off.
        {"a trigger that deletes items on update",
         "UPDATE items SET id = lower(id);"
         "CREATE TRIGGER wipe AFTER UPDATE ON items BEGIN DELETE FROM items; END",
         u"trigger \"wipe\""_s},
        {"the store's own trigger made to do something else",
         "DROP TRIGGER item_deleted;"
         "CREATE TRIGGER item_deleted AFTER DELETE ON items BEGIN DELETE FROM folders; END",
         u"trigger \"item_deleted\""_s},
        {"a view", "CREATE VIEW recent AS SELECT * FROM items", u"view \"recent\""_s},
        {"an extra table", "CREATE TABLE extra(x); INSERT INTO extra VALUES(1)",
         u"table \"extra\""_s},
        {"an extra index", "CREATE INDEX items_by_title ON items(title)",
         u"index \"items_by_title\""_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        removeLibrary();
        makeLibrary();
        execOn(path(), QString::fromUtf8(c.sql));
        const QByteArray before = fingerprint(path());
        QString error;
        EXPECT_FALSE(LibraryStore::open(path(), &error));
        EXPECT_TRUE(error.contains(c.reason)) << qPrintable(error);
        EXPECT_EQ(fingerprint(path()), before);
        EXPECT_EQ(queryText(path(), "SELECT count(*) FROM items"), u"1"_s);
        EXPECT_EQ(queryText(path(), "SELECT count(*) FROM folders"), u"1"_s);
    }

    // What SQLite adds by itself (ANALYZE's statistics) is no reason to refuse a library.
    removeLibrary();
    makeLibrary();
    execOn(path(), u"ANALYZE"_s);
    ASSERT_FALSE(
        queryText(path(), "SELECT name FROM sqlite_schema WHERE name = 'sqlite_stat1'").isEmpty());
    auto store = openStore();
    ASSERT_TRUE(store);
    ASSERT_EQ(store->items().size(), 1u);
    EXPECT_EQ(store->items().front()->thumbnailData(), QByteArray("thumb"));
    store->remove(store->items().front());
    ASSERT_TRUE(store->save());
    store.reset();
    EXPECT_EQ(queryText(path(), "SELECT count(*) FROM item_blobs"), u"0"_s)
        << "the store's own trigger still runs";
}

TEST_F(StoreFailureTest, DamagedPagesAreRefusedAndLeftAsTheyWere)
{
    {
        auto store = openStore();
        for (int i = 0; i < 400; ++i)
            store->insert(
                std::make_unique<Item>(ItemType::WebLink, QString(200, QChar(u'a' + i % 26))));
        ASSERT_TRUE(store->save());
    }
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_GT(file.size(), 40000);
        file.seek(4096 * 6);
        file.write(QByteArray(4096 * 3, '\xA5'));
    }
    const QByteArray before = fingerprint(path());
    QString error;
    EXPECT_FALSE(LibraryStore::open(path(), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(fingerprint(path()), before);
}

TEST_F(StoreFailureTest, ReadOnlyLibraryOpensForBrowsingAndRefusesEveryChange)
{
    makeLibrary();
    const QByteArray before = fingerprint(path());
    // A file that may not be written, and one in a folder where not even the -shm index can
    // be made.
    for (const bool folderReadOnly : {false, true}) {
        SCOPED_TRACE(folderReadOnly ? "read-only folder" : "read-only file");
        FaultyDisk disk;
        disk.setReadOnly(true);
        disk.setNoSharedMemory(folderReadOnly);
        auto store = openStore();
        ASSERT_TRUE(store);
        EXPECT_TRUE(store->isReadOnly());
        ASSERT_EQ(store->items().size(), 1u);
        Item *item = store->items().front();
        EXPECT_EQ(item->thumbnailData(), QByteArray("thumb"));

        QSignalSpy changed(store.get(), &LibraryStore::recordChanged);
        item->setTitle(u"Renamed"_s);
        item->setAccessedAt(QDateTime::currentDateTimeUtc()); // what selecting an item does
        item->toggleFavorite();
        item->moveToFolder(nullptr);
        item->removeTag(*store->tags().front());
        store->folders().front()->setName(u"Other"_s);
        store->tags().front()->setName(u"other"_s);
        EXPECT_EQ(store->insert(std::make_unique<Item>(ItemType::Image, u"New"_s)), nullptr);
        store->remove(item);
        store->removeAll(RecordKind::Tag);

        EXPECT_EQ(changed.count(), 0);
        ASSERT_EQ(store->items().size(), 1u);
        EXPECT_EQ(item->title(), u"Page"_s);
        EXPECT_FALSE(item->accessedAt());
        EXPECT_FALSE(item->isFavorite());
        EXPECT_NE(item->folder(), nullptr);
        EXPECT_EQ(item->tags().size(), 1);
        EXPECT_FALSE(store->hasUnsavedChanges());
        EXPECT_TRUE(store->save());
        store.reset();
        EXPECT_EQ(fingerprint(path()), before);
    }
}

TEST_F(StoreFailureTest, AReadOnlyLibraryHoldingAnIdTwiceShowsTheFirstRowOnce)
{
    makeLibrary();
    // Another tool copied the item under its id in lower case; the file cannot be mended.
    execOn(path(), copyItemRows(u"lower(id)"_s, u"'Copy'"_s, u"modified_at"_s));
    FaultyDisk disk;
    disk.setReadOnly(true);
    auto store = openStore();
    ASSERT_TRUE(store);
    ASSERT_TRUE(store->isReadOnly());
    ASSERT_EQ(store->items().size(), 1u);
    Item *item = store->items().front();
    EXPECT_EQ(item->title(), u"Page"_s);
    // The copy let go of the folder and the tag it was linked to while read.
    EXPECT_EQ(store->folders().front()->items(), QList<Item *>{item});
    EXPECT_EQ(store->tags().front()->items(), QList<Item *>{item});
}

TEST_F(StoreFailureTest, FailedSavesKeepTheChangesAreReportedAndRetried)
{
    const struct
    {
        const char *name;
        StoreFailure::Cause cause;
        std::function<void(FaultyDisk &, sqlite3 *)> fail;
        std::function<void(FaultyDisk &, sqlite3 *)> mend;
    } cases[] = {
        {"full disk", StoreFailure::Cause::DiskFull,
         [](FaultyDisk &disk, sqlite3 *) { disk.setFull(true); },
         [](FaultyDisk &disk, sqlite3 *) { disk.setFull(false); }},
        {"another program's lock", StoreFailure::Cause::Busy,
         [](FaultyDisk &, sqlite3 *other) {
             ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr),
                       SQLITE_OK);
         },
         [](FaultyDisk &, sqlite3 *other) {
             sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        removeLibrary();
        FaultyDisk disk;
        auto store = openStore();
        store->setAutosaveDelay(60000); // only the explicit save and its retries write
        sqlite3 *other = nullptr;
        ASSERT_EQ(sqlite3_open(path().toUtf8().constData(), &other), SQLITE_OK);
        QSignalSpy failed(store.get(), &LibraryStore::saveFailed);
        QSignalSpy recovered(store.get(), &LibraryStore::saveRecovered);

        c.fail(disk, other);
        store->insert(std::make_unique<Item>(ItemType::WebLink, u"Kept"_s));
        QString error;
        QElapsedTimer clock;
        clock.start();
        EXPECT_FALSE(store->save(&error));
        // Saving happens on the interface thread: a held lock must not freeze the window.
        EXPECT_LT(clock.elapsed(), 2000);
        EXPECT_FALSE(error.isEmpty());
        ASSERT_EQ(failed.count(), 1);
        EXPECT_EQ(failed.at(0).at(0).value<StoreFailure>().cause, c.cause);
        ASSERT_TRUE(store->lastSaveFailure());
        EXPECT_EQ(store->lastSaveFailure()->cause, c.cause);
        EXPECT_TRUE(store->hasUnsavedChanges());

        // The failed save is tried again by itself, and keeps failing while the cause lasts.
        EXPECT_TRUE(failed.wait(2000));
        c.mend(disk, other);
        EXPECT_TRUE(recovered.wait(2000));
        EXPECT_FALSE(store->hasUnsavedChanges());
        EXPECT_FALSE(store->lastSaveFailure());
        sqlite3_close(other);
        store.reset();
        auto reopened = openStore();
        ASSERT_EQ(reopened->items().size(), 1u);
        EXPECT_EQ(reopened->items().front()->title(), u"Kept"_s);
    }
}

TEST_F(StoreFailureTest, IdsWrittenInAnotherSpellingAreUpdatedInPlace)
{
    makeLibrary();
    // Another tool rewrote every id in lower case, and one in braces.
    execOn(path(), u"UPDATE items SET id = lower(id), folder_id = lower(folder_id);"
                   "UPDATE folders SET id = '{' || lower(id) || '}';"
                   "UPDATE tags SET id = lower(id);"
                   "UPDATE item_blobs SET item_id = lower(item_id);"_s);
    {
        auto store = openStore();
        ASSERT_EQ(store->items().size(), 1u);
        Item *item = store->items().front();
        ASSERT_NE(item->folder(), nullptr);
        EXPECT_EQ(item->tags().size(), 1);
        EXPECT_EQ(item->thumbnailData(), QByteArray("thumb"));
        item->setTitle(u"Renamed"_s);
        store->remove(store->tags().front());
        ASSERT_TRUE(store->save());
    }
    auto store = openStore();
    ASSERT_EQ(store->items().size(), 1u);
    EXPECT_EQ(store->items().front()->title(), u"Renamed"_s);
    EXPECT_TRUE(store->tags().empty());
    EXPECT_EQ(store->folders().size(), 1u);
    store.reset();
    EXPECT_EQ(queryText(path(), "SELECT count(*) FROM items"), u"1"_s);
    EXPECT_EQ(queryText(path(), "SELECT count(*) FROM tags"), u"0"_s);
    EXPECT_EQ(queryText(path(), "SELECT count(*) FROM items WHERE id <> upper(id) OR folder_id "
                                "<> upper(folder_id)"),
              u"0"_s);
}
