#include "TestHttpServer.h"
#include "ViewsTestbed.h"
#include "WindowTestbed.h"

#include <model/Clock.h>
#include <pages/KeptPages.h>
#include <platform/NullBiometrics.h>
#include <platform/NullKeychain.h>
#include <security/SecurityService.h>
#include <views/dialogs/AddURLSheet.h>
#include <views/dialogs/ExportSheet.h>
#include <views/dialogs/KeptCopyReader.h>
#include <views/settings/SettingsView.h>
#include <views/widgets/RowButton.h>
#include <views/window/ContentColumn.h>
#include <views/window/ContentHeader.h>
#include <views/window/DetailColumn.h>
#include <views/window/ItemActions.h>
#include <views/window/ItemDetailView.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QMenu>
#include <QNetworkProxyFactory>
#include <QPointer>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::TestHttpServer;

namespace {

// Enrichment would ask about any address; only the test's own server is reachable.
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

QByteArray sentences(const QByteArray &sentence, int times)
{
    QByteArray text;
    for (int i = 0; i < times; ++i)
        text += sentence + ' ';
    return text;
}

const QByteArray article = R"(<!doctype html><html><head><title>Keeping Pages</title>
<meta name="description" content="Why a library should keep what it links to.">
<meta name="author" content="Grace Hopper"></head><body>
<nav class="site-nav"><ul><li><a href="/">Home</a></li><li><a href="/about">About the
 newsroom</a></li><li><a href="/contact">Contact desk</a></li></ul></nav>
<header class="masthead">Daily Masthead Banner</header>
<article><h1>Keeping Pages</h1>
<p>)" + sentences("Links rot, and a page saved last year may answer nothing today.", 6) +
                           R"(</p><h2>What a copy holds</h2>
<p>The numbers come from <a href="https://example.org/rot">the study of link rot</a>, which
followed pages for years. )" +
                           sentences("A kept copy holds the words as they were.", 6) +
                           R"(</p><ul><li>The readable text of the page</li>
<li>The address it was fetched from</li></ul>
<blockquote>Keep what you want to find again.</blockquote>
<pre>first line
    indented line</pre>
<p>)" + sentences("Reading it needs no network at all.", 6) +
                           R"(</p></article>
<footer class="site-footer">Copyright Footer Corporation, all rights reserved</footer>
</body></html>)";

class KeptCopyTest : public ::testing::Test, protected quillory::test::WindowTestbed
{
protected:
    KeptCopyTest()
    {
        QNetworkProxyFactory::setApplicationProxyFactory(new LocalOnlyProxies);
        Clock::setSource([this] { return m_now; });
        QLocale::setDefault(QLocale::c());
        m_pages = std::make_unique<KeptPages>(m_store->filePath());
        // As the application wires them: the preference decides for the next page fetched.
        const auto apply = [this] {
            m_enricher->setKeptPages(m_pages.get(), m_state.preferences().keepPageCopies());
        };
        apply();
        QObject::connect(&m_state.preferences(), &Preferences::changed, apply);
        QObject::connect(m_pages.get(), &KeptPages::kept,
                         [this](const QUuid &id) { m_kept.insert(id); });
        QObject::connect(m_enricher.get(), &ItemEnricher::finished,
                         [this](const QUuid &id) { m_enriched.insert(id); });
        m_window->setKeptPages(m_pages.get());
        m_window->links().setOpener([this](const QUrl &url) {
            m_opened << url.toString();
            return true;
        });
        m_window->setSheetHook([this](QDialog &dialog) {
            ASSERT_TRUE(m_answer) << "unexpected " << dialog.windowTitle().toStdString();
            m_answer(dialog);
        });
        m_server->route(u"/article"_s, TestHttpServer::Response::html(article));
    }
    ~KeptCopyTest() override
    {
        // Everything that holds the copies goes before them.
        m_settings.reset();
        m_window.reset();
        m_intake.reset();
        m_enricher.reset();
        m_pages.reset();
        Clock::setSource({});
        QNetworkProxyFactory::setApplicationProxyFactory(nullptr);
    }

    void SetUp() override
    {
        m_window->show();
        m_window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    }

