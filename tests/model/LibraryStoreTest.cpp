#include "DeepTrees.h"
#include "Eventually.h"
#include <StoreFiles.h>

#include <model/Folder.h>
#include <model/FolderNesting.h>
#include <model/Item.h>
#include <model/LibraryStore.h>
#include <model/Tag.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::copyItemRows;

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
    QString path() const { return m_dir.filePath(u"library/default.store"_s); }

    void execBehindTheStore(const QString &sql) { quillory::test::execOn(path(), sql); }

    static Item *newItem(LibraryStore &store, const char *title, Folder *folder = nullptr)
    {
        return store.insert(std::make_unique<Item>(
            ItemType::WebLink, QString::fromLatin1(title),
            QUrl(u"https://example.com/"_s + QLatin1String(title)), std::nullopt, folder));
    }

    static Folder *newFolder(LibraryStore &store, const char *name, Folder *parent = nullptr)
    {
        return store.insert(
            std::make_unique<Folder>(QString::fromLatin1(name), QString(), QColor(), parent));
    }

    static Tag *newTag(LibraryStore &store, const char *name)
    {
        return store.insert(std::make_unique<Tag>(QString::fromLatin1(name), QColor()));
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(LibraryStoreTest, EveryAttributeAndRelationshipSurvivesReopening)
{
    auto store = openStore();
    Folder *root = store->insert(std::make_unique<Folder>(u"Root"_s, u"folder"_s, QColor(1, 2, 3)));
    Folder *second =
        store->insert(std::make_unique<Folder>(u"Second"_s, u"star"_s, QColor(), root));
    Folder *first = store->insert(std::make_unique<Folder>(u"First"_s, u"star"_s, QColor(), root));
    second->setSortOrder(5);
    Tag *zeta = store->insert(std::make_unique<Tag>(u"zeta"_s, QColor(9, 9, 9)));
    Tag *alpha = newTag(*store, "alpha");
    alpha->setSortOrder(-3);

    Item *item = store->insert(std::make_unique<Item>(ItemType::Video, u"Talk"_s,
                                                      QUrl(u"https://www.youtube.com/watch?v=1"_s),
                                                      u"a note"_s, first));
    item->addTag(zeta);
    item->addTag(alpha);
    item->toggleFavorite();
    item->setRead(true);
    item->setSourceApp(u"Browser"_s);
    item->setAccessedAt(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 678), Qt::UTC));
    ItemMetadata meta;
    meta.author = u"Ada"_s;
    item->setMetadata(meta);
    Item *bare = store->insert(std::make_unique<Item>(ItemType::Document, u"Bare"_s));
    bare->toggleArchive();
    bare->setTypeRawValue(u"hologram"_s);
    Item *blank = store->insert(
        std::make_unique<Item>(ItemType::Image, u"Caf\u00E9 \u2615"_s, std::nullopt, u""_s));

    const QUuid itemId = item->id(), bareId = bare->id(), rootId = root->id(),
                firstId = first->id(), blankId = blank->id();
    const QDateTime created = item->createdAt(), modified = item->modifiedAt();
    reopen(store);

    ASSERT_EQ(store->items().size(), 3u);
    ASSERT_EQ(store->folders().size(), 3u);
    ASSERT_EQ(store->tags().size(), 2u);
    Item *back = store->item(itemId);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->typeRawValue(), u"video"_s);
    EXPECT_EQ(back->title(), u"Talk"_s);
    EXPECT_EQ(back->urlString(), u"https://www.youtube.com/watch?v=1"_s);
    EXPECT_EQ(back->sourceDomain(), u"www.youtube.com"_s);
    EXPECT_EQ(back->note(), u"a note"_s);
    EXPECT_EQ(back->sourceApp(), u"Browser"_s);
    EXPECT_TRUE(back->isFavorite());
    EXPECT_TRUE(back->isRead());
    EXPECT_FALSE(back->isArchived());
    EXPECT_EQ(back->accessedAt(), QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 678), Qt::UTC));
    EXPECT_EQ(back->createdAt(), created);
    EXPECT_EQ(back->modifiedAt(), modified);
    EXPECT_EQ(back->metadata(), meta);
    ASSERT_EQ(back->tags().size(), 2);
    EXPECT_EQ(back->tags()[0]->name(), u"zeta"_s) << "tags keep their stored order";
    EXPECT_EQ(back->tags()[1]->name(), u"alpha"_s);
    EXPECT_EQ(back->tags()[1]->sortOrder(), -3);
    EXPECT_EQ(back->tags()[0]->items(), QList<Item *>{back});
    EXPECT_EQ(back->folder(), store->folder(firstId));

    Folder *rootBack = store->folder(rootId);
    ASSERT_TRUE(rootBack);
    EXPECT_EQ(rootBack->colorHex(), u"#010203"_s);
    ASSERT_EQ(rootBack->children().size(), 2);
    EXPECT_EQ(rootBack->children()[0]->name(), u"Second"_s) << "children keep their stored order";
    EXPECT_EQ(rootBack->children()[0]->sortOrder(), 5);
    EXPECT_EQ(rootBack->sortedChildren()[0]->name(), u"First"_s);
    EXPECT_EQ(store->folder(firstId)->items(), QList<Item *>{back});

    Item *bareBack = store->item(bareId);
    EXPECT_TRUE(bareBack->isArchived());
    EXPECT_EQ(bareBack->typeRawValue(), u"hologram"_s);
    EXPECT_EQ(bareBack->type(), ItemType::WebLink);
    EXPECT_FALSE(bareBack->urlString());
    EXPECT_FALSE(bareBack->note());
    EXPECT_FALSE(bareBack->metadataJSON());

    Item *blankBack = store->item(blankId);
    EXPECT_EQ(blankBack->title(), u"Caf\u00E9 \u2615"_s);
    ASSERT_TRUE(blankBack->note()) << "an empty note is not an absent one";
    EXPECT_TRUE(blankBack->note()->isEmpty());
    EXPECT_FALSE(blankBack->urlString());
}

