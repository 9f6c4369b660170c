#include "TestHttpServer.h"
#include "ViewsTestbed.h"

#include <views/dialogs/BrokenLinksModel.h>
#include <views/dialogs/BrokenLinksWindow.h>
#include <views/dialogs/KeepingFlow.h>
#include <views/dialogs/KeepingProgressWindow.h>

#include <keeping/KeepingQueue.h>
#include <metadata/MetadataService.h>
#include <model/Clock.h>
#include <pages/KeptPages.h>
#include <pages/PageStore.h>

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QTreeView>

using namespace quillory;
using namespace quillory::test;
using namespace Qt::StringLiterals;

namespace {

class KeepingWindowsTest : public ::testing::Test, protected StoreTestbed
{
protected:
    void TearDown() override
    {
        m_queue.reset();
        m_pages.reset();
        Clock::setSource({});
    }

    QString storePath() const { return m_dir.filePath(u"library.store"_s); }

    Item *link(const QString &title, const QUrl &url)
    {
        return m_store->insert(std::make_unique<Item>(ItemType::WebLink, title, url));
    }

    void startQueue()
    {
        QString error;
        ASSERT_TRUE(m_store->save(&error)) << qPrintable(error);
        m_pages = std::make_unique<KeptPages>(storePath());
        m_queue = std::make_unique<KeepingQueue>(storePath(), *m_store, *m_pages, m_metadata);
        ASSERT_EVENTUALLY(m_queue->isLoaded(), 5000);
    }

    MetadataService m_metadata;
    std::unique_ptr<KeptPages> m_pages;
    std::unique_ptr<KeepingQueue> m_queue;
};

} // namespace

TEST_F(KeepingWindowsTest, TheProgressWindowCountsPausesStopsAndMayBeClosed)
{
    TestHttpServer site;
    for (int i = 0; i < 3; ++i) {
        TestHttpServer::Response page = TestHttpServer::Response::html("<p>Some words.</p>");
        page.firstByteDelayMs = 300;
        site.route(u"/%1"_s.arg(i), page);
        link(u"Page %1"_s.arg(i), site.url(u"/%1"_s.arg(i)));
    }
    startQueue();
    KeepingProgressWindow window(*m_queue);
    window.show();
    EXPECT_EQ(window.headline(), u"No pages are waiting"_s);
    ASSERT_TRUE(window.keepMissingButton()->isVisible());
    EXPECT_FALSE(window.pauseButton()->isEnabled());

    QTest::mouseClick(window.keepMissingButton(), Qt::LeftButton);
    ASSERT_EVENTUALLY(window.headline() == u"Keeping pages: 0 of 3"_s, 5000);
    EXPECT_FALSE(window.keepMissingButton()->isVisible());
    QTest::mouseClick(window.pauseButton(), Qt::LeftButton);
    EXPECT_EQ(window.pauseButton()->text(), u"Resume"_s);
    EXPECT_TRUE(window.status().startsWith(u"Paused."_s));
    EXPECT_TRUE(m_queue->progress().paused);
    QTest::mouseClick(window.pauseButton(), Qt::LeftButton);
    EXPECT_EQ(window.pauseButton()->text(), u"Pause"_s);
    ASSERT_EVENTUALLY(window.headline() == u"Keeping pages: 1 of 3"_s, 5000);

    // Stop asks first; cancelled, nothing changes.
    QString asked;
    window.setSheetHook([&](QDialog &box) {
        asked = static_cast<QMessageBox &>(box).informativeText();
        answer(box, u"Cancel"_s);
    });
    QTest::mouseClick(window.stopButton(), Qt::LeftButton);
    EXPECT_EQ(asked, u"2 pages still waiting will not be fetched. The copies already kept stay."_s);
    EXPECT_EQ(m_queue->progress().waiting, 2);
    window.setSheetHook([](QDialog &box) { answer(box, u"Stop"_s); });
    QTest::mouseClick(window.stopButton(), Qt::LeftButton);
    ASSERT_EVENTUALLY(window.headline() == u"No pages are waiting"_s, 5000);
    EXPECT_EQ(m_queue->progress().waiting, 0);

    // Closed while it runs, the pages are kept all the same.
    QTest::mouseClick(window.keepMissingButton(), Qt::LeftButton);
    ASSERT_EVENTUALLY(m_queue->progress().waiting > 0, 5000);
    window.close();
    ASSERT_EVENTUALLY(m_queue->progress().waiting == 0 && m_queue->inFlight() == 0, 10000);
    EXPECT_EQ(site.totalHits(), 4);
}

