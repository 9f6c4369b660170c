#include <views/window/MainWindow.h>

#include <views/dialogs/AddURLSheet.h>
#include <views/dialogs/DuplicatesSheet.h>
#include <views/dialogs/FolderEditorSheet.h>
#include <views/dialogs/ItemEditorSheet.h>
#include <views/dialogs/TagEditorSheet.h>
#include <views/widgets/DisplayText.h>
#include <views/widgets/OpenPanel.h>
#include <views/widgets/TagDragItem.h>
#include <views/window/ContentColumn.h>
#include <views/window/ContentHeader.h>
#include <views/window/DetailColumn.h>
#include <views/window/DuplicateNotice.h>
#include <views/window/ItemActions.h>
#include <views/window/ItemContextMenu.h>
#include <views/window/ItemGridView.h>
#include <views/window/ItemListModel.h>
#include <views/window/Sidebar.h>

#include <intake/ItemIntake.h>
#include <model/Clock.h>
#include <model/LibraryStore.h>
#include <model/LiveList.h>
#include <search/SearchService.h>
#include <state/AppState.h>
#include <text/CountedNoun.h>

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace quillory {

MainWindow::MainWindow(AppState &state, LibraryStore &store, SearchService &search,
                       FileRevealer &revealer, ItemIntake &intake, QWidget *parent)
    : QMainWindow(parent), m_state(state), m_store(store), m_links(this, m_sheets),
      m_search(search), m_filter(search), m_pageMatches(store, m_filter), m_counts(store),
      m_changes(store), m_items(LiveList::itemsByCreatedAt(store, Qt::DescendingOrder)),
      m_folders(LiveList::foldersBySortOrder(store)), m_tags(LiveList::tagsBySortOrder(store)),
      m_actions(new ItemActions(state, store, revealer, m_links, m_sheets, *this)),
      m_splitter(new QSplitter(this)), m_sidebar(new Sidebar(m_splitter)),
      m_content(new ContentColumn(state, m_thumbnails, m_splitter)),
      m_detail(new DetailColumn(store, *m_actions, m_sheets, m_splitter)), m_intake(intake)
{
    setObjectName(identifier);
    setWindowTitle(QStringLiteral("Quillory"));
    resize(1200, 800);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->addWidget(m_sidebar);
    m_splitter->addWidget(m_content);
    m_splitter->addWidget(m_detail);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setStretchFactor(2, 1);
    m_splitter->setSizes({240, 560, 400});
    auto *library = new QWidget(this);
    auto *column = new QVBoxLayout(library);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    if (store.isReadOnly()) {
        buildReadOnlyBanner();
        column->addWidget(m_readOnlyBanner);
        m_content->setAcceptDrops(false);
        m_content->header().setEditable(false);
        m_sidebar->setEditable(false);
    }
    m_duplicateNotice = new DuplicateNotice(library);
    column->addWidget(m_duplicateNotice);
    column->addWidget(m_splitter, 1);
    // The library and, while it is locked, the unlock screen take turns in the window.
    m_pages = new QStackedWidget(this);
    m_pages->addWidget(library);
    setCentralWidget(m_pages);

    m_refresh.setSingleShot(true);
    m_refresh.setInterval(0);
    connect(&m_refresh, &QTimer::timeout, this, &MainWindow::refresh);

    connect(&store, &LibraryStore::recordsInserted, this, &MainWindow::scheduleRefresh);
    connect(&store, &LibraryStore::recordsRemoved, this, &MainWindow::scheduleRefresh);
    connect(&store, &LibraryStore::recordChanged, this, [this](Record *record) {
        if (record->kind() == RecordKind::Item)
            m_thumbnails.forget(record->id());
        scheduleRefresh();
    });
    connect(&store, &LibraryStore::recordsAboutToBeRemoved, this,
            [this](RecordKind, const QList<Record *> &records) { forget(records); });

    // The sidebar's counts ignore the search and the filters; only its tag marks follow them.
    connect(&state, &AppState::filterTagsChanged, this, &MainWindow::scheduleRefresh);
    for (auto signal : {&AppState::searchQueryChanged, &AppState::showFavoritesOnlyChanged,
                        &AppState::sortOrderChanged, &AppState::contentTypeFilterChanged})
        connect(&state, signal, this, &MainWindow::scheduleListRefresh);
    connect(&state, &AppState::showNewFolderSheetChanged, this, [this] {
        if (m_state.showNewFolderSheet())
            QMetaObject::invokeMethod(this, &MainWindow::openNewFolderSheet, Qt::QueuedConnection);
    });
    connect(&state, &AppState::isSearchFocusedChanged, this, &MainWindow::focusSearch);
    // A new window starts with the preferred view; switching it later is the window's own.
    state.setViewMode(state.preferences().preferredViewMode());
    m_sidebar->setCountsShown(state.preferences().showItemCounts());
    connect(&state.preferences(), &Preferences::changed, this,
            [this] { m_sidebar->setCountsShown(m_state.preferences().showItemCounts()); });
    connect(&state, &AppState::showNewTagSheetChanged, this, [this] {
        if (m_state.showNewTagSheet())
            QMetaObject::invokeMethod(this, &MainWindow::openNewTagSheet, Qt::QueuedConnection);
    });
    connect(&state, &AppState::editingItemChanged, this, [this] {
        if (m_state.editingItem() != nullptr)
            QMetaObject::invokeMethod(this, &MainWindow::openItemEditor, Qt::QueuedConnection);
    });
    connect(&state, &AppState::showErrorAlertChanged, this, [this] {
        if (m_state.showErrorAlert())
            QMetaObject::invokeMethod(this, &MainWindow::showErrorAlert, Qt::QueuedConnection);
    });
    // An error reported while no window was open is shown as soon as this one is.
    if (state.showErrorAlert())
        QMetaObject::invokeMethod(this, &MainWindow::showErrorAlert, Qt::QueuedConnection);

    QLineEdit *searchField = m_sidebar->searchField();
    searchField->setText(state.searchQuery());
    connect(searchField, &QLineEdit::textChanged, &state, &AppState::setSearchQuery);
    connect(&state, &AppState::searchQueryChanged, this, [this, searchField] {
        if (searchField->text() != m_state.searchQuery())
            searchField->setText(m_state.searchQuery());
    });
    // A query joins the recent ones when typing pauses on it, not at every keystroke.
    connect(&state, &AppState::searchQueryChanged, this,
            [this] { m_search.setSearchQuery(m_state.searchQuery()); });
    connect(&search, &SearchService::debouncedQueryChanged, this, &MainWindow::rememberSearch);
    connect(&m_pageMatches, &PageMatches::found, this, &MainWindow::appendPageMatches);
    m_sidebar->setRecentSearches(search.recentSearches());
    connect(&search, &SearchService::recentSearchesChanged, this,
            [this] { m_sidebar->setRecentSearches(m_search.recentSearches()); });

    connect(m_sidebar, &Sidebar::smartFolderClicked, this, &MainWindow::chooseSmartFolder);
    connect(m_sidebar, &Sidebar::folderClicked, this,
            [this](const QUuid &id, bool isRoot) { chooseFolder(m_store.folder(id), isRoot); });
    connect(m_sidebar, &Sidebar::tagClicked, this,
            [this](const QUuid &id) { toggleFilterTag(m_store.tag(id)); });
    connect(m_sidebar, &Sidebar::resultsRequested, m_content, &ContentColumn::focusItems);
    connect(m_sidebar, &Sidebar::newFolderRequested, this,
            [this] { m_state.setShowNewFolderSheet(true); });
    connect(m_sidebar, &Sidebar::editFolderRequested, this,
            [this](const QUuid &id) { editFolder(m_store.folder(id)); });
    connect(m_sidebar, &Sidebar::editTagRequested, this, [this](const QUuid &id) {
        if (Tag *tag = m_store.tag(id)) {
            TagEditorSheet sheet(m_store, tag, this);
            m_sheets.run(sheet);
        }
    });
    // Deleting a tag only unlinks it from its items; the items stay.
    connect(m_sidebar, &Sidebar::deleteTagRequested, this,
            [this](const QUuid &id) { m_store.remove(m_store.tag(id)); });
    connect(m_sidebar, &Sidebar::deleteFolderRequested, this,
            [this](const QUuid &id) { deleteFolder(m_store.folder(id)); });

    connect(m_content, &ContentColumn::itemSelected, this, &MainWindow::selectItem);
    connect(m_content, &ContentColumn::contextMenuRequested, this, &MainWindow::showContextMenu);
    connect(m_content, &ContentColumn::tagsDropped, this,
            [this](Item *item, const QMimeData &mime) {
                if (!m_store.isReadOnly())
                    TagDragItem::addTo(*item, m_store, mime);
            });
    addItemShortcuts();
    buildAddMenu();
    followIntake();

    refresh();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildAddMenu()
{
    QMenu *menu = m_content->header().addMenu();
    menu->addAction(QStringLiteral("Paste from Clipboard"), &m_intake,
                    &ItemIntake::pasteFromClipboard);
    menu->addAction(QStringLiteral("Add URL..."), this, &MainWindow::openAddURLSheet);
    menu->addAction(QStringLiteral("Add Image from File..."), this, &MainWindow::addImageFromFile);
    menu->addAction(QStringLiteral("Add Document from File..."), this,
                    &MainWindow::addDocumentFromFile);
    menu->addSeparator();
    menu->addAction(QStringLiteral("New Folder"), this,
                    [this] { m_state.setShowNewFolderSheet(true); });
    menu->addAction(QStringLiteral("New Tag"), this, [this] { m_state.setShowNewTagSheet(true); });
}

void MainWindow::followIntake()
{
    // A new item is shown at once; its picture and page details follow when they arrive.
    // Selected so the user sees what arrived, but not yet viewed: adding a batch of links
    // must not fill Recently Viewed.
    connect(&m_intake, &ItemIntake::itemCreated, this, &MainWindow::showSelected);
    connect(&m_intake, &ItemIntake::alreadyInLibrary, this,
            [this](Item *, Item *existing) { m_duplicateNotice->announce(*existing); });
    connect(m_duplicateNotice, &DuplicateNotice::showRequested, this, &MainWindow::revealItem);
    connect(m_content, &ContentColumn::dropped, &m_intake, &ItemIntake::handleDrop);
}

void MainWindow::setKeptPages(KeptPages *pages)
{
    m_keptPages = pages;
    m_actions->setKeptPages(pages);
    m_detail->detail().setKeptPages(pages);
    m_pageMatches.setPages(pages);
    m_pageMatches.follow(m_listQuery);
}

void MainWindow::openAddURLSheet()
{
    AddURLSheet sheet([this](const QUrl &url) { m_intake.createItem(url); }, this);
    m_sheets.run(sheet);
}

void MainWindow::findDuplicates()
{
    DuplicatesSheet sheet(m_store, this);
    m_sheets.run(sheet);
}

void MainWindow::addImageFromFile()
{
    if (const auto path = OpenPanel::chooseImage(this, m_sheets))
        m_intake.addImageFile(*path);
}

void MainWindow::addDocumentFromFile()
{
    if (const auto path = OpenPanel::chooseDocument(this, m_sheets))
        m_intake.createFileItem(QUrl::fromLocalFile(*path));
}

void MainWindow::scheduleRefresh()
{
    m_sidebarStale = true;
    scheduleListRefresh();
}

void MainWindow::scheduleListRefresh()
{
    if (!m_refresh.isActive())
        m_refresh.start();
}

void MainWindow::refreshNow()
{
    m_refresh.stop();
    m_sidebarStale = true;
    refresh();
}

void MainWindow::refresh()
{
    // A long search hands its list over later; until then the last list stays. Any change to
    // the library meanwhile schedules another refresh, which makes it again.
    std::optional<std::vector<Item *>> shown = m_filter.shownItemsOrDefer(
        m_items->records(), m_selection, m_state, Clock::nowMSecs(), m_changes,
        [this](std::vector<Item *> found) { showList(std::move(found)); });
    if (std::exchange(m_sidebarStale, false))
        refreshSidebar();
    if (shown)
        showList(std::move(*shown));
}

void MainWindow::showList(std::vector<Item *> items)
{
    m_listQuery = m_state.searchQuery();
    m_pageMatches.follow(m_listQuery);
    showWithPageMatches(std::move(items));
}

void MainWindow::showWithPageMatches(std::vector<Item *> items)
{
    ItemListModel::Snippets snippets;
    for (PageMatches::Found &found :
         m_pageMatches.beyond(items, m_listQuery, m_selection, m_state, Clock::nowMSecs())) {
        items.push_back(found.item);
        snippets.insert(found.item, std::move(found.match));
    }
    m_listFound = !items.empty();
    rememberSearch();
    m_content->setTitle(contentTitle());
    m_content->showItems(std::move(items), m_selectedItem, std::move(snippets));
    emit refreshed();
}

void MainWindow::appendPageMatches()
{
    // The rows with snippets are the last answer's, at the end of the list.
    const ItemListModel &model = m_content->model();
    std::vector<Item *> items = model.items();
    while (!items.empty() && model.hasSnippet(items.back()))
        items.pop_back();
    showWithPageMatches(std::move(items));
}

void MainWindow::rememberSearch()
{
    const QString query = m_search.debouncedQuery();
    if (m_listFound && query == m_listQuery && SearchService::filtersByText(query))
        m_search.addRecentSearch(query);
}

void MainWindow::refreshSidebar()
{
    m_counts.update(Clock::nowMSecs());
    m_sidebar->update(*m_folders, *m_tags, m_counts, m_selection, m_state.filterTags());
}

QString MainWindow::contentTitle() const
{
    if (m_selection.folder != nullptr)
        return m_selection.folder->name();
    if (m_selection.smartFolder)
        return m_selection.smartFolder->title();
    return QStringLiteral("All Items");
}

void MainWindow::chooseSmartFolder(SmartFolder folder)
{
    m_selection.smartFolder = folder;
    m_selection.folder = nullptr;
    scheduleRefresh();
}

void MainWindow::chooseFolder(Folder *folder, bool isRoot)
{
    if (folder == nullptr)
        return;
    if (isRoot)
        m_selection.smartFolder.reset();
    m_selection.folder = folder;
    scheduleRefresh();
}

void MainWindow::toggleFilterTag(Tag *tag)
{
    if (tag == nullptr)
        return;
    QList<Tag *> tags = m_state.filterTags();
    const qsizetype before = tags.size();
    tags.removeIf([tag](const Tag *t) { return *t == *tag; });
    if (tags.size() == before)
        tags.append(tag);
    m_state.setFilterTags(tags);
}

void MainWindow::selectItem(Item *item)
{
    if (item == m_selectedItem)
        return;
    showSelected(item);
    // Showing an item is viewing it: Recently Viewed follows accessedAt, not modifiedAt.
    if (item != nullptr)
        item->setAccessedAt(Clock::now());
}

void MainWindow::showSelected(Item *item)
{
    m_selectedItem = item;
    m_actions->setItem(item);
    m_content->revealItem(item);
    m_detail->showItem(item);
}

void MainWindow::toggleSidebar()
{
    m_sidebar->setVisible(!m_sidebar->isVisible());
}

void MainWindow::forget(const QList<Record *> &records)
{
    for (const Record *r : records) {
        if (r == m_selectedItem) {
            m_selectedItem = nullptr;
            m_detail->showItem(nullptr);
        }
        if (r == m_selection.folder) {
            // The folder's list is gone with it; fall back to everything.
            m_selection.folder = nullptr;
            if (!m_selection.smartFolder)
                m_selection.smartFolder = SmartFolder(SmartFolder::AllItems);
        }
    }
    // The shown list still points at these records: drop them before they are destroyed.
    m_content->forgetItems(records);
    scheduleRefresh();
}

void MainWindow::showContextMenu(Item *item, const QPoint &globalPosition)
{
    // The row under the pointer was selected first, so the shared actions act on it.
    if (item != m_selectedItem)
        selectItem(item);
    ItemContextMenu menu(*m_actions, m_tags->records(), m_store, this);
    menu.exec(globalPosition);
}

void MainWindow::openNewFolderSheet()
{
    if (!m_state.showNewFolderSheet())
        return;
    FolderEditorSheet sheet(m_store, nullptr, this);
    m_sheets.run(sheet);
    m_state.setShowNewFolderSheet(false);
}

void MainWindow::addItemShortcuts()
{
    // The item keys act on the selected item while the item list has focus.
    ItemGridView *view = m_content->view();
    m_actions->addKeysTo(*view);
    // A double click selects its row first.
    connect(view, &QAbstractItemView::doubleClicked, m_actions->open(), &QAction::trigger);
}

void MainWindow::openNewTagSheet()
{
    if (!m_state.showNewTagSheet())
        return;
    TagEditorSheet sheet(m_store, nullptr, this);
    m_sheets.run(sheet);
    m_state.setShowNewTagSheet(false);
}

void MainWindow::openItemEditor()
{
    Item *item = m_state.editingItem();
    if (item == nullptr)
        return;
    ItemEditorSheet sheet(m_store, *item, this);
    m_sheets.run(sheet);
    m_state.setEditingItem(nullptr);
}

void MainWindow::editFolder(Folder *folder)
{
    if (folder == nullptr)
        return;
    FolderEditorSheet sheet(m_store, folder, this);
    m_sheets.run(sheet);
}

void MainWindow::deleteFolder(Folder *folder)
{
    if (folder == nullptr)
        return;
    const QUuid id = folder->id();
    const qsizetype below = folder->allDescendants().size();
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Delete Folder"),
                    QStringLiteral("Delete the folder \u201C%1\u201D?")
                        .arg(DisplayText::bounded(folder->name())),
                    QMessageBox::Cancel, this);
    box.setInformativeText(
        below == 1  ? QStringLiteral("Its sub-folder is deleted too. The items in it stay in "
                                      "your library, in the Inbox.")
        : below > 1 ? QStringLiteral("Its %1 are deleted too. The items in them stay in your "
                                     "library, in the Inbox.")
                          .arg(CountedNoun::of(below, QStringLiteral("sub-folder"),
                                               QStringLiteral("sub-folders")))
                    : QStringLiteral("The items in it stay in your library, in the Inbox."));
    DisplayText::makePlain(box);
    QPushButton *confirm = box.addButton(QStringLiteral("Delete"), QMessageBox::DestructiveRole);
    box.setDefaultButton(QMessageBox::Cancel);
    m_sheets.run(box);
    // Looked up again: the folder may have gone while the question was open.
    if (box.clickedButton() == confirm)
        m_store.remove(m_store.folder(id));
}

void MainWindow::showErrorAlert()
{
    // Another error may arrive while one is shown; it gets its own turn afterwards.
    std::optional<AppError> shown;
    while (m_state.showErrorAlert() && m_state.currentError() && m_state.currentError() != shown) {
        shown = m_state.currentError();
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Quillory"),
                        DisplayText::bounded(shown->errorDescription(), DisplayText::blockLimit),
                        QMessageBox::Ok, this);
        box.setInformativeText(shown->recoverySuggestion());
        DisplayText::makePlain(box);
        m_sheets.run(box);
    }
    m_state.setShowErrorAlert(false);
}

