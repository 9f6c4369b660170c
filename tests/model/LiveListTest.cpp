#include <model/Folder.h>
#include <model/Item.h>
#include <model/LibraryStore.h>
#include <model/LiveList.h>
#include <model/Tag.h>

#include <QAbstractItemModelTester>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <limits>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

// The rows' display texts, in order, separated by spaces.
QString titles(const LiveList &list)
{
    QStringList t;
    for (int row = 0; row < list.rowCount(); ++row)
        t << list.data(list.index(row)).toString();
    return t.join(u' ');
}

std::unique_ptr<Item> itemCreatedAt(const char *title, int day)
{
    auto item = std::make_unique<Item>(ItemType::WebLink, QString::fromLatin1(title));
    item->setCreatedAt(QDateTime(QDate(2026, 1, day), QTime(12, 0), Qt::UTC));
    return item;
}

} // namespace

TEST(LiveList, ItemsNewestFirstFollowInsertsChangesAndRemovals)
{
    QTemporaryDir dir;
    QString error;
    auto store = LibraryStore::open(dir.filePath(u"s.store"_s), &error);
    ASSERT_TRUE(store);
    store->insert(itemCreatedAt("two", 2));
    auto list = LiveList::itemsByCreatedAt(*store, Qt::DescendingOrder);
    QAbstractItemModelTester tester(list.get(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);

    Item *one = store->insert(itemCreatedAt("one", 1));
    Item *three = store->insert(itemCreatedAt("three", 3));
    EXPECT_EQ(titles(*list), u"three two one"_s);

    // A new sort key moves the row, in both directions.
    one->setCreatedAt(QDateTime(QDate(2026, 1, 9), QTime(0, 0), Qt::UTC));
    EXPECT_EQ(titles(*list), u"one three two"_s);
    one->setCreatedAt(QDateTime(QDate(2025, 1, 1), QTime(0, 0), Qt::UTC));
    EXPECT_EQ(titles(*list), u"three two one"_s);
    three->setTitle(u"THREE"_s);
    EXPECT_EQ(list->rowOf(three), 0);
    EXPECT_EQ(titles(*list), u"THREE two one"_s);

    store->remove(three);
    EXPECT_EQ(titles(*list), u"two one"_s);

    std::vector<std::unique_ptr<Item>> batch;
    for (int day = 10; day < 30; ++day)
        batch.push_back(itemCreatedAt("batch", day));
    store->insertItems(std::move(batch));
    EXPECT_EQ(list->rowCount(), 22);
    std::vector<std::unique_ptr<Item>> large;
    for (int i = 0; i < 200; ++i)
        large.push_back(itemCreatedAt("large", 1 + i % 28));
    store->insertItems(std::move(large));
    EXPECT_EQ(list->rowCount(), 222);
    for (int row = 1; row < list->rowCount(); ++row)
        EXPECT_GE(list->item(row - 1)->createdAt(), list->item(row)->createdAt());

    store->removeAll(RecordKind::Item);
    EXPECT_EQ(list->rowCount(), 0);
}

TEST(LiveList, TagsBySortOrderThenNameFoldersBySortOrder)
{
    QTemporaryDir dir;
    QString error;
    auto store = LibraryStore::open(dir.filePath(u"s.store"_s), &error);
    ASSERT_TRUE(store);
    auto tags = LiveList::tagsBySortOrder(*store);
    auto folders = LiveList::foldersBySortOrder(*store);
    QAbstractItemModelTester tagTester(tags.get(),
                                       QAbstractItemModelTester::FailureReportingMode::Fatal);
    QAbstractItemModelTester folderTester(folders.get(),
                                          QAbstractItemModelTester::FailureReportingMode::Fatal);

    Tag *b = store->insert(std::make_unique<Tag>(u"b"_s, QColor()));
    store->insert(std::make_unique<Tag>(u"a"_s, QColor()));
    Tag *c = store->insert(std::make_unique<Tag>(u"c"_s, QColor()));
    EXPECT_EQ(titles(*tags), u"a b c"_s);
    c->setSortOrder(-1);
    b->setSortOrder(1);
    EXPECT_EQ(titles(*tags), u"c a b"_s);
    store->remove(c);
    EXPECT_EQ(titles(*tags), u"a b"_s);
    b->setSortOrder(0);
    tags->tag(0)->setName(u"Zed"_s); // a renamed tag moves to its new place
    EXPECT_EQ(titles(*tags), u"b Zed"_s);

    Folder *parent = store->insert(std::make_unique<Folder>(u"p"_s, QString(), QColor()));
    store->insert(std::make_unique<Folder>(u"child"_s, QString(), QColor(), parent));
    EXPECT_EQ(folders->rowCount(), 2);
    store->remove(parent);
    EXPECT_EQ(folders->rowCount(), 0);
}

TEST(LiveList, ALoadedLibraryIsOrderedByTimeThenInsertionInBothDirections)
{
    QTemporaryDir dir;
    QString error;
    const QString path = dir.filePath(u"s.store"_s);
    {
        auto store = LibraryStore::open(path, &error);
        ASSERT_TRUE(store);
        // Few distinct times, so that most items tie, and the extremes a damaged file may hold.
        const qint64 times[] = {std::numeric_limits<qint64>::min(), -5, 0, 7, 7, 1'000,
                                std::numeric_limits<qint64>::max()};
        for (int i = 0; i < 400; ++i) {
            auto item = std::make_unique<Item>(ItemType::WebLink, QString::number(i));
            item->setCreatedAt(QDateTime::fromMSecsSinceEpoch(times[(i * 5) % 7], Qt::UTC));
            store->insert(std::move(item));
        }
    }
    auto store = LibraryStore::open(path, &error);
    ASSERT_TRUE(store);
    for (const Qt::SortOrder order : {Qt::DescendingOrder, Qt::AscendingOrder}) {
        std::vector<Record *> expected(store->items().cbegin(), store->items().cend());
        std::stable_sort(expected.begin(), expected.end(), [&](const Record *a, const Record *b) {
            if (a->createdAtMSecs() != b->createdAtMSecs())
                return order == Qt::DescendingOrder ? a->createdAtMSecs() > b->createdAtMSecs()
                                                    : a->createdAtMSecs() < b->createdAtMSecs();
            return a->sequence() < b->sequence();
        });
        const auto list = LiveList::itemsByCreatedAt(*store, order);
        EXPECT_EQ(list->records(), expected)
            << (order == Qt::DescendingOrder ? "newest first" : "oldest first");
    }
}