TEST_F(LibraryStoreTest, ChangesAreSavedSoonWithoutAnExplicitSave)
{
    auto store = openStore();
    store->setAutosaveDelay(50);
    Item *item = newItem(*store, "first");
    item->setTitle(u"renamed"_s);
    EXPECT_TRUE(store->hasUnsavedChanges());
    ASSERT_EVENTUALLY(!store->hasUnsavedChanges(), 5000);

    // A second connection sees the change while the first store is still open.
    auto reader = openStore();
    ASSERT_EQ(reader->items().size(), 1u);
    EXPECT_EQ(reader->items().front()->title(), u"renamed"_s);
}

TEST_F(LibraryStoreTest, ChildFolderMovesAndSiblingOrderSurvive)
{
    auto store = openStore();
    Folder *a = newFolder(*store, "A");
    Folder *b = newFolder(*store, "B");
    Folder *c1 = newFolder(*store, "c1", a);
    Folder *c2 = newFolder(*store, "c2", a);
    newFolder(*store, "c3", a);
    ASSERT_TRUE(store->save());
    c1->setParent(b);
    c1->setParent(a); // back, now last
    EXPECT_FALSE(a->setParent(c2));
    const QUuid aId = a->id();
    reopen(store);
    QStringList names;
    for (const Folder *f : store->folder(aId)->children())
        names << f->name();
    EXPECT_EQ(names, (QStringList{u"c2"_s, u"c3"_s, u"c1"_s}));
}

// Folders root > child > gc and keep, tags t and o, and items r (in root, tagged t and o, with
// a thumbnail), g (in gc, tagged t) and k (in keep), all saved.
class LibraryDeletionTest : public LibraryStoreTest
{
protected:
    void SetUp() override
    {
        m_store = openStore();
        m_root = newFolder(*m_store, "root");
        m_gc = newFolder(*m_store, "gc", newFolder(*m_store, "child", m_root));
        m_keep = newFolder(*m_store, "keep");
        m_t = newTag(*m_store, "t");
        m_o = newTag(*m_store, "o");
        m_r = newItem(*m_store, "r", m_root);
        m_r->addTag(m_t);
        m_r->addTag(m_o);
        m_r->setThumbnailData(QByteArray("thumb"));
        m_g = newItem(*m_store, "g", m_gc);
        m_g->addTag(m_t);
        m_k = newItem(*m_store, "k", m_keep);
        ASSERT_TRUE(m_store->save());
    }

    std::unique_ptr<LibraryStore> m_store;
    Folder *m_root = nullptr, *m_gc = nullptr, *m_keep = nullptr;
    Tag *m_t = nullptr, *m_o = nullptr;
    Item *m_r = nullptr, *m_g = nullptr, *m_k = nullptr;
};

