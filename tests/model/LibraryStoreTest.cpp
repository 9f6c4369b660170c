#include <Folder.h>
#include <Item.h>
#include <LibraryStore.h>
#include <Tag.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace quillory;

namespace {

class LibraryStoreTest : public ::testing::Test
{
protected:
    std::unique_ptr<LibraryStore> openStore()
    {
        QString error;
        auto store = LibraryStore::open(path(), &error);
        EXPECT_TRUE(store) << qPrintable(error);
        return store;
    }
    // Closing saves; the new store reads everything back from the file.
    void reopen(std::unique_ptr<LibraryStore> &store)
    {
        store.reset();
        store = openStore();
    }
    QString path() const { return m_dir.filePath(QStringLiteral("library/default.store")); }

    // Runs SQL on the file through a second connection, behind the store's back.
    void execBehindTheStore(const char *sql)
    {
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(path().toUtf8().constData(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
        sqlite3_close(db);
    }

    static Item *newItem(LibraryStore &store, const char *title, Folder *folder = nullptr)
    {
        return store.insert(std::make_unique<Item>(
            ItemType::WebLink, QString::fromLatin1(title),
            QUrl(QStringLiteral("https://example.com/") + QLatin1String(title)), std::nullopt,
            folder));
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(LibraryStoreTest, EveryAttributeAndRelationshipSurvivesReopening)
{
    auto store = openStore();
    Folder *root = store->insert(std::make_unique<Folder>(
        QStringLiteral("Root"), QStringLiteral("folder"), QColor(1, 2, 3)));
    Folder *second = store->insert(
        std::make_unique<Folder>(QStringLiteral("Second"), QStringLiteral("star"), QColor(), root));
    Folder *first = store->insert(
        std::make_unique<Folder>(QStringLiteral("First"), QStringLiteral("star"), QColor(), root));
    second->setSortOrder(5);
    Tag *zeta = store->insert(std::make_unique<Tag>(QStringLiteral("zeta"), QColor(9, 9, 9)));
    Tag *alpha = store->insert(std::make_unique<Tag>(QStringLiteral("alpha"), QColor()));
    alpha->setSortOrder(-3);

    Item *item = store->insert(
        std::make_unique<Item>(ItemType::Video, QStringLiteral("Talk"),
                               QUrl(QStringLiteral("https://www.youtube.com/watch?v=1")),
                               QStringLiteral("a note"), first));
    item->addTag(zeta);
    item->addTag(alpha);
    item->toggleFavorite();
    item->setRead(true);
    item->setSourceApp(QStringLiteral("Browser"));
    item->setAccessedAt(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 678), Qt::UTC));
    ItemMetadata meta;
    meta.author = QStringLiteral("Ada");
    item->setMetadata(meta);
    Item *bare = store->insert(std::make_unique<Item>(ItemType::Document, QStringLiteral("Bare")));
    bare->toggleArchive();
    bare->setTypeRawValue(QStringLiteral("hologram"));

    const QUuid itemId = item->id(), bareId = bare->id(), rootId = root->id(),
                firstId = first->id();
    const QDateTime created = item->createdAt(), modified = item->modifiedAt();
    reopen(store);

    ASSERT_EQ(store->items().size(), 2u);
    ASSERT_EQ(store->folders().size(), 3u);
    ASSERT_EQ(store->tags().size(), 2u);
    Item *back = store->item(itemId);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->typeRawValue(), QStringLiteral("video"));
    EXPECT_EQ(back->title(), QStringLiteral("Talk"));
    EXPECT_EQ(back->urlString(), QStringLiteral("https://www.youtube.com/watch?v=1"));
    EXPECT_EQ(back->sourceDomain(), QStringLiteral("www.youtube.com"));
    EXPECT_EQ(back->note(), QStringLiteral("a note"));
    EXPECT_EQ(back->sourceApp(), QStringLiteral("Browser"));
    EXPECT_TRUE(back->isFavorite());
    EXPECT_TRUE(back->isRead());
    EXPECT_FALSE(back->isArchived());
    EXPECT_EQ(back->accessedAt(), QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 678), Qt::UTC));
    EXPECT_EQ(back->createdAt(), created);
    EXPECT_EQ(back->modifiedAt(), modified);
    EXPECT_EQ(back->metadata(), meta);
    ASSERT_EQ(back->tags().size(), 2);
    EXPECT_EQ(back->tags()[0]->name(), QStringLiteral("zeta")) << "tags keep their stored order";
    EXPECT_EQ(back->tags()[1]->name(), QStringLiteral("alpha"));
    EXPECT_EQ(back->tags()[1]->sortOrder(), -3);
    EXPECT_EQ(back->tags()[0]->items(), QList<Item *>{back});
    EXPECT_EQ(back->folder(), store->folder(firstId));