void MainWindow::setLockScreen(QWidget *screen)
{
    if (screen == m_lockScreen)
        return;
    if (m_lockScreen) {
        m_pages->removeWidget(m_lockScreen);
        m_lockScreen->deleteLater();
    }
    m_lockScreen = screen;
    // The item's actions keep their own state, which the window's loop below would lose.
    m_actions->setLocked(screen != nullptr);
    if (screen != nullptr) {
        m_pages->addWidget(screen);
        m_pages->setCurrentWidget(screen);
        for (QAction *menu : menuBar()->actions()) {
            const QList<QAction *> commands =
                menu->menu() ? menu->menu()->actions() : QList<QAction *>{menu};
            for (QAction *command : commands) {
                if (command->menuRole() != QAction::QuitRole && command->isEnabled() &&
                    !command->isSeparator()) {
                    command->setEnabled(false);
                    m_lockedActions.append(command);
                }
            }
        }
        return;
    }
    m_pages->setCurrentIndex(0);
    for (const QPointer<QAction> &command : std::as_const(m_lockedActions)) {
        if (command)
            command->setEnabled(true);
    }
    m_lockedActions.clear();
    m_content->view()->setFocus();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_closeGuard && !m_closeGuard()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::buildReadOnlyBanner()
{
    m_readOnlyBanner = new QLabel(
        QStringLiteral("This library can only be read: you can browse and search it, but "
                       "changes are not possible."),
        this);
    m_readOnlyBanner->setObjectName(QStringLiteral("readOnlyBanner"));
    m_readOnlyBanner->setWordWrap(true);
    m_readOnlyBanner->setContentsMargins(12, 6, 12, 6);
    m_readOnlyBanner->setStyleSheet(
        QStringLiteral("QLabel { background: rgba(255, 204, 0, 60); }"));
}

void MainWindow::revealItem(const QUuid &itemId)
{
    Item *item = m_store.item(itemId);
    if (item == nullptr)
        return;
    // Wherever the window was, the item must be in the list to be selected there.
    m_state.setSearchQuery(QString());
    m_state.clearFilterTags();
    m_state.setShowFavoritesOnly(false);
    m_state.setContentTypeFilter(std::nullopt);
    m_state.setSelectedFolder(nullptr);
    chooseSmartFolder(item->isArchived() ? SmartFolder::Archived : SmartFolder::AllItems);
    refreshNow();
    selectItem(item);
}

void MainWindow::focusSearch()
{
    if (!m_state.isSearchFocused())
        return;
    m_sidebar->setVisible(true);
    m_sidebar->searchField()->setFocus(Qt::ShortcutFocusReason);
    m_sidebar->searchField()->selectAll();
    m_state.setSearchFocused(false);
}

} // namespace quillory
