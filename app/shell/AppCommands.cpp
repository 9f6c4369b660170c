#include <shell/AppCommands.h>

#include <intake/ItemIntake.h>
#include <state/AppState.h>
#include <views/dialogs/BookmarkFlow.h>
#include <views/dialogs/KeepingFlow.h>
#include <views/window/ItemActions.h>
#include <views/window/MainWindow.h>

#include <QMenu>
#include <QMenuBar>

namespace quillory {

AppCommands::AppCommands(AppState &state, MainWindow &window, std::function<void()> quit,
                         std::function<void()> showSettings, BookmarkFlow *bookmarks,
                         KeepingFlow *keeping)
    : QObject(&window), m_state(state), m_window(window), m_quit(std::move(quit)),
      m_showSettings(std::move(showSettings)), m_bookmarks(bookmarks), m_keeping(keeping)
{
    QMenuBar &bar = *window.menuBar();
    buildFileMenu(bar);
    buildViewMenu(bar);
    buildItemMenu(bar);
    buildLibraryMenu(bar);
}

void AppCommands::buildFileMenu(QMenuBar &bar)
{
    QMenu *file = bar.addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("New Item from Clipboard"),
                    QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V), this,
                    [this] { m_window.intake().pasteFromClipboard(); });
    file->addSeparator();
    file->addAction(QStringLiteral("New Folder"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N),
                    this, [this] { m_state.setShowNewFolderSheet(true); });
    file->addSeparator();
    if (m_bookmarks) {
        // Nothing of a locked library goes in or out.
        file->addAction(QStringLiteral("Import Bookmarks..."), this, [this] {
            if (!m_window.isLocked())
                m_bookmarks->chooseAndImport(m_window);
        });
        file->addAction(QStringLiteral("Export Bookmarks..."), this, [this] {
            if (!m_window.isLocked())
                m_bookmarks->chooseAndExport(m_window);
        });
        file->addSeparator();
    }
    if (m_showSettings) {
        QAction *settings =
            file->addAction(QStringLiteral("Settings..."), QKeySequence(Qt::CTRL | Qt::Key_Comma),
                            this, [this] { m_showSettings(); });
        settings->setMenuRole(QAction::PreferencesRole);
        file->addSeparator();
    }
    QAction *quit = file->addAction(QStringLiteral("Quit Quillory"),
                                    QKeySequence(Qt::CTRL | Qt::Key_Q), this, [this] { m_quit(); });
    // Quitting stays possible while the library is locked.
    quit->setMenuRole(QAction::QuitRole);
}

void AppCommands::buildViewMenu(QMenuBar &bar)
{
    QMenu *view = bar.addMenu(QStringLiteral("&View"));
    view->addAction(QStringLiteral("Toggle Sidebar"), QKeySequence(Qt::CTRL | Qt::META | Qt::Key_S),
                    this, [this] { m_window.toggleSidebar(); });
}

// The selected item's own actions, the same ones its context menu and the detail offer;
// each shows only where it applies.
void AppCommands::buildItemMenu(QMenuBar &bar)
{
    const ItemActions &actions = m_window.itemActions();
    QMenu *item = bar.addMenu(QStringLiteral("&Item"));
    item->addActions(
        {actions.open(), actions.openKeptCopy(), actions.showInFileManager(), actions.copyLink()});
    item->addSeparator();
    item->addActions({actions.favorite(), actions.archive(), actions.edit()});
    item->addSeparator();
    item->addAction(actions.remove());
}

void AppCommands::buildLibraryMenu(QMenuBar &bar)
{
    QMenu *library = bar.addMenu(QStringLiteral("&Library"));
    library->addAction(QStringLiteral("Show All Items"), QKeySequence(Qt::CTRL | Qt::Key_1), this,
                       [this] {
                           m_state.setSelectedFolder(nullptr);
                           m_window.chooseSmartFolder(SmartFolder::AllItems);
                           m_state.clearFilterTags();
                       });
    library->addAction(QStringLiteral("Show Favorites"), QKeySequence(Qt::CTRL | Qt::Key_2), this,
                       [this] { m_state.setShowFavoritesOnly(true); });
    library->addSeparator();
    library->addAction(QStringLiteral("Search"), QKeySequence(Qt::CTRL | Qt::Key_F), this,
                       [this] { m_state.setSearchFocused(true); });
    library->addSeparator();
    library->addAction(QStringLiteral("Find Duplicates..."), this,
                       [this] { m_window.findDuplicates(); });
    if (m_keeping) {
        library->addSeparator();
        library->addAction(QStringLiteral("Check Links..."), this, [this] {
            if (!m_window.isLocked())
                m_keeping->checkLinks(m_window);
        });
        library->addAction(QStringLiteral("Broken Links"), this, [this] {
            if (!m_window.isLocked())
                m_keeping->showBrokenLinks();
        });
        library->addAction(QStringLiteral("Keeping Progress"), this, [this] {
            if (!m_window.isLocked())
                m_keeping->showProgress();
        });
    }
}

} // namespace quillory
