#include <model/Clock.h>
#include <model/Folder.h>
#include <model/Item.h>
#include <model/LibraryStore.h>
#include <model/LiveList.h>
#include <model/Tag.h>
#include <search/SearchService.h>
#include <state/AppState.h>
#include <state/ItemChanges.h>
#include <state/LibraryFilter.h>

#include <QCollator>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <random>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

class LibraryFilterTest : public ::testing::Test
{
protected:
    LibraryFilterTest()
    {
        Clock::setSource([this] { return m_now; });
        open();
        // Every text search goes to the worker thread, as a large library's do.
        m_search.setBackgroundThreshold(0);
    }
    ~LibraryFilterTest() override { Clock::setSource({}); }
    // Opens the library afresh, read back from its file.
    void open()
    {
        m_changes.reset();
        m_items.reset();
        m_store.reset();
        QString error;
        m_store = LibraryStore::open(m_dir.filePath(u"filter.store"_s), &error);
        ASSERT_TRUE(m_store) << qPrintable(error);
        m_items = LiveList::itemsByCreatedAt(*m_store, Qt::DescendingOrder);
        m_changes = std::make_unique<ItemChanges>(*m_store);
    }

    // Starts the window's list; a deferred search is left running, its list arriving in
    // m_arrived.
    std::optional<std::vector<Item *>> start()
    {
        m_arrived.reset();
        return m_filter.shownItemsOrDefer(
            m_items->records(), m_selection, m_state, m_now.toMSecsSinceEpoch(), *m_changes,
            [this](std::vector<Item *> found) { m_arrived = std::move(found); });
    }
    bool waitForArrival()
    {
        return QTest::qWaitFor([this] { return m_arrived.has_value(); }, 10000);
    }
    // The list the window shows, once it has arrived.
    std::vector<Item *> patched()
    {
        if (std::optional<std::vector<Item *>> shown = start())
            return *shown;
        return waitForArrival() ? *m_arrived : std::vector<Item *>{};
    }
    std::vector<Item *> madeAgain()
    {
        LibraryFilter fresh(m_search);
        return fresh.shownItems(m_items->records(), m_selection, m_state,
                                m_now.toMSecsSinceEpoch());
    }
    // As madeAgain(), in `order`, whatever the window's state; the fresh filter's ranking of
    // titles leaves the window's filter to rank them again.
    std::vector<Item *> madeAgainIn(SortOrder order)
    {
        AppState state;
        state.setSortOrder(order);
        LibraryFilter fresh(m_search);
        return fresh.shownItems(m_items->records(), m_selection, state, m_now.toMSecsSinceEpoch());
    }
    // The library in `order`, by titles compared one pair at a time, equal titles newest first.
    std::vector<Item *> titleOrdered(SortOrder order)
    {
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        collator.setNumericMode(true);
        std::vector<Item *> ordered = madeAgainIn(SortOrder::DateAddedDescending);
        std::stable_sort(ordered.begin(), ordered.end(), [&](const Item *a, const Item *b) {
            const int c = collator.compare(a->title().toCaseFolded(), b->title().toCaseFolded());
            return order == SortOrder::TitleAscending ? c < 0 : c > 0;
        });
        return ordered;
    }

    QDateTime m_now = QDateTime(QDate(2026, 5, 4), QTime(9, 30), Qt::UTC);
    QTemporaryDir m_dir;
    QSettings m_settings{m_dir.filePath(u"settings.ini"_s), QSettings::IniFormat};
    SearchService m_search{&m_settings};
    std::unique_ptr<LibraryStore> m_store;
    std::unique_ptr<LiveList> m_items;
    std::unique_ptr<ItemChanges> m_changes;
    LibraryFilter m_filter{m_search};
    std::optional<std::vector<Item *>> m_arrived;
    AppState m_state;
    SidebarSelection m_selection;
};

