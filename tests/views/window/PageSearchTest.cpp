#include "TestHttpServer.h"
#include "ViewsTestbed.h"
#include "WindowTestbed.h"

#include <model/Clock.h>
#include <pages/KeptPages.h>
#include <views/window/ContentColumn.h>
#include <views/window/ContentHeader.h>
#include <views/window/ItemGridView.h>
#include <views/window/ItemListModel.h>
#include <views/window/Sidebar.h>

#include <QDir>
#include <QElapsedTimer>
#include <QNetworkProxyFactory>
#include <QScrollBar>
#include <QSignalSpy>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::TestHttpServer;
using quillory::test::WindowTestbed;

namespace {

// Enrichment asks about every address added; a proxy that refuses every connection keeps
// any request but the test server's from leaving the machine.
class LocalOnlyProxies final : public QNetworkProxyFactory
{
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override
    {
        if (query.peerHostName() == u"127.0.0.1"_s)
            return {QNetworkProxy::NoProxy};
        return {QNetworkProxy(QNetworkProxy::HttpProxy, u"127.0.0.1"_s, 9)};
    }
};

class PageSearchTest : public ::testing::Test, protected WindowTestbed
{
protected:
    PageSearchTest() : m_pages(std::make_unique<KeptPages>(m_store->filePath()))
    {
        m_window->setKeptPages(m_pages.get());
        m_window->resize(1100, 700);
        m_window->show();
    }
    ~PageSearchTest() override
    {
        // The window and the enricher use the pages, which must outlive them.
        m_window.reset();
        m_intake.reset();
        m_enricher.reset();
    }

    Item *item(const QString &title, Folder *folder = nullptr)
    {
        auto made = std::make_unique<Item>(
            ItemType::WebLink, title,
            QUrl(u"https://example.com/"_s + title.toLower().remove(u' ')), std::nullopt, folder);
        return m_store->insert(std::move(made));
    }
    // An item whose kept page says `body`.
    Item *keptItem(const QString &title, const QString &body, Folder *folder = nullptr)
    {
        Item *i = item(title, folder);
        keep(*i, body);
        return i;
    }
    void keep(const Item &i, const QString &body)
    {
        ServedCopy served;
        served.fetchedAt = Clock::nowMSecs();
        served.finalUrl = *i.urlString();
        served.httpStatus = 200;
        served.page = "<html><head><title>" + i.title().toUtf8() +
                      "</title></head><body><article><p>" + body.toHtmlEscaped().toUtf8() +
                      "</p></article></body></html>";
        served.contentType = "text/html; charset=utf-8";
        QSignalSpy kept(m_pages.get(), &KeptPages::kept);
        m_pages->keep(i.id(), served);
        ASSERT_TRUE(kept.wait(10000)) << i.title().toStdString();
    }

    // Types the query into the search field as a person does, replacing what was there.
    void type(const QString &query)
    {
        QLineEdit *field = m_window->sidebar().searchField();
        field->clear();
        QTest::keyClicks(field, query);
    }
    QStringList titles() const
    {
        QStringList titles;
        for (const Item *i : model().items())
            titles << i->title();
        return titles;
    }
    // Waits for the rows found in kept pages to arrive after the list's own.
    bool waitForSnippets(int rows)
    {
        return quillory::test::eventually([&] { return snippetRows() == rows; }, 10000);
    }
    int snippetRows() const
    {
        int rows = 0;
        for (const Item *i : model().items())
            rows += model().hasSnippet(i);
        return rows;
    }
    QString snippetOf(const Item *i) const
    {
        return model().index(model().rowOf(i)).data(ItemListModel::SnippetRole).toString();
    }
    QList<std::pair<qsizetype, qsizetype>> marksOf(const Item *i) const
    {
        return model()
            .index(model().rowOf(i))
            .data(ItemListModel::SnippetMarksRole)
            .value<QList<std::pair<qsizetype, qsizetype>>>();
    }
    QStringList markedWords(const Item *i) const
    {
        QStringList words;
        const QString snippet = snippetOf(i);
        for (const auto &[start, length] : marksOf(i))
            words << snippet.mid(start, length);
        return words;
    }
    // Paints the window as a person would see it; saved as a picture where asked for.
    QImage look(const char *name) const
    {
        const QImage image = m_window->grab().toImage();
        const QString folder = qEnvironmentVariable("QUILLORY_SCREENSHOT_DIR");
        if (!folder.isEmpty())
            image.save(QDir(folder).filePath(QString::fromLatin1(name) + u".png"_s));
        return image;
    }
    ItemGridView &view() const { return *m_window->content().view(); }
    const ItemListModel &model() const { return m_window->content().model(); }
    QString countText() const { return m_window->content().header().countText(); }

