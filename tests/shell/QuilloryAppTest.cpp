#include <AppNotifier.h>
#include <AppState.h>
#include <Item.h>
#include <LibraryStore.h>
#include <MainWindow.h>
#include <QuilloryApp.h>
#include <TrayIcon.h>

#include <QApplication>
#include <QBuffer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace quillory;

namespace {

std::unique_ptr<QuilloryApp> startApp(const QTemporaryDir &dir)
{
    QString error;
    auto app =
        QuilloryApp::create(LibraryStore::open(dir.filePath(QStringLiteral("s.store")), &error));
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

} // namespace

TEST(QuilloryApp, ShowsOneMainWindowAndBringsItForward)
{
    QTemporaryDir dir;
    auto app = startApp(dir);
    MainWindow *window = app->mainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quillory"));
    EXPECT_EQ(window->objectName(), QStringLiteral("main"));
    EXPECT_EQ(window->size(), QSize(1200, 800));
    app->showMainWindow();
    EXPECT_EQ(app->mainWindow(), window) << "opening it again brings the same window forward";
    // Without a tray, closing the window must quit rather than leave an unreachable process.
    EXPECT_EQ(QApplication::quitOnLastWindowClosed(), !TrayIcon::isAvailable());
}

TEST(QuilloryApp, ClosedWindowIsNotReopenedByTheDelayedRaise)
{
    QTemporaryDir dir;
    auto app = startApp(dir);
    app->mainWindow()->close();
    QTRY_VERIFY_WITH_TIMEOUT(app->mainWindow() == nullptr, 2000);
    QTest::qWait(700); // past both delayed raises
    EXPECT_EQ(app->mainWindow(), nullptr);
    app->showMainWindow();
    ASSERT_NE(app->mainWindow(), nullptr);
    EXPECT_TRUE(app->mainWindow()->isVisible());
}

TEST(QuilloryApp, AddingGoesOnWithTheWindowClosed)
{
    QTemporaryDir dir;
    const QString storePath = dir.filePath(QStringLiteral("s.store"));
    const QString pdf = dir.filePath(QStringLiteral("notes.pdf"));
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("%PDF-1.4\n");
    file.close();
    QImage pixels(2400, 1600, QImage::Format_RGB32);
    pixels.fill(Qt::darkCyan);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    pixels.save(&buffer, "PNG");
    {
        auto app = startApp(dir);
        app->mainWindow()->close();
        QTRY_VERIFY_WITH_TIMEOUT(app->mainWindow() == nullptr, 2000);
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

TEST(QuilloryApp, MenuEntriesChangeTheSharedState)
{
    QTemporaryDir dir;
    auto app = startApp(dir);
    MainWindow &window = *app->mainWindow();
    AppState &state = app->state();

    QAction *newFolder = findAction(window, QStringLiteral("New Folder"));
    ASSERT_NE(newFolder, nullptr);
    EXPECT_EQ(newFolder->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    window.setSheetHook([](QDialog &sheet) { sheet.reject(); });
    newFolder->trigger();
    EXPECT_TRUE(state.showNewFolderSheet());
    QTRY_VERIFY_WITH_TIMEOUT(!state.showNewFolderSheet(), 2000);

    findAction(window, QStringLiteral("Show Favorites"))->trigger();
    EXPECT_TRUE(state.showFavoritesOnly());
    findAction(window, QStringLiteral("Show All Items"))->trigger();
    EXPECT_TRUE(state.showFavoritesOnly()) << "Show All Items leaves the favourites filter alone";
    EXPECT_EQ(window.selection().smartFolder, SmartFolder::AllItems);

    QAction *search = findAction(window, QStringLiteral("Search"));
    EXPECT_EQ(search->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
    search->trigger();
    EXPECT_FALSE(state.isSearchFocused()) << "the window honours the request and clears it";

    QAction *sidebar = findAction(window, QStringLiteral("Toggle Sidebar"));
    EXPECT_EQ(sidebar->shortcut(), QKeySequence(Qt::CTRL | Qt::META | Qt::Key_S));
}

TEST(QuilloryApp, UnreadableStoreEndsStartupWithTheMessage)
{
    QTemporaryDir home;
    const QString container = home.filePath(QStringLiteral("data/group.nqa.quillory.shared"));
    QDir().mkpath(container);
    QFile junk(container + QStringLiteral("/default.store"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();

    QProcess quillory;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    quillory.setProcessEnvironment(env);
    quillory.start(QStringLiteral(QUILLORY_PATH), {});
    ASSERT_TRUE(quillory.waitForFinished(20000));
    EXPECT_NE(quillory.exitCode(), 0);
    const QString out = QString::fromLocal8Bit(quillory.readAllStandardOutput());
    EXPECT_TRUE(out.startsWith(QStringLiteral("Failed to initialize model container: ")))
        << qPrintable(out);
    EXPECT_GT(out.trimmed().size(), QStringLiteral("Failed to initialize model container:").size());
}
