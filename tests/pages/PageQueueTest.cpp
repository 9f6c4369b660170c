#include <model/Item.h>
#include <model/LibraryStore.h>
#include <pages/PageSchema.h>
#include <pages/PageStore.h>

#include <StoreFiles.h>

#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::execOn;

namespace {

class PageQueueTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        auto library = LibraryStore::open(path(), &error);
        ASSERT_TRUE(library) << qPrintable(error);
        ASSERT_TRUE(library->save(&error)) << qPrintable(error);
        for (int i = 0; i < 8; ++i)
            m_ids.push_back(QUuid::createUuid());
    }

    QString path() const { return m_dir.filePath(u"default.store"_s); }

    std::unique_ptr<PageStore> openPages()
    {
        StoreFailure failure;
        auto pages = PageStore::open(path(), &failure);
        EXPECT_TRUE(pages) << qPrintable(failure.message);
        return pages;
    }

    std::vector<PageQueue::Entry> entries(std::initializer_list<std::pair<int, const char *>> list)
    {
        std::vector<PageQueue::Entry> made;
        for (const auto &[index, host] : list)
            made.push_back({m_ids[size_t(index)], QString::fromLatin1(host)});
        return made;
    }

    QList<int> indexes(const std::vector<QueuedPage> &pages) const
    {
        QList<int> found;
        for (const QueuedPage &page : pages)
            found.append(int(std::find(m_ids.begin(), m_ids.end(), page.itemId) - m_ids.begin()));
        return found;
    }

    QTemporaryDir m_dir;
    std::vector<QUuid> m_ids;
};

KeptCopy someCopy()
{
    return KeptCopy{
        1'700'000'000'000, u"https://a.example/"_s, 200, "<p>Words</p>", u"Words"_s, {}};
}

} // namespace

TEST_F(PageQueueTest, KeepsOrderPicksFewPerSiteAndCountsTheRun)
{
    auto pages = openPages();
    ASSERT_TRUE(pages);
    PageQueue &queue = pages->queue();
    ASSERT_TRUE(pages->keep(m_ids[5], someCopy()));
    ASSERT_TRUE(queue.add(entries({{0, "a"}, {1, "a"}, {2, "a"}, {3, "b"}, {4, "c"}, {5, "c"}}),
                          PageTask::Keep, true));
    QueueProgress p = *queue.progress();
    EXPECT_EQ(p.waiting, 5) << "the page with a copy is left out";
    EXPECT_EQ(p.total, 5);
    EXPECT_FALSE(p.checking);

    // Asked again, nothing doubles; a check takes over a waiting keep and keeps its place.
    ASSERT_TRUE(queue.add(entries({{0, "a"}, {5, "c"}}), PageTask::Check, false));
    p = *queue.progress();
    EXPECT_EQ(p.waiting, 6);
    EXPECT_EQ(p.total, 6);
    EXPECT_TRUE(p.checking);

    auto next = queue.next(10, 2, {}, {});
    ASSERT_TRUE(next);
    EXPECT_EQ(indexes(*next), (QList<int>{0, 1, 3, 4, 5}));
    EXPECT_EQ((*next)[0].task, PageTask::Check);
    EXPECT_EQ((*next)[1].task, PageTask::Keep);
    EXPECT_TRUE((*next)[4].hasCopy);
    EXPECT_EQ(indexes(*queue.next(10, 1, {u"a"_s}, {m_ids[4]})), (QList<int>{3, 5}));
    EXPECT_EQ(indexes(*queue.next(2, 1, {}, {})), (QList<int>{0, 3}));

    ASSERT_TRUE(queue.finish(m_ids[0]));
    ASSERT_TRUE(queue.finish(m_ids[0])) << "twice counts once";
    p = *queue.progress();
    EXPECT_EQ(p.done, 1);
    EXPECT_EQ(p.waiting, 5);
    for (int i : {1, 2, 3, 4})
        ASSERT_TRUE(queue.finish(m_ids[size_t(i)]));
    EXPECT_EQ(queue.progress()->done, 5);
    ASSERT_TRUE(queue.finish(m_ids[5]));
    EXPECT_EQ(*queue.progress(), QueueProgress{}) << "an empty list ends the run";

    // Pausing and what was asked for once are remembered by the file.
    ASSERT_TRUE(queue.add(entries({{6, "d"}, {7, "d"}}), PageTask::Keep, true));
    ASSERT_TRUE(queue.setPaused(true));
    ASSERT_TRUE(queue.setSeeded());
    pages.reset();
    pages = openPages();
    ASSERT_TRUE(pages);
    p = *pages->queue().progress();
    EXPECT_TRUE(p.paused);
    EXPECT_TRUE(p.seeded);
    EXPECT_EQ(p.waiting, 2);
    EXPECT_EQ(p.total, 2);

    // Removing every copy takes the pages waiting only to be kept off the list.
    ASSERT_TRUE(pages->queue().add(entries({{0, "a"}}), PageTask::Check, false));
    ASSERT_TRUE(pages->removeAll());
    EXPECT_EQ(indexes(*pages->queue().next(10, 5, {}, {})), QList<int>{0});

    ASSERT_TRUE(pages->queue().clear());
    p = *pages->queue().progress();
    EXPECT_EQ(p.waiting, 0);
    EXPECT_FALSE(p.paused);
    EXPECT_TRUE(p.seeded);
}