    std::unique_ptr<KeptPages> m_pages;
};

} // namespace

TEST_F(PageSearchTest, AWordOnlyAPageHoldsIsFoundBelowTheTitleMatchesWithItsSnippet)
{
    QNetworkProxyFactory::setApplicationProxyFactory(new LocalOnlyProxies);
    m_enricher->setKeptPages(m_pages.get(), true);
    TestHttpServer server;
    server.route(u"/notes"_s, TestHttpServer::Response::html(R"(<html><head>
        <title>Weekend notes</title></head><body><nav>Home About</nav><article>
        <h1>Weekend notes</h1>
        <p>We spent Saturday in the allotment. The clay was hard going until we borrowed
        a narrow trowel from the neighbours, which made planting the leeks quick work.</p>
        <p>Sunday was for the compost heap and a long lunch.</p></article>
        <footer>Copyright</footer></body></html>)"));
    QSignalSpy kept(m_pages.get(), &KeptPages::kept);
    m_intake->createItem(server.url(u"/notes"_s));
    ASSERT_TRUE(kept.wait(10000));
    Item *notes = m_store->items().front();
    ASSERT_EQ(notes->title(), u"Weekend notes"_s);
    Item *titled = item(u"Trowel reviews"_s);
    Item *both = keptItem(u"Trowel care"_s, u"Oil the trowel after every use."_s);
    keptItem(u"Recipes"_s, u"Leek and potato soup."_s);
    m_state.setViewMode(ViewMode::List);

    type(u"trowel"_s);
    m_window->refreshNow();
    ASSERT_TRUE(waitForSnippets(1));
    // The list's own matches first, in their order, then the page's; an item found both ways
    // is listed once, as a title match.
    ASSERT_EQ(titles().size(), 3);
    EXPECT_EQ(titles().last(), u"Weekend notes"_s);
    EXPECT_TRUE(titles().startsWith(titled->title()) || titles().startsWith(both->title()));
    EXPECT_FALSE(model().hasSnippet(titled));
    EXPECT_FALSE(model().hasSnippet(both));
    EXPECT_EQ(countText(), u"3 items"_s);
    const QString snippet = snippetOf(notes);
    EXPECT_TRUE(snippet.contains(u"borrowed a narrow trowel from"_s)) << snippet.toStdString();
    EXPECT_FALSE(snippet.contains(u'\n'));
    EXPECT_EQ(markedWords(notes), QStringList{u"trowel"_s});
    EXPECT_EQ(model().index(model().rowOf(notes)).data(Qt::AccessibleDescriptionRole).toString(),
              snippet);
    // Painted in rows and in cards, selected or not.
    look("page-matches-rows");
    view().setCurrentIndex(model().index(model().rowOf(notes)));
    EXPECT_EQ(m_window->selectedItem(), notes);
    m_state.setViewMode(ViewMode::Grid);
    look("page-matches-cards");

    // Case and spaces do not make another query: the matches stay without a moment's gap.
    QSignalSpy resets(&model(), &QAbstractItemModel::modelReset);
    type(u"Trowel "_s);
    m_window->refreshNow();
    EXPECT_EQ(snippetRows(), 1);
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(m_window->selectedItem(), notes);
    QNetworkProxyFactory::setApplicationProxyFactory(nullptr);
}

TEST_F(PageSearchTest, PageMatchesArriveWithoutMovingWhatTheUserLooksAt)
{
    for (int i = 0; i < 120; ++i)
        item(QStringLiteral("garden %1").arg(i, 3, 10, QLatin1Char('0')));
    for (int i = 0; i < 3; ++i)
        keptItem(QStringLiteral("Kept %1").arg(i), u"A walled garden in the rain."_s);
    m_state.setViewMode(ViewMode::List);
    m_state.setSortOrder(SortOrder::TitleAscending);

    type(u"garden"_s);
    m_window->refreshNow();
    // The instant list is there; the pages have not answered yet.
    ASSERT_EQ(titles().size(), 120);
    EXPECT_EQ(countText(), u"120 items"_s);
    Item *chosen = model().itemAt(60);
    view().setCurrentIndex(model().index(60));
    view().scrollTo(model().index(60), QAbstractItemView::PositionAtCenter);
    QScrollBar *bar = view().verticalScrollBar();
    const int scrolled = bar->value();
    ASSERT_GT(scrolled, 0);
    std::vector<int> moves;
    QObject::connect(bar, &QScrollBar::valueChanged, [&moves](int v) { moves.push_back(v); });
    QSignalSpy resets(&model(), &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&model(), &QAbstractItemModel::rowsInserted);

    ASSERT_TRUE(waitForSnippets(3));
    const auto expectKept = [&](const char *after) {
        EXPECT_EQ(titles().size(), 123) << after;
        EXPECT_EQ(countText(), u"123 items"_s) << after;
        EXPECT_EQ(resets.count(), 0) << after;
        EXPECT_EQ(bar->value(), scrolled) << after;
        EXPECT_EQ(moves, std::vector<int>{}) << after;
        EXPECT_EQ(model().itemAt(view().currentIndex().row()), chosen) << after;
        EXPECT_TRUE(view().selectionModel()->isRowSelected(model().rowOf(chosen))) << after;
        EXPECT_EQ(m_window->selectedItem(), chosen) << after;
    };
    expectKept("the pages answering");
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted.first().at(1).toInt(), 120) << "appended after the list's own";
    // Equal ranks keep no particular order, but all three follow the list's own.
    QStringList appended = titles().mid(120);
    appended.sort();
    EXPECT_EQ(appended, (QStringList{u"Kept 0"_s, u"Kept 1"_s, u"Kept 2"_s}));

    // Refreshes for the same query have the matches at once.
    model().itemAt(10)->setTitle(u"garden 010 renamed"_s);
    m_window->refreshNow();
    EXPECT_EQ(snippetRows(), 3);
    expectKept("renaming a title match");
    item(u"garden 999"_s);
    m_window->refreshNow();
    EXPECT_EQ(snippetRows(), 3);
    EXPECT_EQ(titles().size(), 124);
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(bar->value(), scrolled);
    EXPECT_EQ(m_window->selectedItem(), chosen);
}