    Folder *rootBack = store->folder(rootId);
    ASSERT_TRUE(rootBack);
    EXPECT_EQ(rootBack->colorHex(), QStringLiteral("#010203"));
    ASSERT_EQ(rootBack->children().size(), 2);
    EXPECT_EQ(rootBack->children()[0]->name(), QStringLiteral("Second"))
        << "children keep their stored order";
    EXPECT_EQ(rootBack->children()[0]->sortOrder(), 5);
    EXPECT_EQ(rootBack->sortedChildren()[0]->name(), QStringLiteral("First"));
    EXPECT_EQ(store->folder(firstId)->items(), QList<Item *>{back});

    Item *bareBack = store->item(bareId);
    EXPECT_TRUE(bareBack->isArchived());
    EXPECT_EQ(bareBack->typeRawValue(), QStringLiteral("hologram"));
    EXPECT_EQ(bareBack->type(), ItemType::WebLink);
    EXPECT_FALSE(bareBack->urlString());
    EXPECT_FALSE(bareBack->note());
    EXPECT_FALSE(bareBack->metadataJSON());
}

TEST_F(LibraryStoreTest, ChangesAreSavedSoonWithoutAnExplicitSave)
{
    auto store = openStore();
    store->setAutosaveDelay(50);
    Item *item = newItem(*store, "first");
    item->setTitle(QStringLiteral("renamed"));
    EXPECT_TRUE(store->hasUnsavedChanges());
    QTRY_VERIFY_WITH_TIMEOUT(!store->hasUnsavedChanges(), 5000);

    // A second connection sees the change while the first store is still open.
    auto reader = openStore();
    ASSERT_EQ(reader->items().size(), 1u);
    EXPECT_EQ(reader->items().front()->title(), QStringLiteral("renamed"));
}

TEST_F(LibraryStoreTest, ChildFolderMovesAndSiblingOrderSurvive)
{
    auto store = openStore();
    Folder *a = store->insert(std::make_unique<Folder>(QStringLiteral("A"), QString(), QColor()));
    Folder *b = store->insert(std::make_unique<Folder>(QStringLiteral("B"), QString(), QColor()));
    Folder *c1 =
        store->insert(std::make_unique<Folder>(QStringLiteral("c1"), QString(), QColor(), a));
    Folder *c2 =
        store->insert(std::make_unique<Folder>(QStringLiteral("c2"), QString(), QColor(), a));
    store->insert(std::make_unique<Folder>(QStringLiteral("c3"), QString(), QColor(), a));
    ASSERT_TRUE(store->save());
    c1->setParent(b);
    c1->setParent(a); // back, now last
    EXPECT_FALSE(a->setParent(c2));
    const QUuid aId = a->id();
    reopen(store);
    QStringList names;
    for (const Folder *f : store->folder(aId)->children())
        names << f->name();
    EXPECT_EQ(names,
              (QStringList{QStringLiteral("c2"), QStringLiteral("c3"), QStringLiteral("c1")}));
}

TEST_F(LibraryStoreTest, DeletingATagUnlinksItWithoutTouchingItems)
{
    auto store = openStore();
    Tag *tag = store->insert(std::make_unique<Tag>(QStringLiteral("t"), QColor()));
    Tag *other = store->insert(std::make_unique<Tag>(QStringLiteral("o"), QColor()));
    Item *a = newItem(*store, "a");
    Item *b = newItem(*store, "b");
    a->addTag(tag);
    a->addTag(other);
    b->addTag(tag);
    ASSERT_TRUE(store->save());
    const QDateTime stamped = a->modifiedAt();

    QSignalSpy changed(store.get(), &LibraryStore::recordChanged);
    store->remove(tag);
    EXPECT_EQ(a->tags(), QList<Tag *>{other});
    EXPECT_TRUE(b->tags().isEmpty());
    EXPECT_EQ(a->modifiedAt(), stamped);
    EXPECT_EQ(changed.count(), 2) << "both items are reported so lists refresh";
    EXPECT_EQ(store->tags().size(), 1u);

    const QUuid aId = a->id();
    reopen(store);
    EXPECT_EQ(store->items().size(), 2u);
    EXPECT_EQ(store->tags().size(), 1u);
    EXPECT_EQ(store->item(aId)->tags().size(), 1);
}