TEST_F(LibraryFilterTest, PatchesTheLastListIntoTheOneMadeFromTheWholeLibrary)
{
    ASSERT_TRUE(m_store);
    std::mt19937 random(4052026);
    const auto chance = [&random](int percent) { return int(random() % 100) < percent; };
    const auto any = [&random](const auto &records) {
        return records.empty() ? nullptr : records[random() % records.size()];
    };
    const auto pick = [&random](const auto &list) {
        return list[qsizetype(random()) % list.size()];
    };
    // Few distinct titles and times, so that equal keys must keep the library's order.
    const auto someTitle = [&] { return u"Title %1"_s.arg(random() % 12); };
    const auto someTime = [&] { return m_now.addSecs(-qint64(random() % 6) * 3600); };
    Folder *work =
        m_store->insert(std::make_unique<Folder>(u"Work"_s, u"folder"_s, QColor(Qt::blue)));
    Tag *red = m_store->insert(std::make_unique<Tag>(u"red"_s, QColor(Qt::red)));
    for (int i = 0; i < 60; ++i) {
        auto item = std::make_unique<Item>(ItemType::WebLink, someTitle());
        item->setCreatedAt(someTime());
        m_store->insert(std::move(item));
    }

    int patches = 0;
    for (int step = 0; step < 1200; ++step) {
        std::string what;
        Item *item = any(m_store->items());
        switch (item == nullptr ? 0 : random() % 13) {
        case 0:
        case 1: {
            what = "insert";
            auto made = std::make_unique<Item>(chance(80) ? ItemType::WebLink : ItemType::Video,
                                               someTitle());
            made->setCreatedAt(someTime());
            made->setFavorite(chance(30));
            if (chance(30))
                made->addTag(red);
            if (chance(30))
                made->moveToFolder(work);
            m_store->insert(std::move(made));
            break;
        }
        case 2:
            what = "remove";
            m_store->remove(item);
            break;
        case 3:
            what = "rename";
            item->setTitle(someTitle());
            break;
        case 4:
            what = "archive";
            item->toggleArchive();
            break;
        case 5:
            what = "favourite";
            item->toggleFavorite();
            break;
        case 6:
            what = "tag";
            item->hasTag(*red) ? item->removeTag(*red) : item->addTag(red);
            break;
        case 7:
            what = "file";
            item->moveToFolder(item->folder() ? nullptr : work);
            break;
        case 8:
            what = "created at";
            item->setCreatedAt(someTime());
            break;
        case 9: {
            what = "several at once";
            for (int n = 0; n < 5; ++n)
                any(m_store->items())->setTitle(someTitle());
            break;
        }
        case 10: {
            what = "sort order";
            m_state.setSortOrder(pick(SortOrder::allCases()));
            break;
        }
        case 11:
            what = "nothing"; // the library walked last time is walked no more
            break;
        default:
            what = "filters";
            m_selection.smartFolder =
                chance(20) ? std::nullopt : std::optional(pick(SmartFolder::allCases()));
            m_selection.folder = chance(20) ? work : nullptr;
            m_state.setShowFavoritesOnly(chance(20));
            m_state.setFilterTags(chance(20) ? QList<Tag *>{red} : QList<Tag *>{});
            m_state.setSearchQuery(chance(25) ? pick(QStringList{u"title 1"_s, u"itle"_s, u"e 3"_s})
                                              : QString());
            break;
        }
        // Several refreshes between checks: a check's own fresh filter ranks the titles
        // over again, which the next refresh sees and makes its list anew.
        const std::vector<Item *> shown = patched();
        patches += m_filter.patchedLast();
        if (step % 4 == 3) {
            ASSERT_EQ(shown, madeAgain()) << what << " at step " << step;
        }
    }
    // The patches must have been made, not only the lists made anew.
    EXPECT_GT(patches, 400);
}