TEST_F(PageSearchTest, OnlyWhatTheSidebarAndTheFiltersShowIsAppended)
{
    Folder *projects =
        m_store->insert(std::make_unique<Folder>(u"Projects"_s, u"folder"_s, QColor(), nullptr));
    Item *inFolder = keptItem(u"Shed plans"_s, u"Timber for the potting shed."_s, projects);
    Item *outside = keptItem(u"Neighbour's shed"_s, u"Their potting shed has a green door."_s);
    Item *archived = keptItem(u"Old shed"_s, u"The potting shed we took down."_s);
    archived->setArchived(true);
    Tag *wood = m_store->insert(std::make_unique<Tag>(u"wood"_s, QColor()));
    inFolder->addTag(wood);

    type(u"potting"_s);
    m_window->refreshNow();
    ASSERT_TRUE(waitForSnippets(2));
    EXPECT_TRUE(model().hasSnippet(inFolder));
    EXPECT_TRUE(model().hasSnippet(outside));
    EXPECT_EQ(model().rowOf(archived), -1) << "the archive is not in All Items";

    m_window->chooseFolder(projects, true);
    m_window->refreshNow();
    EXPECT_EQ(titles(), QStringList{u"Shed plans"_s});
    EXPECT_EQ(countText(), u"1 item"_s);

    m_window->chooseSmartFolder(SmartFolder::Archived);
    m_window->refreshNow();
    EXPECT_EQ(titles(), QStringList{u"Old shed"_s});

    m_window->chooseSmartFolder(SmartFolder::AllItems);
    m_window->toggleFilterTag(wood);
    m_window->refreshNow();
    EXPECT_EQ(titles(), QStringList{u"Shed plans"_s});
    m_window->toggleFilterTag(wood);
    m_state.setShowFavoritesOnly(true);
    m_window->refreshNow();
    EXPECT_TRUE(m_window->content().isShowingEmptyState());
    outside->toggleFavorite();
    m_window->refreshNow();
    EXPECT_EQ(titles(), QStringList{u"Neighbour's shed"_s});
}

