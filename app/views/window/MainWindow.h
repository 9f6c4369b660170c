#pragma once

#include <state/ItemChanges.h>
#include <state/LibraryCounts.h>
#include <state/LibraryFilter.h>
#include <state/PageMatches.h>
#include <views/widgets/SheetRunner.h>
#include <views/widgets/ThumbnailCache.h>
#include <views/window/LinkOpener.h>

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

class QLabel;
class QSplitter;
class QStackedWidget;

namespace quillory {

class AppState;
class ContentColumn;
class DetailColumn;
class DuplicateNotice;
class FileRevealer;
class Item;
class ItemActions;
class ItemIntake;
class KeptPages;
class LibraryStore;
class LiveList;
class SearchService;
class Folder;
class Sidebar;
class Tag;

// The library window: sidebar, content column and detail column. It owns the window's
// selection, runs the filtering pipeline whenever the library or a filter changes, and
// opens the sheets the shared state asks for.
class MainWindow final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    static inline const QString identifier = QStringLiteral("main");

    // New items come through `intake`, which outlives the window.
    MainWindow(AppState &state, LibraryStore &store, SearchService &search, FileRevealer &revealer,
               ItemIntake &intake, QWidget *parent = nullptr);
    ~MainWindow() override;

    Sidebar &sidebar() const { return *m_sidebar; }
    ContentColumn &content() const { return *m_content; }
    DetailColumn &detail() const { return *m_detail; }
    const SidebarSelection &selection() const { return m_selection; }
    Item *selectedItem() const { return m_selectedItem; }
    ItemIntake &intake() const { return m_intake; }
    // What can be done to the selected item, from every menu, toolbar and key.
    ItemActions &itemActions() const { return *m_actions; }

    void chooseSmartFolder(SmartFolder folder);
    // A root folder's row replaces the smart folder; a sub-folder's row keeps it.
    void chooseFolder(Folder *folder, bool isRoot);
    void toggleFilterTag(Tag *tag);
    void selectItem(Item *item);
    void toggleSidebar();
    void openAddURLSheet();
    // The groups of items that hold the same page, to merge.
    void findDuplicates();
    // Shows the whole library (or the archive) and selects the item there.
    void revealItem(const QUuid &itemId);
    void addImageFromFile();
    void addDocumentFromFile();
    void editFolder(Folder *folder);
    // Asks first: the folder's sub-folders go with it (their items stay, unfiled).
    void deleteFolder(Folder *folder);

    // Runs any pending refresh now (tests and benchmarks call it instead of waiting).
    void refreshNow();

    // Tests answer sheets and alerts instead of a person.
    void setSheetHook(SheetRunner::Hook hook) { m_sheets.setHook(std::move(hook)); }
    // How every part of the window opens an item's link (tests replace its opener).
    LinkOpener &links() { return m_links; }
    // The kept copies of pages, read and searched from the window; null when the library
    // keeps none. They must outlive the window.
    void setKeptPages(KeptPages *pages);
    KeptPages *keptPages() const { return m_keptPages; }
    // Asked before the window closes; false keeps it open (closing may quit Quillory).
    void setCloseGuard(std::function<bool()> guard) { m_closeGuard = std::move(guard); }
    // Shows `screen` (the unlock screen) instead of the library, with every menu command but
    // quitting unavailable; null shows the library again. The window owns the screen.
    void setLockScreen(QWidget *screen);
    bool isLocked() const { return m_lockScreen != nullptr; }

signals:
    // The list shows what the library and the filters hold now (a long search arrives later
    // than the refresh that started it).
    void refreshed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildReadOnlyBanner();
    void showSelected(Item *item);
    void scheduleRefresh();
    // Refreshes the list alone: for changes the sidebar does not show.
    void scheduleListRefresh();
    void refresh();
    void showList(std::vector<Item *> items);
    // Shows the list's own matches followed by those found in kept pages so far.
    void showWithPageMatches(std::vector<Item *> items);
    // The pages answered: their matches follow the list's own, which stay where they are.
    void appendPageMatches();
    // Keeps the settled search among the recent ones once the list shows it found something.
    void rememberSearch();
    void refreshSidebar();
    void showContextMenu(Item *item, const QPoint &globalPosition);
    void openNewFolderSheet();
    void addItemShortcuts();
    void buildAddMenu();
    void followIntake();
    void openItemEditor();
    void openNewTagSheet();
    void showErrorAlert();
    void focusSearch();
    void forget(const QList<Record *> &records);
    QString contentTitle() const;

    AppState &m_state;
    LibraryStore &m_store;
    SheetRunner m_sheets;
    LinkOpener m_links;
    SearchService &m_search;
    LibraryFilter m_filter;
    PageMatches m_pageMatches;
    LibraryCounts m_counts;
    ItemChanges m_changes;
    ThumbnailCache m_thumbnails;
    std::unique_ptr<LiveList> m_items;
    std::unique_ptr<LiveList> m_folders;
    std::unique_ptr<LiveList> m_tags;
    SidebarSelection m_selection;
    Item *m_selectedItem = nullptr;
    ItemActions *m_actions;
    // The search the shown list was made for, and whether it found anything.
    QString m_listQuery;
    bool m_listFound = false;
    QSplitter *m_splitter;
    Sidebar *m_sidebar;
    ContentColumn *m_content;
    DetailColumn *m_detail;
    ItemIntake &m_intake;
    QTimer m_refresh;
    bool m_sidebarStale = true; // set by the changes the sidebar shows
    std::function<bool()> m_closeGuard;
    QLabel *m_readOnlyBanner = nullptr;
    DuplicateNotice *m_duplicateNotice = nullptr;
    QStackedWidget *m_pages = nullptr;
    QPointer<QWidget> m_lockScreen;
    KeptPages *m_keptPages = nullptr;
    QList<QPointer<QAction>> m_lockedActions;
};

} // namespace quillory