TEST_F(LibraryStoreTest, DeletingAFolderDeletesItsSubtreeAndUnfilesItems)
{
    auto store = openStore();
    Folder *root =
        store->insert(std::make_unique<Folder>(QStringLiteral("root"), QString(), QColor()));
    Folder *child =
        store->insert(std::make_unique<Folder>(QStringLiteral("child"), QString(), QColor(), root));
    Folder *grandchild =
        store->insert(std::make_unique<Folder>(QStringLiteral("gc"), QString(), QColor(), child));
    Folder *keep =
        store->insert(std::make_unique<Folder>(QStringLiteral("keep"), QString(), QColor()));
    Item *inRoot = newItem(*store, "r", root);
    Item *inGrandchild = newItem(*store, "g", grandchild);
    Item *inKeep = newItem(*store, "k", keep);
    ASSERT_TRUE(store->save());

    QSignalSpy removing(store.get(), &LibraryStore::recordsAboutToBeRemoved);
    store->remove(root);
    ASSERT_EQ(removing.count(), 1);
    EXPECT_EQ(removing.at(0).at(1).value<QList<Record *>>().size(), 3);
    EXPECT_EQ(store->folders().size(), 1u);
    EXPECT_EQ(inRoot->folder(), nullptr);
    EXPECT_EQ(inGrandchild->folder(), nullptr);
    EXPECT_EQ(inKeep->folder(), keep);

    reopen(store);
    EXPECT_EQ(store->folders().size(), 1u);
    EXPECT_EQ(store->items().size(), 3u);
    int unfiled = 0;
    for (const Item *i : store->items())
        unfiled += i->folder() == nullptr ? 1 : 0;
    EXPECT_EQ(unfiled, 2);
}

TEST_F(LibraryStoreTest, DeletingAnItemLeavesFolderAndTags)
{
    auto store = openStore();
    Folder *folder =
        store->insert(std::make_unique<Folder>(QStringLiteral("f"), QString(), QColor()));
    Tag *tag = store->insert(std::make_unique<Tag>(QStringLiteral("t"), QColor()));
    Item *item = newItem(*store, "i", folder);
    item->addTag(tag);
    item->setThumbnailData(QByteArray("thumb"));
    ASSERT_TRUE(store->save());
    store->remove(item);
    EXPECT_TRUE(folder->items().isEmpty());
    EXPECT_TRUE(tag->items().isEmpty());
    reopen(store);
    EXPECT_TRUE(store->items().empty());
    EXPECT_EQ(store->folders().size(), 1u);
    EXPECT_EQ(store->tags().size(), 1u);
}

TEST_F(LibraryStoreTest, RefusesASecondRecordWithTheSameId)
{
    auto store = openStore();
    Item *original = newItem(*store, "original");
    auto twin = std::make_unique<Item>(ItemType::WebLink, QStringLiteral("twin"));
    twin->setId(original->id());
    EXPECT_EQ(store->insert(std::move(twin)), nullptr);
    EXPECT_EQ(store->insert(std::unique_ptr<Item>()), nullptr);

    Tag *tag = store->insert(std::make_unique<Tag>(QStringLiteral("t"), QColor()));
    auto tagTwin = std::make_unique<Tag>(QStringLiteral("t2"), QColor());
    tagTwin->setId(tag->id());
    EXPECT_EQ(store->insert(std::move(tagTwin)), nullptr);

    Folder *folder =
        store->insert(std::make_unique<Folder>(QStringLiteral("f"), QString(), QColor()));
    auto folderTwin = std::make_unique<Folder>(QStringLiteral("f2"), QString(), QColor());
    folderTwin->setId(folder->id());
    EXPECT_EQ(store->insert(std::move(folderTwin)), nullptr);

    // Ids are unique per kind: a tag may share an item's id.
    auto sameAsItem = std::make_unique<Tag>(QStringLiteral("x"), QColor());
    sameAsItem->setId(original->id());
    EXPECT_NE(store->insert(std::move(sameAsItem)), nullptr);

    // Within one batch, the second record with an id is refused too.
    std::vector<std::unique_ptr<Item>> batch;
    batch.push_back(std::make_unique<Item>(ItemType::WebLink, QStringLiteral("b1")));
    batch.push_back(std::make_unique<Item>(ItemType::WebLink, QStringLiteral("b2")));
    batch.back()->setId(batch.front()->id());
    EXPECT_EQ(store->insertItems(std::move(batch)).size(), 1u);

    // An inserted record keeps its id.
    const QUuid before = original->id();
    original->setId(QUuid::createUuid());
    EXPECT_EQ(original->id(), before);

    reopen(store);
    EXPECT_EQ(store->items().size(), 2u);
    EXPECT_EQ(store->item(before)->title(), QStringLiteral("original"));
}

