#pragma once

#include <state/AppError.h>
#include <state/Preferences.h>
#include <state/SortOrder.h>

#include <model/ItemType.h>

#include <QList>
#include <QObject>
#include <QStringList>
#include <optional>

namespace quillory {

class Folder;
class Item;
class LibraryStore;
class Record;
class Tag;

// The application-wide interface state: the main list's filters and view options, requests
// to open sheets, and the last error. One instance, created before the first window. Each
// setter notifies only when the value really changes. Interface thread only.
// Every property here is kept as the designed model of the app's state even where nothing
// reads it yet (selectedFolder, navigationPath, the import and export requests, isLoading,
// loadingMessage, isUnlocked): views grow into it rather than keeping state of their own.
class AppState final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AppState)

public:
    // `preferences` is where the settings window's choices are kept; without it, the user's
    // own store.
    explicit AppState(std::unique_ptr<QSettings> preferences = {}, QObject *parent = nullptr);

    Preferences &preferences() { return m_preferences; }

    // Drops references to records the store deletes, so no property ever dangles.
    void followStore(LibraryStore &store);

    Folder *selectedFolder() const { return m_selectedFolder; }
    void setSelectedFolder(Folder *folder);
    Item *selectedItem() const { return m_selectedItem; }
    void setSelectedItem(Item *item);
    QStringList navigationPath() const { return m_navigationPath; }
    void setNavigationPath(const QStringList &path);
    QString searchQuery() const { return m_searchQuery; }
    void setSearchQuery(const QString &query);
    // Compared as a set of tags (by id); duplicates are dropped.
    QList<Tag *> filterTags() const { return m_filterTags; }
    void setFilterTags(const QList<Tag *> &tags);
    // Empties the tag filter and notifies even when it was empty already ("Show All Items").
    void clearFilterTags();
    bool showFavoritesOnly() const { return m_showFavoritesOnly; }
    void setShowFavoritesOnly(bool on);
    SortOrder sortOrder() const { return m_sortOrder; }
    void setSortOrder(SortOrder order);
    ViewMode viewMode() const { return m_viewMode; }
    void setViewMode(ViewMode mode);
    std::optional<ItemType> contentTypeFilter() const { return m_contentTypeFilter; }
    void setContentTypeFilter(std::optional<ItemType> type);
    bool isSearchFocused() const { return m_isSearchFocused; }
    void setSearchFocused(bool focused);
    bool showNewFolderSheet() const { return m_showNewFolderSheet; }
    void setShowNewFolderSheet(bool show);
    bool showNewTagSheet() const { return m_showNewTagSheet; }
    void setShowNewTagSheet(bool show);
    bool showImportSheet() const { return m_showImportSheet; }
    void setShowImportSheet(bool show);
    bool showExportSheet() const { return m_showExportSheet; }
    void setShowExportSheet(bool show);
    bool showSettings() const { return m_showSettings; }
    void setShowSettings(bool show);
    Item *editingItem() const { return m_editingItem; }
    void setEditingItem(Item *item);
    std::optional<AppError> currentError() const { return m_currentError; }
    void setCurrentError(const std::optional<AppError> &error);
    bool showErrorAlert() const { return m_showErrorAlert; }
    void setShowErrorAlert(bool show);
    bool isLoading() const { return m_isLoading; }
    void setLoading(bool loading);
    QString loadingMessage() const { return m_loadingMessage; }
    void setLoadingMessage(const QString &message);
    bool isUnlocked() const { return m_isUnlocked; }
    void setUnlocked(bool unlocked);

    // Records the error, then raises showErrorAlert.
    void showError(const AppError &error);

signals:
    void selectedFolderChanged();
    void selectedItemChanged();
    void navigationPathChanged();
    void searchQueryChanged();
    void filterTagsChanged();
    void showFavoritesOnlyChanged();
    void sortOrderChanged();
    void viewModeChanged();
    void contentTypeFilterChanged();
    void isSearchFocusedChanged();
    void showNewFolderSheetChanged();
    void showNewTagSheetChanged();
    void showImportSheetChanged();
    void showExportSheetChanged();
    void showSettingsChanged();
    void editingItemChanged();
    void currentErrorChanged();
    void showErrorAlertChanged();
    void isLoadingChanged();
    void loadingMessageChanged();
    void isUnlockedChanged();

private:
    template <typename T> void assign(T &member, const T &value, void (AppState::*changed)());
    void forget(const QList<Record *> &records);

    Folder *m_selectedFolder = nullptr;
    Item *m_selectedItem = nullptr;
    QStringList m_navigationPath;
    QString m_searchQuery;
    QList<Tag *> m_filterTags;
    bool m_showFavoritesOnly = false;
    SortOrder m_sortOrder = SortOrder::DateAddedDescending;
    Preferences m_preferences;
    ViewMode m_viewMode = ViewMode::Grid;
    std::optional<ItemType> m_contentTypeFilter;
    bool m_isSearchFocused = false;
    bool m_showNewFolderSheet = false;
    bool m_showNewTagSheet = false;
    bool m_showImportSheet = false;
    bool m_showExportSheet = false;
    bool m_showSettings = false;
    Item *m_editingItem = nullptr;
    std::optional<AppError> m_currentError;
    bool m_showErrorAlert = false;
    bool m_isLoading = false;
    QString m_loadingMessage;
    bool m_isUnlocked = true;
};

} // namespace quillory