TEST_F(LibraryFilterTest, MakesTheListAgainWhenATagOrFolderComesOrGoes)
{
    ASSERT_TRUE(m_store);
    Tag *tag = m_store->insert(std::make_unique<Tag>(u"kept"_s, QColor(Qt::red)));
    for (int i = 0; i < 3; ++i) {
        auto item = std::make_unique<Item>(ItemType::WebLink, u"Page %1"_s.arg(i));
        item->addTag(tag);
        m_store->insert(std::move(item));
    }
    EXPECT_EQ(patched().size(), 3u);
    EXPECT_FALSE(m_filter.patchedLast());
    m_store->items().front()->setFavorite(true);
    EXPECT_EQ(patched().size(), 3u);
    EXPECT_TRUE(m_filter.patchedLast());

    // Deleting the tag unlinks its items without a notice for each.
    m_store->remove(tag);
    EXPECT_EQ(patched().size(), 3u);
    EXPECT_FALSE(m_filter.patchedLast());
}

TEST_F(LibraryFilterTest, ASearchOvertakenByAChangeIsDroppedAndMadeAgain)
{
    ASSERT_TRUE(m_store);
    for (int i = 0; i < 200; ++i)
        m_store->insert(std::make_unique<Item>(ItemType::WebLink, u"Garden page %1"_s.arg(i)));
    m_state.setSearchQuery(u"garden"_s);
    ASSERT_FALSE(start());
    // The running search holds the deleted item: its list must never arrive.
    m_store->remove(m_store->items().front());
    QTest::qWait(200);
    EXPECT_FALSE(m_arrived);
    EXPECT_EQ(patched(), madeAgain());
    EXPECT_EQ(patched().size(), 199u);

    // Clearing the query while a search runs shows the whole library, and the search's list
    // never follows it.
    m_state.setSearchQuery(u"page 1"_s);
    ASSERT_FALSE(start());
    m_state.setSearchQuery(QString());
    const std::optional<std::vector<Item *>> all = start();
    ASSERT_TRUE(all);
    EXPECT_EQ(all->size(), 199u);
    QTest::qWait(200);
    EXPECT_FALSE(m_arrived);
}

} // namespace

// A library large enough to be ranked on two threads (on a machine of two cores or more) comes
// out in the same title order as titles compared one pair at a time, in both directions, with
// equal titles in the library's order; so do items renamed afterwards, each placed among the
// others by a key made on this thread.
TEST_F(LibraryFilterTest, ALargeLibraryIsRankedByTitleAsTitlesCompare)
{
    ASSERT_TRUE(m_store);
    std::mt19937 random(912026);
    const QStringList words = {u"apple"_s,   u"Apple"_s,  u"éclair"_s,   u"Zebra"_s,  u"item"_s,
                               u"Item 10"_s, u"item 9"_s, u"Ångström"_s, u"banana"_s, u"_x"_s};
    const auto someTitle = [&] {
        const QString word = words[qsizetype(random() % words.size())];
        return random() % 2 == 0 ? word : word + u' ' + QString::number(random() % 500);
    };
    std::vector<std::unique_ptr<Item>> made;
    for (int i = 0; i < 6000; ++i) {
        made.push_back(std::make_unique<Item>(ItemType::WebLink, someTitle()));
        made.back()->setCreatedAt(m_now.addSecs(-qint64(random() % 4000)));
    }
    m_store->insertItems(std::move(made));

    for (const SortOrder order : {SortOrder::TitleAscending, SortOrder::TitleDescending}) {
        const std::vector<Item *> expected = titleOrdered(order);
        ASSERT_EQ(expected.size(), 6000u);
        ASSERT_EQ(madeAgainIn(order), expected) << "by a fresh filter";
        m_state.setSortOrder(order);
        ASSERT_EQ(patched(), expected);
    }
    // The window's filter ranked the library last; a few renamed items take ranks between
    // their neighbours' (a fresh filter would rank every title again).
    for (int renamed = 0; renamed < 5; ++renamed) {
        m_store->items()[size_t(random() % 6000)]->setTitle(someTitle());
        ASSERT_EQ(patched(), titleOrdered(SortOrder::TitleDescending)) << "rename " << renamed;
    }
}