TEST_F(LibraryStoreTest, ImageBytesAreReadFromDiskOnlyWhenAsked)
{
    auto store = openStore();
    Item *item = newItem(*store, "pic");
    const QByteArray thumb(5000, 't');
    item->setThumbnailData(thumb);
    item->setImageData(QByteArray()); // empty bytes are not absent bytes
    Item *plain = newItem(*store, "plain");
    const QUuid id = item->id(), plainId = plain->id();
    EXPECT_EQ(item->thumbnailData(), thumb) << "unsaved bytes read back from memory";
    reopen(store);

    item = store->item(id);
    EXPECT_TRUE(item->hasThumbnailData());
    EXPECT_TRUE(item->hasImageData());
    EXPECT_FALSE(store->item(plainId)->hasThumbnailData());
    EXPECT_FALSE(store->item(plainId)->thumbnailData());
    EXPECT_EQ(item->imageData(), QByteArray());
    EXPECT_EQ(item->thumbnailData(), thumb);

    // Proof that the bytes were not loaded with the item: change them on disk and read again.
    execBehindTheStore("UPDATE item_blobs SET data = x'616263' WHERE kind = 0");
    EXPECT_EQ(item->thumbnailData(), QByteArray("abc"));

    item->setThumbnailData(std::nullopt);
    reopen(store);
    EXPECT_FALSE(store->item(id)->hasThumbnailData());
    EXPECT_FALSE(store->item(id)->thumbnailData());
}

TEST_F(LibraryStoreTest, RemoveAllOfEachKind)
{
    auto store = openStore();
    Folder *f = store->insert(std::make_unique<Folder>(QStringLiteral("f"), QString(), QColor()));
    store->insert(std::make_unique<Folder>(QStringLiteral("sub"), QString(), QColor(), f));
    Tag *t = store->insert(std::make_unique<Tag>(QStringLiteral("t"), QColor()));
    for (int i = 0; i < 100; ++i)
        newItem(*store, "x", f)->addTag(t);
    ASSERT_TRUE(store->save());

    store->removeAll(RecordKind::Item);
    EXPECT_TRUE(store->items().empty());
    EXPECT_TRUE(f->items().isEmpty());
    EXPECT_TRUE(t->items().isEmpty());
    store->removeAll(RecordKind::Folder);
    store->removeAll(RecordKind::Tag);
    reopen(store);
    EXPECT_TRUE(store->items().empty());
    EXPECT_TRUE(store->folders().empty());
    EXPECT_TRUE(store->tags().empty());
}

TEST_F(LibraryStoreTest, UnreadableFilesFailToOpenWithAReason)
{
    QString error;
    {
        QFile junk(path());
        QDir().mkpath(QFileInfo(path()).absolutePath());
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(8192, 'j'));
    }
    EXPECT_FALSE(LibraryStore::open(path(), &error));
    EXPECT_FALSE(error.isEmpty());
    QFile::remove(path());

    openStore().reset();
    execBehindTheStore("UPDATE store_info SET value = '2.0.0' WHERE key = 'schemaVersion'");
    error.clear();
    EXPECT_FALSE(LibraryStore::open(path(), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("2.0.0"))) << qPrintable(error);

    QFile::remove(path());
    QFile::remove(path() + QStringLiteral("-wal"));
    QFile::remove(path() + QStringLiteral("-shm"));
    execBehindTheStore("CREATE TABLE unrelated(x)");
    EXPECT_FALSE(LibraryStore::open(path(), &error));
    EXPECT_EQ(error, QStringLiteral("The file is not a Quillory library store."));
}

