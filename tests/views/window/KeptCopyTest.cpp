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