// A window's Title A-Z over a large library waits for its titles to be ranked on worker
// threads, and then shows them as titles compare, whether they were read from the store or
// added since. Items renamed, deleted or added while a ranking runs are placed by themselves,
// not given the ranks of titles they no longer have; a filter destroyed meanwhile hears of
// nothing.
TEST_F(LibraryFilterTest, ALargeLibraryIsRankedByTitleInTheBackground)
{
    ASSERT_TRUE(m_store);
    std::mt19937 random(9122026);
    const QStringList words = {u"apple"_s, u"Ångström"_s, u"banana"_s, u"item 9"_s, u"Item 10"_s};
    const auto someTitle = [&]() -> QString {
        return words[qsizetype(random() % words.size())] + u' ' + QString::number(random() % 900);
    };
    std::vector<std::unique_ptr<Item>> made;
    for (int i = 0; i < 4000; ++i) {
        made.push_back(std::make_unique<Item>(ItemType::WebLink, someTitle()));
        made.back()->setCreatedAt(m_now.addSecs(-qint64(random() % 3000)));
    }
    m_store->insertItems(std::move(made));
    // Read back, the titles lie in the store's text arena; those added next, in blocks of
    // their own.
    open();
    ASSERT_EQ(m_store->items().size(), 4000u);
    for (int i = 0; i < 40; ++i)
        m_store->insert(std::make_unique<Item>(ItemType::WebLink, someTitle()));

    m_filter.setBackgroundRankingFrom(0);
    m_state.setSortOrder(SortOrder::TitleAscending);
    ASSERT_FALSE(start()) << "the titles are ranked first";
    ASSERT_TRUE(waitForArrival());
    EXPECT_EQ(*m_arrived, titleOrdered(SortOrder::TitleAscending));
    m_state.setSortOrder(SortOrder::TitleDescending);
    const std::optional<std::vector<Item *>> again = start();
    ASSERT_TRUE(again) << "ranked once, sorted at once";
    EXPECT_EQ(*again, titleOrdered(SortOrder::TitleDescending));

    // More renames than are placed one by one rank the library again; meanwhile one item is
    // renamed once more, one deleted and one added.
    for (int i = 0; i < 300; ++i)
        m_store->items()[size_t(random() % 4040)]->setTitle(someTitle());
    ASSERT_FALSE(start());
    Item *renamed = m_store->items()[7];
    renamed->setTitle(renamed->title().startsWith(u'a') ? u"zz last"_s : u"aa first"_s);
    m_store->remove(m_store->items()[11]);
    m_store->insert(std::make_unique<Item>(ItemType::WebLink, u"Banana 450"_s));
    QTest::qWait(300);
    EXPECT_FALSE(m_arrived) << "made before the changes";
    EXPECT_EQ(patched(), titleOrdered(SortOrder::TitleDescending));

    // A search and a ranking, one after the other, off this thread.
    for (int i = 0; i < 300; ++i)
        m_store->items()[size_t(random() % 4040)]->setTitle(someTitle());
    m_state.setSearchQuery(u"apple"_s);
    ASSERT_FALSE(start());
    ASSERT_TRUE(waitForArrival());
    EXPECT_EQ(*m_arrived, madeAgain());
    EXPECT_GT(m_arrived->size(), 100u);

    for (int i = 0; i < 300; ++i)
        m_store->items()[size_t(random() % 4040)]->setTitle(someTitle());
    m_state.setSearchQuery(QString());
    bool heard = false;
    auto doomed = std::make_unique<LibraryFilter>(m_search);
    doomed->setBackgroundRankingFrom(0);
    EXPECT_FALSE(doomed->shownItemsOrDefer(m_items->records(), m_selection, m_state,
                                           m_now.toMSecsSinceEpoch(), *m_changes,
                                           [&heard](std::vector<Item *>) { heard = true; }));
    doomed.reset();
    QTest::qWait(200);
    EXPECT_FALSE(heard);
}