TEST_F(LibraryDeletionTest, DeletingATagUnlinksItWithoutTouchingItems)
{
    const QDateTime stamped = m_r->modifiedAt();
    QSignalSpy changed(m_store.get(), &LibraryStore::recordChanged);
    m_store->remove(m_t);
    EXPECT_EQ(m_r->tags(), QList<Tag *>{m_o});
    EXPECT_TRUE(m_g->tags().isEmpty());
    EXPECT_EQ(m_r->modifiedAt(), stamped);
    EXPECT_EQ(changed.count(), 2) << "both items are reported so lists refresh";
    EXPECT_EQ(m_store->tags().size(), 1u);

    const QUuid rId = m_r->id();
    reopen(m_store);
    EXPECT_EQ(m_store->items().size(), 3u);
    EXPECT_EQ(m_store->tags().size(), 1u);
    EXPECT_EQ(m_store->item(rId)->tags().size(), 1);
}

TEST_F(LibraryDeletionTest, DeletingAFolderDeletesItsSubtreeAndUnfilesItems)
{
    QSignalSpy removing(m_store.get(), &LibraryStore::recordsAboutToBeRemoved);
    m_store->remove(m_root);
    ASSERT_EQ(removing.count(), 1);
    EXPECT_EQ(removing.at(0).at(1).value<QList<Record *>>().size(), 3);
    EXPECT_EQ(m_store->folders().size(), 1u);
    EXPECT_EQ(m_r->folder(), nullptr);
    EXPECT_EQ(m_g->folder(), nullptr);
    EXPECT_EQ(m_k->folder(), m_keep);

    reopen(m_store);
    EXPECT_EQ(m_store->folders().size(), 1u);
    EXPECT_EQ(m_store->items().size(), 3u);
    int unfiled = 0;
    for (const Item *i : m_store->items())
        unfiled += i->folder() == nullptr ? 1 : 0;
    EXPECT_EQ(unfiled, 2);
}

TEST_F(LibraryDeletionTest, DeletingAnItemLeavesFolderAndTags)
{
    m_store->remove(m_r);
    EXPECT_TRUE(m_root->items().isEmpty());
    EXPECT_EQ(m_t->items(), QList<Item *>{m_g});
    EXPECT_TRUE(m_o->items().isEmpty());
    reopen(m_store);
    EXPECT_EQ(m_store->items().size(), 2u);
    EXPECT_EQ(m_store->folders().size(), 4u);
    EXPECT_EQ(m_store->tags().size(), 2u);
}

TEST_F(LibraryDeletionTest, RemoveAllOfEachKind)
{
    for (int i = 0; i < 100; ++i)
        newItem(*m_store, "x", m_root)->addTag(m_t);
    ASSERT_TRUE(m_store->save());

    m_store->removeAll(RecordKind::Item);
    EXPECT_TRUE(m_store->items().empty());
    EXPECT_TRUE(m_root->items().isEmpty());
    EXPECT_TRUE(m_t->items().isEmpty());
    m_store->removeAll(RecordKind::Folder);
    m_store->removeAll(RecordKind::Tag);
    reopen(m_store);
    EXPECT_TRUE(m_store->items().empty());
    EXPECT_TRUE(m_store->folders().empty());
    EXPECT_TRUE(m_store->tags().empty());
}

