#include <model/Clock.h>
#include <model/Folder.h>
#include <model/Item.h>
#include <model/LibraryStore.h>
#include <model/SmartFolder.h>
#include <model/Tag.h>
#include <state/LibraryCounts.h>

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

class LibraryCountsTest : public ::testing::Test
{
protected:
    LibraryCountsTest()
    {
        Clock::setSource([this] { return m_now; });
        QString error;
        m_store = LibraryStore::open(m_dir.filePath(u"counts.store"_s), &error);
        if (m_store)
            m_counts = std::make_unique<LibraryCounts>(*m_store);
    }
    ~LibraryCountsTest() override { Clock::setSource({}); }

    // What the sidebar must show, counted the slow way from the records themselves.
    void expectCountsOfTheLibrary(const std::string &after)
    {
        m_counts->update(m_now.toMSecsSinceEpoch());
        const qint64 cutoff = SmartFolder::cutoff(m_now).toMSecsSinceEpoch();
        for (SmartFolder folder : SmartFolder::allCases()) {
            const auto expected =
                std::count_if(m_store->items().cbegin(), m_store->items().cend(),
                              [&](const Item *item) { return folder.contains(*item, cutoff); });
            ASSERT_EQ(m_counts->smartFolderCounts()[size_t(folder)], int(expected))
                << folder.rawValue().toStdString() << " after " << after;
        }
        for (const Tag *tag : m_store->tags())
            ASSERT_EQ(m_counts->tagCount(*tag), tag->itemCount())
                << tag->name().toStdString() << " after " << after;
    }

    QDateTime m_now = QDateTime(QDate(2026, 3, 20), QTime(12, 0), Qt::UTC);
    QTemporaryDir m_dir;
    std::unique_ptr<LibraryStore> m_store;
    std::unique_ptr<LibraryCounts> m_counts;
};

TEST_F(LibraryCountsTest, FollowRandomChangesAsACountFromScratchWould)
{
    ASSERT_TRUE(m_store);
    std::mt19937 random(20261208);
    const auto chance = [&random](int percent) { return int(random() % 100) < percent; };
    const auto any = [&random](const auto &records) {
        return records.empty() ? nullptr : records[random() % records.size()];
    };
    const auto someTime = [&] { return m_now.addSecs(-qint64(random() % (14 * 24 * 3600))); };

    m_store->insert(std::make_unique<Tag>(u"first"_s, QColor(Qt::red)));
    m_store->insert(std::make_unique<Folder>(u"Work"_s, u"folder"_s, QColor(Qt::blue)));
    expectCountsOfTheLibrary("an empty library");
    for (int step = 0; step < 1500; ++step) {
        std::string what;
        Item *item = any(m_store->items());
        const int kind = int(random() % 13);
        if (kind <= 2 || item == nullptr) {
            what = "insert";
            auto made = std::make_unique<Item>(ItemType::WebLink, u"Item %1"_s.arg(step));
            made->setCreatedAt(someTime());
            if (chance(40))
                made->setAccessedAt(someTime());
            made->setFavorite(chance(30));
            made->setArchived(chance(20));
            if (chance(60))
                made->addTag(any(m_store->tags()));
            if (chance(50))
                made->moveToFolder(any(m_store->folders()));
            m_store->insert(std::move(made));
        } else if (kind == 3) {
            what = "remove";
            m_store->remove(item);
        } else if (kind == 4) {
            what = "archive";
            item->toggleArchive();
        } else if (kind == 5) {
            what = "favourite";
            item->setFavorite(!item->isFavorite());
        } else if (kind == 6) {
            what = "view";
            item->setAccessedAt(chance(80) ? std::optional(someTime()) : std::nullopt);
        } else if (kind == 7) {
            what = "tag";
            if (chance(50) || item->tags().isEmpty())
                item->addTag(any(m_store->tags()));
            else
                item->removeTag(*item->tags().first());
        } else if (kind == 8) {
            what = "file";
            item->moveToFolder(chance(70) ? any(m_store->folders()) : nullptr);
        } else if (kind == 9) {
            what = "time passes";
            m_now = m_now.addSecs(qint64(random() % (2 * 24 * 3600)));
        } else if (kind == 10) {
            what = "clock set back";
            m_now = m_now.addSecs(-qint64(random() % (24 * 3600)));
        } else if (kind == 11) {
            what = "new tag or folder";
            if (chance(50))
                m_store->insert(std::make_unique<Tag>(u"tag %1"_s.arg(step), QColor(Qt::green)));
            else
                m_store->insert(
                    std::make_unique<Folder>(u"folder %1"_s.arg(step), u"folder"_s, QColor()));
        } else {
            what = "delete a tag or folder";
            if (chance(50) && m_store->tags().size() > 1)
                m_store->remove(any(m_store->tags()));
            else if (m_store->folders().size() > 1)
                m_store->remove(any(m_store->folders()));
        }
        // Several changes often land before the window asks again.
        if (chance(60))
            expectCountsOfTheLibrary(what + " at step " + std::to_string(step));
    }
    expectCountsOfTheLibrary("the last step");
}

TEST_F(LibraryCountsTest, CountALibraryThatWasThereBeforeThem)
{
    ASSERT_TRUE(m_store);
    m_counts.reset();
    Tag *tag = m_store->insert(std::make_unique<Tag>(u"kept"_s, QColor(Qt::red)));
    for (int i = 0; i < 5; ++i) {
        auto item = std::make_unique<Item>(ItemType::WebLink, u"Page %1"_s.arg(i));
        item->addTag(tag);
        item->setArchived(i == 0);
        m_store->insert(std::move(item));
    }
    m_counts = std::make_unique<LibraryCounts>(*m_store);
    expectCountsOfTheLibrary("opening");
    EXPECT_EQ(m_counts->tagCount(*tag), 4);
    EXPECT_EQ(m_counts->smartFolderCounts()[SmartFolder::Archived], 1);
    EXPECT_EQ(m_counts->smartFolderCounts()[SmartFolder::RecentlyAdded], 4);
    // A week later nothing is recent any more, without any record changing.
    m_now = m_now.addDays(8);
    expectCountsOfTheLibrary("a week passing");
    EXPECT_EQ(m_counts->smartFolderCounts()[SmartFolder::RecentlyAdded], 0);
}

} // namespace
