#include "TestHttpServer.h"
#include "ViewsTestbed.h"

#include <intake/ItemEnricher.h>
#include <metadata/MetadataService.h>
#include <state/AppState.h>
#include <views/dialogs/BookmarkFlow.h>

#include <QProgressDialog>
#include <QSettings>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::TestHttpServer;

namespace {

class BookmarkFlowTest : public ::testing::Test, protected quillory::test::StoreTestbed
{
protected:
    BookmarkFlowTest()
        : m_state(std::make_unique<QSettings>(m_dir.filePath(u"prefs.ini"_s), QSettings::IniFormat))
    {
        m_state.followStore(*m_store);
        m_enricher = std::make_unique<ItemEnricher>(*m_store, m_metadata);
        m_flow = std::make_unique<BookmarkFlow>(m_state, *m_store, *m_enricher);
        m_window.resize(800, 600);
        m_window.show();
    }

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        return test::writeTestFile(m_dir, name, bytes);
    }

    QByteArray link(const QString &path, const QByteArray &title)
    {
        return "<DT><A HREF=\"" + m_server.url(path).toString().toUtf8() + "\">" + title + "</A>\n";
    }

    Item *itemAt(const QString &path) const
    {
        for (Item *item : m_store->items()) {
            if (item->url() == m_server.url(path))
                return item;
        }
        return nullptr;
    }

    AppState m_state;
    MetadataService m_metadata;
    std::unique_ptr<ItemEnricher> m_enricher;
    std::unique_ptr<BookmarkFlow> m_flow;
    TestHttpServer m_server;
    QWidget m_window;
};

} // namespace

TEST_F(BookmarkFlowTest, ImportsThenFetchesThePagesInTheBackgroundKeepingTheirTitles)
{
    m_server.route(u"/titled"_s, TestHttpServer::Response::html(
                                     "<html><head><title>The page's own title</title>"
                                     "<meta name=\"description\" content=\"About it\"></head>"));
    m_server.route(u"/untitled"_s, TestHttpServer::Response::html(
                                       "<html><head><title>Named by the page</title></head>"));
    const QString file = writeFile(
        u"bookmarks.html"_s, "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n<DT><H3>Web</H3>\n"
                             "<DL><p>\n" +
                                 link(u"/titled"_s, "My own name") + link(u"/untitled"_s, "") +
                                 "</DL><p>\n<HR>\n");
    m_flow->setOpenFileHook([&] { return file; });
    QString summary;
    m_flow->setSheetHook([&](QDialog &dialog) {
        auto &box = dynamic_cast<QMessageBox &>(dialog);
        summary = box.text();
        auto *fetch = box.findChild<QPushButton *>(u"fetchPageDetails"_s);
        ASSERT_NE(fetch, nullptr);
        fetch->click();
    });
    QSignalSpy imported(m_flow.get(), &BookmarkFlow::importEnded);
    QSignalSpy fetched(m_flow.get(), &BookmarkFlow::fetchEnded);
    m_flow->chooseAndImport(m_window);
    ASSERT_TRUE(imported.wait(10000));
    EXPECT_EQ(summary, u"Imported 2 bookmarks into 1 new folder. Skipped 1 entry only a browser "
                       u"uses (separators, scripts, feeds)."_s);

    // The fetching shows its progress without holding the window up, and goes when done.
    ASSERT_TRUE(m_flow->isFetching());
    ASSERT_NE(m_flow->fetchProgress(), nullptr);
    EXPECT_TRUE(m_flow->fetchProgress()->isVisible());
    EXPECT_EQ(m_flow->fetchProgress()->windowModality(), Qt::NonModal);
    ASSERT_TRUE(fetched.count() > 0 || fetched.wait(10000));
    EXPECT_FALSE(m_flow->fetchProgress());

    Item *titled = itemAt(u"/titled"_s);
    ASSERT_NE(titled, nullptr);
    EXPECT_EQ(titled->title(), u"My own name"_s);
    ASSERT_TRUE(titled->metadata());
    EXPECT_EQ(titled->metadata()->description, u"About it"_s);
    ASSERT_NE(itemAt(u"/untitled"_s), nullptr);
    EXPECT_EQ(itemAt(u"/untitled"_s)->title(), u"Named by the page"_s);
}

