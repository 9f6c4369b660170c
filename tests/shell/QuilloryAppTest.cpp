#include "Eventually.h"
#include "FaultyDisk.h"
#include "QuilloryProcess.h"
#include "TestFiles.h"
#include "TestHttpServer.h"
#include "TestPictures.h"
#include "ViewsTestbed.h"

#include <intake/AppNotifier.h>
#include <keeping/KeepingQueue.h>
#include <model/Item.h>
#include <model/LibraryStore.h>
#include <model/SqliteDatabase.h>
#include <pages/KeptPages.h>
#include <shell/QuilloryApp.h>
#include <shell/StartupFailure.h>
#include <shell/TrayIcon.h>
#include <state/AppState.h>
#include <views/dialogs/BookmarkFlow.h>
#include <views/dialogs/BrokenLinksWindow.h>
#include <views/dialogs/DuplicatesSheet.h>
#include <views/dialogs/KeepingFlow.h>
#include <views/dialogs/KeepingProgressWindow.h>
#include <views/settings/SettingsView.h>
#include <views/widgets/RowButton.h>
#include <views/window/ItemActions.h>
#include <views/window/MainWindow.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <TestHttpServer.h>
#include <csignal>
#include <pages/KeptPages.h>

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::FaultyDisk;
using quillory::test::startQuillory;
using quillory::test::TestHttpServer;
using quillory::test::TestPictures;
using quillory::test::writeTestFile;

namespace {

std::unique_ptr<QuilloryApp> startApp(const QTemporaryDir &dir)
{
    QString error;
    auto app = QuilloryApp::create(LibraryStore::open(dir.filePath(u"s.store"_s), &error));
    app->start();
    return app;
}

// Looks in the menu bar only: the window's own menus have entries of the same names.
QAction *findAction(MainWindow &window, const QString &text)
{
    for (QAction *action : window.menuBar()->findChildren<QAction *>()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

// The application started over a library of its own, on a disk that can be made to fail.
class QuilloryAppTest : public ::testing::Test
{
protected:
    FaultyDisk m_disk;
    QTemporaryDir m_dir;
    QAction *trayEntry(const QString &text) const
    {
        for (QAction *action : m_app->tray()->menu()->actions()) {
            if (action->text() == text)
                return action;
        }
        ADD_FAILURE() << "no tray entry " << text.toStdString();
        return nullptr;
    }

    std::unique_ptr<QuilloryApp> m_app = startApp(m_dir);
};

} // namespace

TEST_F(QuilloryAppTest, ShowsOneMainWindowBringsItForwardAndLetsItClose)
{
    MainWindow *window = m_app->mainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), u"Quillory"_s);
    EXPECT_EQ(window->objectName(), u"main"_s);
    EXPECT_EQ(window->size(), QSize(1200, 800));
    m_app->showMainWindow();
    EXPECT_EQ(m_app->mainWindow(), window) << "opening it again brings the same window forward";

    // Closed, it is not reopened by the delayed raise.
    window->close();
    ASSERT_EVENTUALLY(m_app->mainWindow() == nullptr, 2000);
    QTest::qWait(700); // past both delayed raises
    EXPECT_EQ(m_app->mainWindow(), nullptr);
    m_app->showMainWindow();
    ASSERT_NE(m_app->mainWindow(), nullptr);
    EXPECT_TRUE(m_app->mainWindow()->isVisible());
}

TEST(QuilloryApp, AddingGoesOnWithTheWindowClosed)
{
    QTemporaryDir dir;
    const QString storePath = dir.filePath(u"s.store"_s);
    const QString pdf = writeTestFile(dir, u"notes.pdf"_s, "%PDF-1.4\n");
    const QByteArray png = TestPictures::encoded(TestPictures::twoTone(2400, 1600), "png");
    {
        auto app = startApp(dir);
        app->mainWindow()->close();
        ASSERT_EVENTUALLY(app->mainWindow() == nullptr, 2000);
        // The tray's "Paste from Clipboard" with the window closed.
        emit AppNotifier::shared().createItemFromURL(QUrl::fromLocalFile(pdf));
        emit AppNotifier::shared().createItemFromImageData(png);
        EXPECT_EQ(app->store().items().size(), 2u);
        // Quitting at once: the picture still being decoded is stored before the last save.
    }
    QString error;
    auto reopened = LibraryStore::open(storePath, &error);
    ASSERT_TRUE(reopened) << error.toStdString();
    ASSERT_EQ(reopened->items().size(), 2u);
    int pictures = 0;
    for (Item *item : reopened->items())
        pictures += item->hasImageData() && item->hasThumbnailData() ? 1 : 0;
    EXPECT_EQ(pictures, 1);
}