TEST_F(PageQueueTest, UpgradesAnOlderFileAndRefusesAForeignList)
{
    const QUuid kept = m_ids[0];
    {
        auto pages = openPages();
        ASSERT_TRUE(pages);
        ASSERT_TRUE(pages->keep(kept, someCopy()));
    }
    const QString clean = m_dir.filePath(u"clean.store"_s);
    execOn(path(), u"VACUUM INTO '%1'"_s.arg(clean));
    // The file as the first version left it: its tables, without the waiting list and the
    // copies' declared types.
    execOn(path(), u"DROP TABLE page_queue; ALTER TABLE page_copies DROP COLUMN content_type;"
                   " UPDATE page_info SET value = '1' WHERE key = 'version'"_s);
    {
        auto pages = openPages();
        ASSERT_TRUE(pages);
        EXPECT_TRUE(pages->read(kept)) << "copies survive the upgrade";
        ASSERT_TRUE(pages->queue().add(entries({{1, "a"}}), PageTask::Keep, true));
        EXPECT_EQ(pages->queue().progress()->waiting, 1);
    }
    sqlite3 *db = nullptr;
    sqlite3_open(path().toUtf8().constData(), &db);
    sqlite3_stmt *s = nullptr;
    sqlite3_prepare_v2(db, "SELECT value FROM page_info WHERE key = 'version'", -1, &s, nullptr);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(s, 0))),
              QByteArray::number(PageSchema::version));
    sqlite3_finalize(s);
    sqlite3_close(db);

    const QStringList hostile = {
        // An older file that already holds a list: not what that version made.
        u"UPDATE page_info SET value = '1' WHERE key = 'version'"_s,
        u"ALTER TABLE page_queue ADD COLUMN extra TEXT"_s,
        u"DROP TABLE page_queue; CREATE TABLE page_queue(seq INTEGER PRIMARY KEY,"
        " item_id TEXT NOT NULL, host TEXT NOT NULL, task INTEGER NOT NULL)"_s,
    };
    for (const QString &sql : hostile) {
        SCOPED_TRACE(sql.toStdString());
        for (const QString &suffix : {u""_s, u"-wal"_s, u"-shm"_s})
            QFile::remove(path() + suffix);
        ASSERT_TRUE(QFile::copy(clean, path()));
        execOn(path(), sql);
        StoreFailure failure;
        EXPECT_FALSE(PageStore::open(path(), &failure));
        EXPECT_FALSE(failure.message.isEmpty());
        QString error;
        EXPECT_TRUE(LibraryStore::open(path(), &error)) << qPrintable(error);
    }

    // Counts from elsewhere that are no numbers, or absurd, read as nothing done.
    for (const QString &suffix : {u""_s, u"-wal"_s, u"-shm"_s})
        QFile::remove(path() + suffix);
    ASSERT_TRUE(QFile::copy(clean, path()));
    execOn(path(), u"INSERT OR REPLACE INTO page_info VALUES('queue_done', '-7'),"
                   " ('queue_total', 'lots'), ('queue_paused', x'00ff')"_s);
    auto pages = openPages();
    ASSERT_TRUE(pages);
    const QueueProgress p = *pages->queue().progress();
    EXPECT_EQ(p.done, 0);
    EXPECT_EQ(p.total, 0);
    EXPECT_FALSE(p.paused);
}