TEST_F(KeepingWindowsTest, BrokenLinksListsWhatDiedAndOpensIt)
{
    qint64 now = 1'750'000'000'000;
    Clock::setSource([&now] { return QDateTime::fromMSecsSinceEpoch(now, Qt::UTC); });
    Item *dead = link(u"A page that died"_s, QUrl(u"https://gone.example/article"_s));
    Item *away = link(u"Away for a moment"_s, QUrl(u"https://away.example/"_s));
    Item *lost = link(u"Lost without a copy"_s, QUrl(u"https://lost.example/"_s));
    QString error;
    ASSERT_TRUE(m_store->save(&error));
    const qint64 aliveAt = now;
    {
        StoreFailure failure;
        auto pages = PageStore::open(storePath(), &failure);
        ASSERT_TRUE(pages) << qPrintable(failure.message);
        ASSERT_TRUE(pages->keep(dead->id(), {now,
                                             u"https://gone.example/article"_s,
                                             200,
                                             "<p>What it said.</p>",
                                             u"What it said."_s,
                                             {}}));
        pages->recordAnswer(dead->id(), 200);
        now += 1000;
        pages->recordAnswer(dead->id(), 404);
        pages->recordAnswer(away->id(), 404);
        pages->recordAnswer(lost->id(), FetchAnswer::HostNotFound);
        now += 25 * 60 * 60 * 1000;
        pages->recordAnswer(dead->id(), 410);
        pages->recordAnswer(lost->id(), FetchAnswer::HostNotFound);
    }
    m_pages = std::make_unique<KeptPages>(storePath());
    QList<QUuid> opened;
    QList<QUuid> read;
    BrokenLinksWindow window(
        *m_store, *m_pages, nullptr, [&](const QUuid &id) { opened.append(id); },
        [&](const QUuid &id) { read.append(id); });
    QAbstractItemModelTester tester(&window.model(),
                                    QAbstractItemModelTester::FailureReportingMode::Warning);
    window.show();
    ASSERT_EVENTUALLY(!window.isRefreshing(), 5000);
    QTreeView &list = *window.list();
    ASSERT_EQ(list.model()->rowCount(), 2) << "gone once is not broken";
    const auto cell = [&](int row, int column) {
        return list.model()->index(row, column).data().toString();
    };
    EXPECT_EQ(cell(0, BrokenLinksModel::Title), u"A page that died"_s);
    EXPECT_EQ(cell(0, BrokenLinksModel::Address), u"https://gone.example/article"_s);
    EXPECT_EQ(
        cell(0, BrokenLinksModel::LastSeen),
        QLocale().toString(QDateTime::fromMSecsSinceEpoch(aliveAt).date(), QLocale::ShortFormat));
    EXPECT_EQ(cell(0, BrokenLinksModel::Copy), u"Kept"_s);
    EXPECT_EQ(cell(1, BrokenLinksModel::Title), u"Lost without a copy"_s);
    EXPECT_EQ(cell(1, BrokenLinksModel::LastSeen), u"Never"_s);
    EXPECT_EQ(cell(1, BrokenLinksModel::Copy), u"None"_s);
    EXPECT_TRUE(window.summary().startsWith(u"2 links answered"_s));

    QAbstractButton *readButton = buttonLabelled(window, u"Read Kept Copy"_s);
    ASSERT_NE(readButton, nullptr);
    EXPECT_FALSE(readButton->isEnabled()) << "nothing chosen yet";
    const QRect second = list.visualRect(list.model()->index(1, 0));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_FALSE(readButton->isEnabled()) << "no copy to read";
    const QRect first = list.visualRect(list.model()->index(0, 0));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, first.center());
    ASSERT_TRUE(readButton->isEnabled());
    QTest::mouseClick(readButton, Qt::LeftButton);
    EXPECT_EQ(read, QList<QUuid>{dead->id()});
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, first.center());
    EXPECT_EQ(opened, QList<QUuid>{dead->id()});

    // An item deleted leaves the list.
    const QUuid lostId = lost->id();
    m_store->remove(lost);
    ASSERT_EVENTUALLY(list.model()->rowCount() == 1, 5000);
    EXPECT_NE(window.model().itemAt(0), lostId);
}