TEST_F(QuilloryAppTest, APageAddedIsKeptUnlessTurnedOffAndItsCopyLeavesWithIt)
{
    TestHttpServer server;
    server.route(u"/p"_s, TestHttpServer::Response::html(
                              "<title>Kept</title><article><p>" + QByteArray(40, 'x') +
                              " saltmarsh samphire glasswort in the estuary mud</p></article>"));
    KeptPages *pages = m_app->mainWindow()->keptPages();
    ASSERT_NE(pages, nullptr);
    QSignalSpy kept(pages, &KeptPages::kept);
    emit AppNotifier::shared().createItemFromURL(server.url(u"/p"_s));
    ASSERT_TRUE(kept.wait(10000));
    const QUuid id = kept.at(0).at(0).value<QUuid>();
    Item *item = m_app->store().item(id);
    ASSERT_NE(item, nullptr);

    const auto hasCopy = [&](const QUuid &itemId) {
        std::optional<bool> has;
        pages->waitForIdle();
        pages->itemsWithCopies(m_app.get(),
                               [&](const QSet<QUuid> &ids) { has = ids.contains(itemId); });
        EXPECT_TRUE(QTest::qWaitFor([&] { return has.has_value(); }, 5000));
        return has.value_or(false);
    };
    EXPECT_TRUE(hasCopy(id));
    m_app->store().remove(item);
    EXPECT_FALSE(hasCopy(id));

    // Turned off, the next page is fetched for its details but not kept.
    m_app->state().preferences().setKeepPageCopies(false);
    const int fetches = server.hits(u"/p"_s);
    emit AppNotifier::shared().createItemFromURL(server.url(u"/p"_s));
    ASSERT_EVENTUALLY(server.hits(u"/p"_s) > fetches, 5000);
    QTest::qWait(300);
    EXPECT_EQ(kept.size(), 1);
    m_app->state().preferences().setKeepPageCopies(true);
}