    // Types the address into the add sheet, as a person adds a link.
    Item *addThroughSheet(const QUrl &url)
    {
        m_answer = [url](QDialog &dialog) {
            auto *sheet = qobject_cast<AddURLSheet *>(&dialog);
            ASSERT_NE(sheet, nullptr);
            sheet->show();
            auto *field = sheet->findChild<QLineEdit *>(u"url"_s);
            QTest::keyClicks(field, url.toString());
            QTest::keyClick(field, Qt::Key_Return);
        };
        for (QAction *a : m_window->content().header().addMenu()->actions()) {
            if (a->text() == u"Add URL..."_s)
                a->trigger();
        }
        m_answer = {};
        return m_window->selectedItem();
    }

    bool waitForCopy(const QUuid &id)
    {
        return QTest::qWaitFor([&] { return m_kept.contains(id); }, 10000);
    }
    bool waitForEnrichment(const QUuid &id)
    {
        return QTest::qWaitFor([&] { return m_enriched.contains(id); }, 10000);
    }

    ItemDetailView &detail() const { return m_window->detail().detail(); }
    QToolButton *readButton() const { return detail().findChild<QToolButton *>(u"readKeptCopy"_s); }
    QLabel *detailLabel(const QString &name) const { return detail().findChild<QLabel *>(name); }
    KeptCopyReader *reader() const
    {
        for (auto *r : m_window->findChildren<KeptCopyReader *>()) {
            if (r->isVisible())
                return r;
        }
        return nullptr;
    }
    // Waits for the reader's text, once the copy has been read.
    static bool waitForText(KeptCopyReader *r)
    {
        return r != nullptr &&
               QTest::qWaitFor([r] { return r->keptLine().startsWith(u"Kept "_s); }, 10000);
    }
    static QString textOf(const KeptCopyReader &r) { return r.textView()->toPlainText(); }

    // Right-clicks the item in the list and clicks the menu's entry `entry`.
    void fromContextMenu(const Item &item, const QString &entry)
    {
        auto &view = *m_window->findChild<QAbstractItemView *>(u"itemView"_s);
        m_window->refreshNow();
        QRect at;
        for (int row = 0; row < view.model()->rowCount(); ++row) {
            const QModelIndex index = view.model()->index(row, 0);
            if (index.data().toString() == item.title())
                at = view.visualRect(index);
        }
        ASSERT_FALSE(at.isEmpty());
        bool clicked = false;
        auto *poll = new QTimer(m_window.get());
        poll->setInterval(10);
        QObject::connect(poll, &QTimer::timeout, poll, [poll, entry, &clicked] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (menu == nullptr || !menu->isVisible())
                return;
            poll->stop();
            poll->deleteLater();
            for (QAction *action : menu->actions()) {
                if (action->text() == entry && action->isVisible() && action->isEnabled()) {
                    QTest::mouseClick(menu, Qt::LeftButton, {},
                                      menu->actionGeometry(action).center());
                    clicked = true;
                    return;
                }
            }
            menu->close();
        });
        poll->start();
        QTest::mouseClick(m_window->windowHandle(), Qt::RightButton, {},
                          view.viewport()->mapTo(m_window.get(), at.center()));
        ASSERT_TRUE(clicked) << "no enabled menu entry " << entry.toStdString();
    }

    SettingsView &settings()
    {
        if (!m_settings) {
            m_settings = std::make_unique<SettingsView>(m_state, *m_store, m_security, m_revealer);
            m_settings->setKeptPages(m_pages.get());
            m_settings->setSheetHook([this](QDialog &dialog) {
                ASSERT_TRUE(m_answer) << "unexpected " << dialog.windowTitle().toStdString();
                m_answer(dialog);
            });
        }
        return *m_settings;
    }

    // Saves what a person would see, when screenshots are asked for.
    static void shoot(QWidget &widget, const QString &name)
    {
        const QString folder = qEnvironmentVariable("QUILLORY_SCREENSHOTS");
        if (!folder.isEmpty())
            widget.grab().save(folder + u'/' + name + u".png"_s);
    }

    QDateTime m_now = QDateTime(QDate(2026, 3, 5), QTime(15, 41), Qt::UTC);
    std::unique_ptr<TestHttpServer> m_server = std::make_unique<TestHttpServer>();
    std::unique_ptr<KeptPages> m_pages;
    SecurityService m_security{
        std::make_unique<NullKeychain>(), std::make_unique<NullBiometrics>(),
        std::make_unique<QSettings>(m_dir.filePath(u"security.ini"_s), QSettings::IniFormat)};
    std::unique_ptr<SettingsView> m_settings;
    QSet<QUuid> m_kept;
    QSet<QUuid> m_enriched;
    QStringList m_opened;
    std::function<void(QDialog &)> m_answer;
};

} // namespace