TEST_F(BookmarkFlowTest, NotNowFetchesNothingAndStopLeavesTheRestUnfetched)
{
    QByteArray links;
    for (int i = 0; i < 40; ++i) {
        const QString path = u"/page%1"_s.arg(i);
        TestHttpServer::Response slow = TestHttpServer::Response::html("<title>Slow</title>");
        slow.firstByteDelayMs = 300;
        m_server.route(path, slow);
        links += link(path, "Page " + QByteArray::number(i));
    }
    const QString file =
        writeFile(u"b.html"_s, "<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><p>" + links);

    m_flow->setSheetHook([](QDialog &dialog) { test::answer(dialog, u"Not Now"_s); });
    QSignalSpy imported(m_flow.get(), &BookmarkFlow::importEnded);
    m_flow->importFile(m_window, file);
    ASSERT_TRUE(imported.wait(10000));
    EXPECT_FALSE(m_flow->isFetching());
    EXPECT_EQ(m_enricher->waitingCount(), 0);
    EXPECT_EQ(m_store->items().size(), 40u);

    m_flow->setSheetHook([](QDialog &dialog) {
        dynamic_cast<QMessageBox &>(dialog)
            .findChild<QPushButton *>(u"fetchPageDetails"_s)
            ->click();
    });
    m_flow->importFile(m_window, file);
    ASSERT_TRUE(imported.wait(10000));
    ASSERT_TRUE(m_flow->isFetching());
    // A few at a time, not forty downloads at once.
    EXPECT_EQ(m_enricher->waitingCount(), 40 - ItemEnricher::maxInFlight);
    QSignalSpy fetched(m_flow.get(), &BookmarkFlow::fetchEnded);
    auto *stop = m_flow->fetchProgress()->findChild<QPushButton *>();
    ASSERT_NE(stop, nullptr);
    EXPECT_EQ(stop->text(), u"Stop"_s);
    stop->click();
    ASSERT_EQ(fetched.count(), 1);
    EXPECT_EQ(m_enricher->waitingCount(), 0);
    EXPECT_FALSE(m_flow->isFetching());
}

TEST_F(BookmarkFlowTest, ExportsToTheChosenFileAndSaysSo)
{
    m_store->insert(
        std::make_unique<Item>(ItemType::WebLink, u"A"_s, QUrl(u"https://a.example/"_s)));
    m_store->insert(
        std::make_unique<Item>(ItemType::WebLink, u"B"_s, QUrl(u"https://b.example/"_s)));
    m_flow->setSaveFileHook([&] { return m_dir.filePath(u"mine"_s); });
    QString summary;
    m_flow->setSheetHook([&](QDialog &dialog) {
        summary = dynamic_cast<QMessageBox &>(dialog).text();
        dialog.close();
    });
    QSignalSpy exported(m_flow.get(), &BookmarkFlow::exportEnded);
    m_flow->chooseAndExport(m_window);
    ASSERT_TRUE(exported.wait(10000));
    EXPECT_EQ(summary, u"Exported 2 bookmarks to mine.html."_s);
    QFile file(m_dir.filePath(u"mine.html"_s));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("<DT><A HREF=\"https://b.example/\""));

    // Cancelling the picker exports nothing.
    m_flow->setSaveFileHook([] { return QString(); });
    m_flow->chooseAndExport(m_window);
    EXPECT_FALSE(m_flow->isExporting());
}

TEST_F(BookmarkFlowTest, AFailureIsReportedAndChangesNothing)
{
    const QString file = writeFile(u"notes.txt"_s, "not bookmarks");
    bool asked = false;
    m_flow->setSheetHook([&](QDialog &) { asked = true; });
    QSignalSpy imported(m_flow.get(), &BookmarkFlow::importEnded);
    m_flow->importFile(m_window, file);
    ASSERT_TRUE(imported.wait(10000));
    EXPECT_FALSE(asked);
    ASSERT_TRUE(m_state.currentError());
    EXPECT_EQ(m_state.currentError()->kind(), AppError::Kind::Import);
    EXPECT_TRUE(m_state.currentError()->errorDescription().contains(u"not a bookmark file"_s));
    EXPECT_TRUE(m_store->items().empty());
    EXPECT_FALSE(m_flow->importProgress());
}

TEST_F(BookmarkFlowTest, ProgressShowsWhileALargeFileIsAddedAndTheWindowStaysUsable)
{
    QByteArray links;
    for (int i = 0; i < 20'000; ++i)
        links += "<DT><A HREF=\"https://site.example/" + QByteArray::number(i) + "\">Page</A>\n";
    const QString file =
        writeFile(u"big.html"_s, "<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><p>" + links);
    m_flow->setProgressDelay(0);
    bool progressUnderSummary = true;
    m_flow->setSheetHook([&](QDialog &dialog) {
        progressUnderSummary = m_flow->importProgress() != nullptr;
        dialog.close();
    });
    QSignalSpy imported(m_flow.get(), &BookmarkFlow::importEnded);
    m_flow->importFile(m_window, file);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return m_flow->importProgress() && m_flow->importProgress()->isVisible(); }, 5000));
    EXPECT_EQ(m_flow->importProgress()->windowTitle(), u"Import Bookmarks"_s);
    ASSERT_TRUE(imported.count() > 0 || imported.wait(30000));
    EXPECT_FALSE(progressUnderSummary);
    EXPECT_EQ(m_store->items().size(), 20'000u);
}