TEST_F(PageSearchTest, ANewQueryDropsTheMatchesAndADeletedItemLeavesTheList)
{
    keptItem(u"Shed plans"_s, u"Timber for the potting shed."_s);
    Item *soup = keptItem(u"Recipes"_s, u"Leek and potato soup."_s);
    item(u"Potato varieties"_s);

    type(u"timber"_s);
    m_window->refreshNow();
    ASSERT_TRUE(waitForSnippets(1));
    EXPECT_EQ(titles(), QStringList{u"Shed plans"_s});
    EXPECT_FALSE(m_window->content().isShowingEmptyState())
        << "a list found only in pages is shown, not \"No Results\"";

    type(u"potato"_s);
    m_window->refreshNow();
    EXPECT_EQ(titles(), QStringList{u"Potato varieties"_s}) << "the old query's match is gone";
    ASSERT_TRUE(waitForSnippets(1));
    EXPECT_EQ(titles(), (QStringList{u"Potato varieties"_s, u"Recipes"_s}));
    EXPECT_EQ(markedWords(soup), QStringList{u"potato"_s});

    // Every word must be in the page.
    type(u"potato timber"_s);
    m_window->refreshNow();
    QTest::qWait(200);
    EXPECT_EQ(snippetRows(), 0);

    type(u"soup"_s);
    m_window->refreshNow();
    ASSERT_TRUE(waitForSnippets(1));
    view().setCurrentIndex(model().index(model().rowOf(soup)));
    ASSERT_EQ(m_window->selectedItem(), soup);
    m_store->remove(soup);
    EXPECT_EQ(model().rowOf(soup), -1);
    EXPECT_EQ(m_window->selectedItem(), nullptr);
    m_window->refreshNow();
    EXPECT_TRUE(m_window->content().isShowingEmptyState());
    // The copy leaves with the item, and the pages are asked again: nothing comes back.
    QTest::qWait(PageMatches::againAfterMs + 300);
    EXPECT_TRUE(m_window->content().isShowingEmptyState());
}

TEST_F(PageSearchTest, AHostilePageGivesAShortSnippetOnOneLine)
{
    // One endless word on either side of the match, and every kind of line break.
    const QString endless(100000, u'x');
    Item *hostile = keptItem(u"Strange page"_s, endless + u" before\tthe\r\nmarigold\u2028word "_s +
                                                    endless + u" marigold"_s);
    m_state.setViewMode(ViewMode::List);
    type(u"marigold"_s);
    m_window->refreshNow();
    ASSERT_TRUE(waitForSnippets(1));
    const QString snippet = snippetOf(hostile);
    EXPECT_LE(snippet.size(), PageMatches::snippetLimit + 2);
    for (const QChar c : snippet)
        EXPECT_FALSE(c.category() == QChar::Other_Control || c == QChar::LineSeparator)
            << snippet.toStdString();
    EXPECT_FALSE(markedWords(hostile).isEmpty());
    for (const QString &word : markedWords(hostile))
        EXPECT_EQ(word, u"marigold"_s) << snippet.toStdString();
    look("page-matches-hostile");
    m_state.setViewMode(ViewMode::Grid);
    look("page-matches-hostile-cards");
}

TEST_F(PageSearchTest, AfterALongSearchThePageMatchesFollowItsList)
{
    m_search.setBackgroundThreshold(0); // every text search runs on the worker thread
    for (int i = 0; i < 30; ++i)
        item(QStringLiteral("Orchard %1").arg(i));
    Item *kept = keptItem(u"Fruit trees"_s, u"Pruning the old orchard in winter."_s);
    m_window->refreshNow();

    type(u"orchard"_s);
    m_window->refreshNow();
    ASSERT_TRUE(waitForSnippets(1));
    EXPECT_EQ(titles().size(), 31);
    EXPECT_EQ(model().itemAt(30), kept);
    EXPECT_EQ(countText(), u"31 items"_s);
}

TEST_F(PageSearchTest, NewlyKeptPagesJoinTheQueryShown)
{
    Item *later = item(u"Later"_s);
    Item *other = item(u"Other"_s);
    type(u"lavender"_s);
    m_window->refreshNow();
    EXPECT_TRUE(m_window->content().isShowingEmptyState());
    keep(*later, u"Lavender by the gate."_s);
    // Pages kept without a pause (a whole library being kept) do not hold the answer back.
    QElapsedTimer keeping;
    keeping.start();
    while (snippetRows() == 0 && keeping.elapsed() < 4 * PageMatches::againAfterMs) {
        keep(*other, QStringLiteral("Nothing to see %1.").arg(keeping.elapsed()));
        QTest::qWait(PageMatches::againAfterMs / 10);
    }
    EXPECT_EQ(snippetRows(), 1);
    EXPECT_EQ(titles(), QStringList{u"Later"_s});
}

TEST(PageSearchWithoutPages, AWindowWithoutKeptPagesListsTitleMatchesOnly)
{
    struct Bed : protected WindowTestbed
    {
        void run()
        {
            auto i = std::make_unique<Item>(ItemType::WebLink, u"Lavender"_s);
            m_store->insert(std::move(i));
            m_window->sidebar().searchField()->setText(u"lavender"_s);
            m_window->refreshNow();
            QTest::qWait(50);
            EXPECT_EQ(m_window->content().model().items().size(), 1u);
            EXPECT_EQ(m_window->keptPages(), nullptr);
        }
    } bed;
    bed.run();
}