TEST_F(LibraryStoreTest, RefusesASecondRecordWithTheSameId)
{
    auto store = openStore();
    Item *original = newItem(*store, "original");
    auto twin = std::make_unique<Item>(ItemType::WebLink, u"twin"_s);
    twin->setId(original->id());
    EXPECT_EQ(store->insert(std::move(twin)), nullptr);
    EXPECT_EQ(store->insert(std::unique_ptr<Item>()), nullptr);

    Tag *tag = newTag(*store, "t");
    auto tagTwin = std::make_unique<Tag>(u"t2"_s, QColor());
    tagTwin->setId(tag->id());
    EXPECT_EQ(store->insert(std::move(tagTwin)), nullptr);

    Folder *folder = newFolder(*store, "f");
    auto folderTwin = std::make_unique<Folder>(u"f2"_s, QString(), QColor());
    folderTwin->setId(folder->id());
    EXPECT_EQ(store->insert(std::move(folderTwin)), nullptr);

    // Ids are unique per kind: a tag may share an item's id.
    auto sameAsItem = std::make_unique<Tag>(u"x"_s, QColor());
    sameAsItem->setId(original->id());
    EXPECT_NE(store->insert(std::move(sameAsItem)), nullptr);

    // Within one batch, the second record with an id is refused too.
    std::vector<std::unique_ptr<Item>> batch;
    batch.push_back(std::make_unique<Item>(ItemType::WebLink, u"b1"_s));
    batch.push_back(std::make_unique<Item>(ItemType::WebLink, u"b2"_s));
    batch.back()->setId(batch.front()->id());
    EXPECT_EQ(store->insertItems(std::move(batch)).size(), 1u);

    // An inserted record keeps its id.
    const QUuid before = original->id();
    original->setId(QUuid::createUuid());
    EXPECT_EQ(original->id(), before);

    reopen(store);
    EXPECT_EQ(store->items().size(), 2u);
    EXPECT_EQ(store->item(before)->title(), u"original"_s);
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
    execBehindTheStore(u"UPDATE item_blobs SET data = x'616263' WHERE kind = 0"_s);
    EXPECT_EQ(item->thumbnailData(), QByteArray("abc"));

    item->setThumbnailData(std::nullopt);
    reopen(store);
    EXPECT_FALSE(store->item(id)->hasThumbnailData());
    EXPECT_FALSE(store->item(id)->thumbnailData());
}

TEST_F(LibraryStoreTest, TagIdsOfMissingTagsAreSkipped)
{
    auto store = openStore();
    Tag *kept = newTag(*store, "kept");
    Tag *lost = newTag(*store, "lost");
    Item *item = newItem(*store, "i");
    item->addTag(lost);
    item->addTag(kept);
    store.reset();
    // A tag row gone behind the store's back, and a torn id at the end of the list.
    execBehindTheStore(u"DELETE FROM tags WHERE name = 'lost'"_s);
    execBehindTheStore(u"UPDATE items SET tag_ids = tag_ids || x'0102'"_s);
    store = openStore();
    ASSERT_EQ(store->items().size(), 1u);
    ASSERT_EQ(store->items().front()->tags().size(), 1);
    EXPECT_EQ(store->items().front()->tags().front()->name(), u"kept"_s);
}

TEST_F(LibraryStoreTest, DamagedRowsAreSkippedNotDuplicated)
{
    auto store = openStore();
    Item *item = newItem(*store, "original");
    Folder *a = newFolder(*store, "A");
    Folder *b = newFolder(*store, "B", a);
    const QString id = item->id().toString(QUuid::WithoutBraces);
    const QString aId = a->id().toString(QUuid::WithoutBraces).toUpper();
    const QString bId = b->id().toString(QUuid::WithoutBraces).toUpper();
    store.reset();
    // The same id again in lower case (and newer: the store's own spelling still wins), an
    // unreadable id, and a parent cycle A -> B -> A.
    execBehindTheStore(
        copyItemRows(u"'%1'"_s.arg(id.toLower()), u"'copy'"_s, u"modified_at + 1000"_s));
    execBehindTheStore(copyItemRows(u"'not an id'"_s, u"'junk'"_s, u"modified_at"_s,
                                    u"WHERE title = 'original'"_s));
    execBehindTheStore(u"UPDATE folders SET parent_id = '%1' WHERE id = '%2'"_s.arg(bId, aId));
    store = openStore();
    ASSERT_EQ(store->items().size(), 1u);
    EXPECT_EQ(store->items().front()->title(), u"original"_s);
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

TEST_F(LibraryStoreTest, PicturesStoredUnderAnotherSpellingOfTheIdAreKept)
{
    auto store = openStore();
    Item *item = newItem(*store, "photo");
    item->setImageData(QByteArray("image bytes"));
    item->setThumbnailData(QByteArray("thumbnail bytes"));
    const QUuid id = item->id();
    store.reset();
    // Another tool's row and pictures in lower case, and beside them the canonical row a later
    // save added, which changed the title but left the pictures where they were.
    execBehindTheStore(u"UPDATE item_blobs SET item_id = lower(item_id)"_s);
    execBehindTheStore(copyItemRows(u"lower(id)"_s, u"'older'"_s, u"modified_at - 1000"_s));
    store = openStore();
    ASSERT_EQ(store->items().size(), 1u);
    const Item *kept = store->item(id);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->title(), u"photo"_s);
    EXPECT_EQ(kept->imageData(), QByteArray("image bytes"));
    EXPECT_EQ(kept->thumbnailData(), QByteArray("thumbnail bytes"));
    reopen(store);
    EXPECT_EQ(store->item(id)->imageData(), QByteArray("image bytes"));
}