TEST_F(KeptCopyTest, ReadsTheArticleItKeptEvenOnceTheSiteIsGone)
{
    QToolButton *button = readButton();
    ASSERT_NE(button, nullptr);
    Item *item = addThroughSheet(m_server->url(u"/article"_s));
    ASSERT_NE(item, nullptr);
    EXPECT_FALSE(button->isVisible()) << "nothing is kept yet";
    ASSERT_TRUE(waitForCopy(item->id()));
    // The same button, shown in place once the copy is there.
    ASSERT_TRUE(QTest::qWaitFor([&] { return button->isVisible(); }, 5000));
    EXPECT_EQ(readButton(), button);
    EXPECT_EQ(button->text(), u"Read Kept Copy"_s);
    ASSERT_TRUE(waitForEnrichment(item->id()));
    detail().refresh();
    EXPECT_EQ(detailLabel(u"pageDescription"_s)->text(),
              u"Why a library should keep what it links to."_s);
    EXPECT_EQ(detailLabel(u"pageByline"_s)->text(), u"By Grace Hopper"_s);
    EXPECT_FALSE(detailLabel(u"pageGone"_s)->isVisible());

    // The search words are marked in what is read.
    m_state.setSearchQuery(u"keeping"_s);
    QTest::mouseClick(button, Qt::LeftButton);
    QPointer<KeptCopyReader> first = reader();
    ASSERT_TRUE(waitForText(first));
    const QString text = textOf(*first);
    EXPECT_TRUE(text.contains(u"Links rot, and a page saved last year"_s)) << text.toStdString();
    EXPECT_TRUE(text.contains(u"What a copy holds"_s));
    EXPECT_TRUE(text.contains(u"The address it was fetched from"_s));
    EXPECT_TRUE(text.contains(u"    indented line"_s)) << "preformatted text keeps its spaces";
    for (const QString &chrome :
         {u"Contact desk"_s, u"Daily Masthead Banner"_s, u"Copyright Footer Corporation"_s})
        EXPECT_FALSE(text.contains(chrome)) << chrome.toStdString();
    EXPECT_EQ(first->keptLine(),
              u"Kept Mar 5, 2026 from "_s + m_server->url(u"/article"_s).toString());
    QTextDocument &document = *first->textView()->document();
    const QTextCursor keeping = document.find(u"Keeping"_s);
    ASSERT_FALSE(keeping.isNull());
    EXPECT_EQ(keeping.charFormat().background().color(), QColor(0xff, 0xe0, 0x66));
    EXPECT_EQ(document.find(u"holds"_s).charFormat().background().style(), Qt::NoBrush);
    shoot(*first, u"kept-copy-reader"_s);

    // A link is followed only when clicked, through the window's opener.
    EXPECT_TRUE(m_opened.isEmpty());
    const QTextCursor link = document.find(u"study of link rot"_s);
    ASSERT_FALSE(link.isNull());
    QTextCursor inside(&document);
    inside.setPosition(link.selectionStart() + 3);
    const QRect where = first->textView()->cursorRect(inside);
    QTest::mouseClick(first->textView()->viewport(), Qt::LeftButton, {}, where.center());
    EXPECT_EQ(m_opened, QStringList{u"https://example.org/rot"_s});

    QTest::keyClick(first->textView(), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return first.isNull(); }, 2000)) << "Escape closes it";

    // The site goes away; the copy reads all the same, from the context menu too.
    m_server.reset();
    m_state.setSearchQuery(QString());
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    fromContextMenu(*item, u"Open Kept Copy"_s);
    QPointer<KeptCopyReader> second = reader();
    ASSERT_TRUE(waitForText(second));
    EXPECT_TRUE(textOf(*second).contains(u"Reading it needs no network at all."_s));
    EXPECT_EQ(second->textView()->document()->find(u"Keeping"_s).charFormat().background().style(),
              Qt::NoBrush)
        << "no search, no marks";
    QTest::keyClick(second->textView(), Qt::Key_W, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.isNull(); }, 2000)) << "Ctrl+W closes it";
}