TEST_F(LibraryStoreTest, TagIdsOfMissingTagsAreSkipped)
{
    auto store = openStore();
    Tag *kept = store->insert(std::make_unique<Tag>(QStringLiteral("kept"), QColor()));
    Tag *lost = store->insert(std::make_unique<Tag>(QStringLiteral("lost"), QColor()));
    Item *item = newItem(*store, "i");
    item->addTag(lost);
    item->addTag(kept);
    store.reset();
    // A tag row gone behind the store's back, and a torn id at the end of the list.
    execBehindTheStore("DELETE FROM tags WHERE name = 'lost'");
    execBehindTheStore("UPDATE items SET tag_ids = tag_ids || x'0102'");
    store = openStore();
    ASSERT_EQ(store->items().size(), 1u);
    ASSERT_EQ(store->items().front()->tags().size(), 1);
    EXPECT_EQ(store->items().front()->tags().front()->name(), QStringLiteral("kept"));
}

TEST_F(LibraryStoreTest, DamagedRowsAreSkippedNotDuplicated)
{
    auto store = openStore();
    Item *item = newItem(*store, "original");
    Folder *a = store->insert(std::make_unique<Folder>(QStringLiteral("A"), QString(), QColor()));
    Folder *b =
        store->insert(std::make_unique<Folder>(QStringLiteral("B"), QString(), QColor(), a));
    const QString id = item->id().toString(QUuid::WithoutBraces);
    const QString aId = a->id().toString(QUuid::WithoutBraces).toUpper();
    const QString bId = b->id().toString(QUuid::WithoutBraces).toUpper();
    store.reset();
    // The same id again in lower case, an unreadable id, and a parent cycle A -> B -> A.
    execBehindTheStore(
        QStringLiteral("INSERT INTO items SELECT '%1', type_raw_value, url_string, 'copy', note,"
                       " metadata_json, source_domain, source_app, folder_id, is_archived,"
                       " is_favorite, is_read, created_at, modified_at, accessed_at,"
                       " has_thumbnail, has_image, tag_ids FROM items")
            .arg(id.toLower())
            .toUtf8()
            .constData());
    execBehindTheStore(
        "INSERT INTO items SELECT 'not an id', type_raw_value, url_string, 'junk', note,"
        " metadata_json, source_domain, source_app, folder_id, is_archived, is_favorite,"
        " is_read, created_at, modified_at, accessed_at, has_thumbnail, has_image, tag_ids"
        " FROM items WHERE title = 'original'");
    execBehindTheStore(QStringLiteral("UPDATE folders SET parent_id = '%1' WHERE id = '%2'")
                           .arg(bId, aId)
                           .toUtf8()
                           .constData());
    store = openStore();
    ASSERT_EQ(store->items().size(), 1u);
    EXPECT_EQ(store->items().front()->title(), QStringLiteral("original"));
    store->remove(store->items().front());
    EXPECT_TRUE(store->items().empty());
    ASSERT_EQ(store->folders().size(), 2u);
    int roots = 0;
    for (const Folder *f : store->folders()) {
        roots += f->parent() == nullptr ? 1 : 0;
        EXPECT_FALSE(f->isAncestorOf(*f));
    }
    EXPECT_EQ(roots, 1) << "the cycle is cut at one link";
}

TEST_F(LibraryStoreTest, SignalsFollowInsertChangeAndRemove)
{
    auto store = openStore();
    QSignalSpy inserted(store.get(), &LibraryStore::recordsInserted);
    QSignalSpy changed(store.get(), &LibraryStore::recordChanged);
    QSignalSpy removed(store.get(), &LibraryStore::recordsRemoved);
    Item *item = newItem(*store, "x");
    EXPECT_EQ(inserted.count(), 1);
    item->setTitle(QStringLiteral("x"));
    EXPECT_EQ(changed.count(), 0) << "writing the same value is no change";
    item->setTitle(QStringLiteral("y"));
    EXPECT_EQ(changed.count(), 1);
    store->remove(item);
    EXPECT_EQ(removed.count(), 1);
}