// Many cycles, so that some lie where cutting an earlier one moves entries of the hash the
// walk goes through.
TEST_F(LibraryStoreTest, EveryParentCycleOfADamagedFileIsCut)
{
    constexpr int pairs = 400;
    auto store = openStore();
    for (int i = 0; i < pairs; ++i) {
        Folder *a = newFolder(*store, "a");
        newFolder(*store, "b", a);
    }
    store.reset();
    execBehindTheStore(u"UPDATE folders SET parent_id = (SELECT f.id FROM folders f"
                       " WHERE f.parent_id = folders.id) WHERE parent_id IS NULL"_s);
    store = openStore();
    ASSERT_EQ(store->folders().size(), size_t(2 * pairs));
    int roots = 0;
    for (const Folder *f : store->folders()) {
        int steps = 0;
        const Folder *up = f;
        while (up->parent() != nullptr && steps <= 2 * pairs) {
            up = up->parent();
            ++steps;
        }
        ASSERT_LE(steps, 1) << "a folder still sits in a cycle";
        roots += f->parent() == nullptr ? 1 : 0;
    }
    EXPECT_EQ(roots, pairs);
}

TEST_F(LibraryStoreTest, SignalsFollowInsertChangeAndRemove)
{
    auto store = openStore();
    QSignalSpy inserted(store.get(), &LibraryStore::recordsInserted);
    QSignalSpy changed(store.get(), &LibraryStore::recordChanged);
    QSignalSpy removed(store.get(), &LibraryStore::recordsRemoved);
    Item *item = newItem(*store, "x");
    EXPECT_EQ(inserted.count(), 1);
    item->setTitle(u"x"_s);
    EXPECT_EQ(changed.count(), 0) << "writing the same value is no change";
    item->setTitle(u"y"_s);
    EXPECT_EQ(changed.count(), 1);
    store->remove(item);
    EXPECT_EQ(removed.count(), 1);
}

// A file holding a chain of folders a hundred thousand levels deep: read without walking it
// by recursion, cut at the deepest level every view shows, and saved that way.
TEST_F(LibraryStoreTest, AFolderTreeTooDeepIsCutWhenReadAndSavedThatWay)
{
    constexpr int depth = 100'000;
    openStore().reset();
    quillory::test::DeepTrees::addToStore(path(), depth);
    auto store = openStore();
    ASSERT_EQ(store->folders().size(), size_t(depth));
    EXPECT_EQ(store->foldersMovedUp(), depth - FolderNesting::maxDepth);
    const auto byLevel = [&](int level) {
        return store->folder(QUuid::fromString(quillory::test::DeepTrees::storedId(level)));
    };
    const Folder *anchor = byLevel(FolderNesting::maxDepth - 2);
    ASSERT_NE(anchor, nullptr);
    EXPECT_EQ(anchor->name(), u"Level 62"_s);
    EXPECT_EQ(anchor->children().size(), depth - FolderNesting::maxDepth + 1);
    for (const Folder *f : store->folders()) {
        int levels = 1;
        for (const Folder *up = f->parent(); up != nullptr; up = up->parent())
            ++levels;
        ASSERT_LE(levels, FolderNesting::maxDepth) << f->name().toStdString();
    }
    EXPECT_EQ(byLevel(depth - 1)->parent(), anchor);
    EXPECT_TRUE(store->hasUnsavedChanges());

    reopen(store);
    EXPECT_EQ(store->foldersMovedUp(), 0) << "the file now holds the tree as it is shown";
    EXPECT_EQ(byLevel(depth - 1)->parent(), byLevel(FolderNesting::maxDepth - 2));
    EXPECT_EQ(byLevel(FolderNesting::maxDepth - 2)->children().size(),
              depth - FolderNesting::maxDepth + 1);

    // Deleting the tree unlinks it in one pass, however wide the level it was cut at.
    store->remove(byLevel(0));
    EXPECT_TRUE(store->folders().empty());
}