TEST_F(KeptCopyTest, AHostilePageReadsAsTextAndLoadsNothing)
{
    const QByteArray hostile =
        R"x(<html><head><title>Trap</title><style>p { background: url(http://127.0.0.1:)x" +
        QByteArray::number(m_server->port()) + R"x(/styled.png) }</style></head><body><article>
<h1>Trap</h1><script>document.write("SCRIPT-RAN"); fetch("/beacon")</script>
<p><img src=")x" +
        m_server->url(u"/tracker.png"_s).toEncoded() +
        R"x(" alt="ALT-TEXT"><img src="file:///etc/passwd">)x" +
        sentences("Plain words stay plain words here.", 8) +
        R"x( It says &lt;b&gt;bold&lt;/b&gt; and &lt;img src=x onerror=alert(1)&gt; as text.
<a href="javascript:alert(2)">script link</a> <a href="/next">next page</a></p>
<p>)x" + sentences("More of the article follows in this paragraph.", 8) +
        R"x(</p><noscript>NOSCRIPT-TEXT</noscript></article></body></html>)x";
    m_server->route(u"/trap"_s, TestHttpServer::Response::html(hostile));
    Item *item = addThroughSheet(m_server->url(u"/trap"_s));
    ASSERT_NE(item, nullptr);
    ASSERT_TRUE(waitForCopy(item->id()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return readButton()->isVisible(); }, 5000));
    QTest::mouseClick(readButton(), Qt::LeftButton);
    KeptCopyReader *r = reader();
    ASSERT_TRUE(waitForText(r));
    r->textView()->grab(); // lays the document out and paints it, as a person would see it
    QTest::qWait(200);

    const QString text = textOf(*r);
    EXPECT_TRUE(text.contains(u"It says <b>bold</b> and <img src=x onerror=alert(1)> as text."_s))
        << text.toStdString();
    for (const QString &never : {u"SCRIPT-RAN"_s, u"fetch("_s, u"background"_s, u"NOSCRIPT"_s})
        EXPECT_FALSE(text.contains(never)) << never.toStdString();
    EXPECT_FALSE(r->textView()->toHtml().contains(u"<img"_s));
    for (const QString &path : {u"/tracker.png"_s, u"/styled.png"_s, u"/beacon"_s})
        EXPECT_EQ(m_server->hits(path), 0) << path.toStdString();

    // Only the page's own web link is followed; the script link was never a link.
    QTextDocument &document = *r->textView()->document();
    for (const QString &words : {u"script link"_s, u"next page"_s}) {
        const QTextCursor found = document.find(words);
        ASSERT_FALSE(found.isNull()) << words.toStdString();
        QTextCursor inside(&document);
        inside.setPosition(found.selectionStart() + 2);
        QTest::mouseClick(r->textView()->viewport(), Qt::LeftButton, {},
                          r->textView()->cursorRect(inside).center());
    }
    EXPECT_EQ(m_opened, QStringList{m_server->url(u"/next"_s).toString()});
    r->close();
}