TEST_F(QuilloryAppTest, MenuEntriesChangeTheSharedStateAndOpenTheirSheets)
{
    MainWindow &window = *m_app->mainWindow();
    AppState &state = m_app->state();

    QAction *newFolder = findAction(window, u"New Folder"_s);
    ASSERT_NE(newFolder, nullptr);
    EXPECT_EQ(newFolder->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    window.setSheetHook([](QDialog &sheet) { sheet.reject(); });
    newFolder->trigger();
    EXPECT_TRUE(state.showNewFolderSheet());
    ASSERT_EVENTUALLY(!state.showNewFolderSheet(), 2000);

    findAction(window, u"Show Favorites"_s)->trigger();
    EXPECT_TRUE(state.showFavoritesOnly());
    findAction(window, u"Show All Items"_s)->trigger();
    EXPECT_TRUE(state.showFavoritesOnly()) << "Show All Items leaves the favourites filter alone";
    EXPECT_EQ(window.selection().smartFolder, SmartFolder::AllItems);

    QAction *search = findAction(window, u"Search"_s);
    EXPECT_EQ(search->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
    search->trigger();
    EXPECT_FALSE(state.isSearchFocused()) << "the window honours the request and clears it";

    QAction *sidebar = findAction(window, u"Toggle Sidebar"_s);
    EXPECT_EQ(sidebar->shortcut(), QKeySequence(Qt::CTRL | Qt::META | Qt::Key_S));

    // Settings open once, from the File menu and from the tray.
    QAction *settings = findAction(window, u"Settings..."_s);
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    EXPECT_EQ(findAction(window, u"Privacy && Security..."_s), nullptr);
    settings->trigger();
    SettingsView *settingsWindow = m_app->settingsWindow();
    ASSERT_NE(settingsWindow, nullptr);
    EXPECT_TRUE(settingsWindow->isVisible());
    trayEntry(u"Settings..."_s)->trigger();
    EXPECT_EQ(m_app->settingsWindow(), settingsWindow) << "one settings window, brought forward";

    // The menu's and the tray's paste go through the same intake as the add menu.
    auto *tiff = new QMimeData;
    tiff->setData(u"image/tiff"_s, TestPictures::encoded(TestPictures::twoTone(8, 8), "tiff"));
    QGuiApplication::clipboard()->setMimeData(tiff);
    findAction(window, u"New Item from Clipboard"_s)->trigger();
    ASSERT_EQ(m_app->store().items().size(), 1u);
    EXPECT_EQ(m_app->store().items().front()->type(), ItemType::Screenshot);
    auto *files = new QMimeData;
    files->setUrls({QUrl::fromLocalFile(m_dir.filePath(u"a.pdf"_s)),
                    QUrl::fromLocalFile(m_dir.filePath(u"b.pdf"_s))});
    QGuiApplication::clipboard()->setMimeData(files);
    trayEntry(u"Paste from Clipboard"_s)->trigger();
    EXPECT_EQ(m_app->store().items().size(), 3u) << "each copied file is an item";
    QGuiApplication::clipboard()->clear();

    // Find Duplicates opens the groups of the library.
    for (const char *address : {"https://example.com/a", "https://www.example.com/a/"})
        m_app->store().insert(
            std::make_unique<Item>(ItemType::WebLink, u"A"_s, QUrl(QString::fromLatin1(address))));
    int groups = -1;
    window.setSheetHook([&groups](QDialog &dialog) {
        if (auto *sheet = qobject_cast<DuplicatesSheet *>(&dialog))
            groups = sheet->groupCount();
    });
    findAction(window, u"Find Duplicates..."_s)->trigger();
    EXPECT_EQ(groups, 1);
}

TEST(QuilloryApp, PagesAlreadyInTheLibraryAreKeptOnceAndLinksCheckedFromTheLibraryMenu)
{
    QTemporaryDir dir;
    quillory::test::TestHttpServer site;
    site.route(u"/a"_s, quillory::test::TestHttpServer::Response::html("<p>Page A.</p>"));
    site.route(u"/b"_s, quillory::test::TestHttpServer::Response::html("<p>Page B.</p>"));
    {
        QString error;
        auto store = LibraryStore::open(dir.filePath(u"s.store"_s), &error);
        ASSERT_TRUE(store) << qPrintable(error);
        for (const QString &page : {u"/a"_s, u"/b"_s})
            store->insert(std::make_unique<Item>(ItemType::WebLink, page, site.url(page)));
        ASSERT_TRUE(store->save(&error));
    }
    const auto copies = [](QuilloryApp &app) {
        KeptPages *pages = app.mainWindow()->keptPages();
        pages->waitForIdle();
        qsizetype count = -1;
        QObject context;
        pages->itemsWithCopies(&context, [&count](QSet<QUuid> ids) { count = ids.size(); });
        quillory::test::eventually([&count] { return count >= 0; });
        return count;
    };
    {
        auto app = startApp(dir);
        // The items added before pages were kept get theirs once the window is up.
        ASSERT_EVENTUALLY(site.totalHits() == 2 && app->keeping().progress().waiting == 0, 10000);
        EXPECT_EQ(copies(*app), 2);

        MainWindow &window = *app->mainWindow();
        QString asked;
        app->setSheetHook([&asked](QDialog &dialog) {
            asked = static_cast<QMessageBox &>(dialog).informativeText();
            quillory::test::answer(dialog, u"Check Links"_s);
        });
        QAction *check = findAction(window, u"Check Links..."_s);
        ASSERT_NE(check, nullptr);
        check->trigger();
        EXPECT_TRUE(asked.startsWith(u"Quillory asks for each of 2 web pages again"_s));
        KeepingProgressWindow *progress = app->keepingFlow().progressWindow();
        ASSERT_NE(progress, nullptr);
        EXPECT_TRUE(progress->isVisible());
        ASSERT_EVENTUALLY(site.totalHits() == 4, 10000);
        ASSERT_EVENTUALLY(progress->headline() == u"No pages are waiting"_s, 10000);

        findAction(window, u"Broken Links"_s)->trigger();
        BrokenLinksWindow *broken = app->keepingFlow().brokenLinksWindow();
        ASSERT_NE(broken, nullptr);
        EXPECT_TRUE(broken->isVisible());
        ASSERT_EVENTUALLY(!broken->isRefreshing(), 5000);
        EXPECT_TRUE(broken->summary().startsWith(u"No broken links."_s));
    }
    // Asked for once: a later start leaves the pages alone.
    auto app = startApp(dir);
    QTest::qWait(1000);
    EXPECT_EQ(site.totalHits(), 4);
}

TEST_F(QuilloryAppTest, TheItemMenuOffersTheSelectedItemsOwnActions)
{
    MainWindow &window = *m_app->mainWindow();
    QMenu *menu = nullptr;
    for (QAction *entry : window.menuBar()->actions()) {
        if (entry->text() == u"&Item"_s)
            menu = entry->menu();
    }
    ASSERT_NE(menu, nullptr);
    Item *web = m_app->store().insert(
        std::make_unique<Item>(ItemType::WebLink, u"Page"_s, QUrl(u"https://example.org/page"_s)));
    window.refreshNow();
    window.selectItem(web);
    QStringList shown;
    for (QAction *entry : menu->actions()) {
        if (entry->isVisible() && !entry->isSeparator())
            shown << entry->text();
    }
    EXPECT_EQ(shown, (QStringList{u"Open in Browser"_s, u"Open Kept Copy"_s, u"Copy Link"_s,
                                  u"Add to Favorites"_s, u"Archive"_s, u"Edit..."_s, u"Delete"_s}));
    // One action for every place, greyed out while the page has no kept copy.
    QAction *kept = window.itemActions().openKeptCopy();
    EXPECT_TRUE(menu->actions().contains(kept));
    EXPECT_FALSE(kept->isEnabled());
}

TEST_F(QuilloryAppTest, BookmarksGoInFromTheFileMenuAndOutFromTheSettingsWindow)
{
    const QString file =
        writeTestFile(m_dir, u"bookmarks.html"_s,
                      "<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><p><DT><H3>Saved</H3><DL><p>"
                      "<DT><A HREF=\"mailto:ann@example.com\">Write to Ann</A></DL><p>");
    BookmarkFlow &flow = m_app->bookmarks();
    flow.setOpenFileHook([&] { return file; });
    flow.setSaveFileHook([&] { return m_dir.filePath(u"out.html"_s); });
    // What the summaries say is BookmarkFlowTest's; here, that the entries reach the flow.
    m_app->setSheetHook([](QDialog &dialog) { dialog.close(); });

    QAction *import = findAction(*m_app->mainWindow(), u"Import Bookmarks..."_s);
    ASSERT_NE(import, nullptr);
    QSignalSpy imported(&flow, &BookmarkFlow::importEnded);
    import->trigger();
    ASSERT_TRUE(imported.wait(10000));
    EXPECT_EQ(m_app->store().items().size(), 1u);

    ASSERT_NE(findAction(*m_app->mainWindow(), u"Export Bookmarks..."_s), nullptr);
    m_app->showSettings();
    ASSERT_NE(m_app->settingsWindow()->importBookmarksRow(), nullptr);
    EXPECT_EQ(m_app->settingsWindow()->importBookmarksRow()->text(), u"Import Bookmarks..."_s);
    QSignalSpy exported(&flow, &BookmarkFlow::exportEnded);
    m_app->settingsWindow()->exportBookmarksRow()->click();
    ASSERT_TRUE(exported.wait(10000));
    EXPECT_TRUE(QFile::exists(m_dir.filePath(u"out.html"_s)));
}

TEST_F(QuilloryAppTest, QuittingWithUnsavedChangesAsksFirst)
{
    m_disk.setFull(true);
    m_app->store().insert(std::make_unique<Item>(ItemType::WebLink, u"unsaved"_s));
    QStringList answers{u"Try Again"_s, u"Cancel"_s};
    QStringList asked;
    m_app->setSheetHook([&](QDialog &dialog) {
        auto &box = static_cast<QMessageBox &>(dialog);
        asked << box.text();
        EXPECT_TRUE(box.informativeText().contains(u"storage space"_s));
        quillory::test::answer(box, answers.takeFirst());
    });
    EXPECT_FALSE(m_app->mayQuit()) << "tried again, failed again, then stayed";
    EXPECT_EQ(asked.size(), 2);
    EXPECT_EQ(asked.first(), u"Your latest changes could not be saved."_s);
    EXPECT_TRUE(m_app->store().hasUnsavedChanges());

    answers = {u"Quit Anyway"_s};
    EXPECT_TRUE(m_app->mayQuit());
    asked.clear();
    EXPECT_TRUE(m_app->mayQuit()) << "the window closing as the application quits";
    EXPECT_TRUE(asked.isEmpty()) << "the answer already given holds";
}

TEST_F(QuilloryAppTest, WithoutATrayClosingTheWindowClosesSettingsToo)
{
    if (TrayIcon::isAvailable())
        GTEST_SKIP() << "with a tray, closing the window does not quit";
    m_app->showSettings();
    QPointer<SettingsView> settings = m_app->settingsWindow();
    ASSERT_TRUE(settings && settings->isVisible());
    m_app->store().insert(std::make_unique<Item>(ItemType::WebLink, u"kept"_s));
    EXPECT_TRUE(m_app->mainWindow()->close());
    EXPECT_FALSE(m_app->store().hasUnsavedChanges()) << "saved before the window went";
    EXPECT_TRUE(!settings || !settings->isVisible())
        << "nothing stays open to change the library after the decision to quit";
}

TEST_F(QuilloryAppTest, ErrorsWhileTheWindowIsClosedAreShownWhenItOpens)
{
    m_app->mainWindow()->close();
    ASSERT_EVENTUALLY(m_app->mainWindow() == nullptr, 2000);
    m_disk.setFull(true);
    m_app->store().insert(std::make_unique<Item>(ItemType::WebLink, u"unsaved"_s));
    EXPECT_FALSE(m_app->store().save());
    ASSERT_TRUE(m_app->state().showErrorAlert());

    QStringList shown;
    m_app->showMainWindow();
    m_app->mainWindow()->setSheetHook([&](QDialog &dialog) {
        shown << static_cast<QMessageBox &>(dialog).text();
        dialog.accept();
    });
    ASSERT_EVENTUALLY((shown.size()) == (1), 2000);
    EXPECT_TRUE(shown.first().startsWith(u"Storage Error: "_s));
    EXPECT_FALSE(m_app->state().showErrorAlert());

    // A later problem of another kind is not swallowed by the first.
    m_disk.setFull(false);
    SqliteDatabase other;
    ASSERT_TRUE(other.open(m_dir.filePath(u"s.store"_s), SqliteDatabase::Mode::ReadWrite, nullptr));
    ASSERT_TRUE(other.exec("BEGIN EXCLUSIVE"));
    EXPECT_FALSE(m_app->store().save());
    ASSERT_EVENTUALLY((shown.size()) == (2), 2000);
}

TEST(QuilloryApp, TerminationSignalsSaveBeforeTheProcessEnds)
{
    for (int signalNumber : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signalNumber);
        QTemporaryDir dir;
        const QString store = dir.filePath(u"s.store"_s);
        QProcess child;
        child.start(QStringLiteral(SIGNAL_CHILD_PATH), {store});
        ASSERT_TRUE(child.waitForReadyRead(20000)) << "the child never got going";
        EXPECT_EQ(child.readLine().trimmed(), QByteArray("ready"));
        // Well before the autosave would have written the new item.
        ::kill(pid_t(child.processId()), signalNumber);
        ASSERT_TRUE(child.waitForFinished(20000));
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child.exitCode(), 0);
        QString error;
        auto reopened = LibraryStore::open(store, &error);
        ASSERT_TRUE(reopened) << qPrintable(error);
        EXPECT_EQ(reopened->items().size(), 1u);
    }
}