TEST_F(KeptCopyTest, TwoMegabytesOfTextOpenWithoutHoldingTheWindow)
{
    auto *item = m_store->insert(std::make_unique<Item>(ItemType::WebLink, u"Long read"_s,
                                                        QUrl(u"https://example.org/long"_s)));
    m_window->refreshNow();
    m_window->selectItem(item);
    QByteArray page = "<html><head><title>Long read</title></head><body><article>";
    int n = 0;
    while (page.size() < 2'300'000)
        page += "<p>Paragraph " + QByteArray::number(++n) + ' ' +
                sentences("Every sentence of this long read says a little more.", 8) + "</p>\n";
    page += "<p>THE-LAST-PARAGRAPH</p></article></body></html>";
    m_pages->keep(item->id(), ServedCopy{Clock::nowMSecs(), u"https://example.org/long"_s, 200,
                                         page, "text/html; charset=utf-8", false});
    ASSERT_TRUE(waitForCopy(item->id()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return readButton()->isVisible(); }, 5000));

    // The window must keep answering: the longest gap between two turns of its event loop.
    qint64 longest = 0;
    QElapsedTimer sinceTurn;
    sinceTurn.start();
    QTimer beat;
    beat.setInterval(5);
    QObject::connect(&beat, &QTimer::timeout,
                     [&] { longest = std::max(longest, sinceTurn.restart()); });
    beat.start();
    QElapsedTimer opening;
    opening.start();
    QTest::mouseClick(readButton(), Qt::LeftButton);
    KeptCopyReader *r = reader();
    ASSERT_TRUE(waitForText(r));
    r->textView()->grab();
    QTest::qWait(50);
    beat.stop();
    const QString text = textOf(*r);
    // What a reading keeps of a page: a megabyte of UTF-8, twice that as the window holds it.
    EXPECT_GT(text.size(), 1'000'000);
    std::printf(
        "[ figures  ] a kept copy of 2 MB text: shown after %lld ms, longest stall %lld ms\n",
        static_cast<long long>(opening.elapsed()), static_cast<long long>(longest));
    EXPECT_LT(longest, 400);
    r->close();
}

TEST_F(KeptCopyTest, SettingsTurnKeepingOffAndRemoveTheCopies)
{
    SettingsView &view = settings();
    view.show();
    QCheckBox *keep = view.keepPageCopies();
    ASSERT_TRUE(keep->isChecked()) << "on unless turned off";
    // On the box itself: a click beside a check box's words misses it.
    const QPoint onBox(8, keep->height() / 2);
    QTest::mouseClick(keep, Qt::LeftButton, {}, onBox);
    EXPECT_FALSE(m_state.preferences().keepPageCopies());

    m_server->route(u"/second"_s, TestHttpServer::Response::html(article));
    Item *unkept = addThroughSheet(m_server->url(u"/article"_s));
    ASSERT_TRUE(waitForEnrichment(unkept->id()));
    m_pages->waitForIdle();
    QTest::qWait(50);
    EXPECT_FALSE(m_kept.contains(unkept->id()));
    EXPECT_FALSE(readButton()->isVisible());

    // From the keyboard this time, as a person tabbing through the settings would.
    keep->setFocus();
    QTest::keyClick(keep, Qt::Key_Space);
    EXPECT_TRUE(m_state.preferences().keepPageCopies());
    Item *kept = addThroughSheet(m_server->url(u"/second"_s));
    ASSERT_TRUE(waitForCopy(kept->id()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return readButton()->isVisible(); }, 5000));
    QLabel *size = view.keptPagesSize();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return size->text().contains(u"kB"_s) || size->text().contains(u"MB"_s); }, 5000))
        << size->text().toStdString();
    const QString sizeWithCopy = size->text();
    shoot(view, u"settings-kept-pages"_s);

    // Asked first, with Cancel the default: cancelling keeps the copy.
    bool cancelWasDefault = false;
    m_answer = [&](QDialog &dialog) {
        auto *box = qobject_cast<QMessageBox *>(&dialog);
        ASSERT_NE(box, nullptr);
        cancelWasDefault = box->defaultButton() && box->defaultButton()->text() == u"Cancel"_s;
        test::answer(dialog, u"Cancel"_s);
    };
    QTest::mouseClick(view.removeKeptCopiesRow(), Qt::LeftButton);
    EXPECT_TRUE(cancelWasDefault);
    m_pages->waitForIdle();
    QTest::qWait(50);
    EXPECT_TRUE(readButton()->isVisible());

    m_answer = [](QDialog &dialog) { test::answer(dialog, u"Remove Kept Copies"_s); };
    QTest::mouseClick(view.removeKeptCopiesRow(), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !readButton()->isVisible(); }, 5000))
        << "the detail no longer offers a copy";
    EXPECT_TRUE(QTest::qWaitFor([&] { return size->text() != sizeWithCopy; }, 5000));
    EXPECT_FALSE(m_window->itemActions().openKeptCopy()->isEnabled());

    // The export says what it leaves out.
    m_answer = [](QDialog &dialog) {
        bool said = false;
        for (QLabel *label : dialog.findChildren<QLabel *>())
            said = said || label->text().contains(u"Kept copies of pages are not part"_s);
        EXPECT_TRUE(said);
    };
    view.openExportSheet();
}

TEST_F(KeptCopyTest, DeletingAllDataTakesEveryCopy)
{
    Item *item = addThroughSheet(m_server->url(u"/article"_s));
    ASSERT_TRUE(waitForCopy(item->id()));
    // A copy whose item is gone from the library already.
    m_pages->keep(QUuid::createUuid(), ServedCopy{Clock::nowMSecs(), u"https://example.org/"_s, 200,
                                                  article, "text/html", false});
    m_pages->waitForIdle();
    m_answer = [](QDialog &dialog) { test::answer(dialog, u"Delete Everything"_s); };
    settings().confirmDeleteAll();
    m_pages->waitForIdle();
    std::optional<QSet<QUuid>> left;
    m_pages->itemsWithCopies(m_window.get(), [&](QSet<QUuid> ids) { left = ids; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return left.has_value(); }, 5000));
    EXPECT_TRUE(left->isEmpty());
}

TEST_F(KeptCopyTest, TheDetailShowsWhatThePageSaidAndWhenItIsGone)
{
    auto *item = m_store->insert(std::make_unique<Item>(ItemType::WebLink, u"Keeping Pages"_s,
                                                        m_server->url(u"/article"_s)));
    ItemMetadata facts;
    facts.description = u"Why a library should keep what it links to, and how to read a "
                        u"page long after it has gone."_s;
    facts.author = u"Grace Hopper"_s;
    facts.publishDate = QDateTime(QDate(2024, 3, 3), QTime(9, 0), Qt::UTC);
    item->setMetadata(facts);
    // The page answered 404 twice, a day apart: it is gone.
    m_pages->keep(item->id(), ServedCopy{Clock::nowMSecs(), m_server->url(u"/article"_s).toString(),
                                         200, article, "text/html", false});
    m_pages->recordAnswer(item->id(), 404);
    m_pages->waitForIdle();
    m_now = m_now.addDays(1).addSecs(60);
    m_pages->recordAnswer(item->id(), 404);
    m_pages->waitForIdle();
    m_window->refreshNow();
    m_window->selectItem(item);

    ASSERT_TRUE(QTest::qWaitFor([&] { return detailLabel(u"pageGone"_s)->isVisible(); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return readButton()->isVisible(); }, 5000));
    EXPECT_EQ(detailLabel(u"pageGone"_s)->text(), u"This page is gone"_s);
    EXPECT_EQ(detailLabel(u"pageByline"_s)->text(),
              u"By Grace Hopper \u00B7 Published Mar 3, 2024"_s);
    QLabel *description = detailLabel(u"pageDescription"_s);
    EXPECT_EQ(description->text(), *facts.description);
    shoot(m_window->detail(), u"detail-page-facts"_s);

    // A page's essay of a description is shown bounded.
    facts.description = u"Why a library should keep what it links to. "_s.repeated(20000);
    item->setMetadata(facts);
    detail().refresh();
    EXPECT_TRUE(description->text().startsWith(u"Why a library should keep"_s));
    EXPECT_LE(description->text().size(), 1001);

    // Another item without facts shows none of it.
    auto *plain = m_store->insert(std::make_unique<Item>(ItemType::WebLink, u"Plain"_s,
                                                         QUrl(u"https://example.org/plain"_s)));
    m_window->refreshNow();
    m_window->selectItem(plain);
    QTest::qWait(100);
    EXPECT_FALSE(description->isVisible());
    EXPECT_FALSE(detailLabel(u"pageByline"_s)->isVisible());
    EXPECT_FALSE(detailLabel(u"pageGone"_s)->isVisible());
    EXPECT_FALSE(readButton()->isVisible());
}