TEST(QuilloryApp, StartupFailureDialogSaysWhatAndWhereInPlainText)
{
    const auto box =
        StartupFailure::dialog(u"file is not a database <b>x</b>"_s, u"/home/me/default.store"_s);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->findChild<QLabel *>(u"qt_msgbox_informativelabel"_s)->textFormat(),
              Qt::PlainText);
    EXPECT_TRUE(box->informativeText().contains(
        u"Failed to initialize model container: file is not a database <b>x</b>"_s));
    EXPECT_TRUE(box->informativeText().contains(u"/home/me/default.store"_s));
}

TEST(QuilloryApp, StoreThatCannotBeOpenedEndsStartupWithTheMessageAndIsLeftAlone)
{
    for (const bool folder : {false, true}) {
        SCOPED_TRACE(folder ? "a folder in its place" : "not a database");
        QTemporaryDir home;
        const QString container = home.filePath(u"data/group.nqa.quillory.shared"_s);
        const QString storePath = container + u"/default.store"_s;
        QDir().mkpath(folder ? storePath : container);
        QFile junk(storePath);
        if (!folder) {
            ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
            junk.write(QByteArray(4096, 'x'));
            junk.close();
        }

        QProcess quillory;
        startQuillory(quillory, home.path());
        ASSERT_TRUE(quillory.waitForFinished(20000));
        EXPECT_NE(quillory.exitCode(), 0);
        const QString out = QString::fromLocal8Bit(quillory.readAllStandardOutput());
        EXPECT_TRUE(out.startsWith(u"Failed to initialize model container: "_s)) << qPrintable(out);
        EXPECT_GT(out.trimmed().size(), u"Failed to initialize model container:"_s.size());
        if (!folder) {
            ASSERT_TRUE(junk.open(QIODevice::ReadOnly));
            EXPECT_EQ(junk.readAll(), QByteArray(4096, 'x'));
        }
        EXPECT_FALSE(QFile::exists(storePath + u"-wal"_s));
    }
}
