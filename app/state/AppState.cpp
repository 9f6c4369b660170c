#include <state/AppState.h>

#include <model/LibraryStore.h>

#include <QSet>
#include <algorithm>

namespace quillory {

namespace {

QList<Tag *> withoutDuplicateIds(const QList<Tag *> &tags)
{
    QList<Tag *> unique;
    QSet<QUuid> seen;
    for (Tag *t : tags) {
        if (t != nullptr && !seen.contains(t->id())) {
            seen.insert(t->id());
            unique.append(t);
        }
    }
    return unique;
}

bool sameTagSet(const QList<Tag *> &a, const QList<Tag *> &b)
{
    if (a.size() != b.size())
        return false;
    return std::all_of(a.cbegin(), a.cend(), [&b](const Tag *t) {
        return std::any_of(b.cbegin(), b.cend(), [t](const Tag *u) { return *t == *u; });
    });
}

} // namespace

AppState::AppState(std::unique_ptr<QSettings> preferences, QObject *parent)
    : QObject(parent), m_preferences(std::move(preferences))
{
}

template <typename T> void AppState::assign(T &member, const T &value, void (AppState::*changed)())
{
    if (member == value)
        return;
    member = value;
    emit(this->*changed)();
}

void AppState::followStore(LibraryStore &store)
{
    connect(&store, &LibraryStore::recordsAboutToBeRemoved, this,
            [this](RecordKind, const QList<Record *> &records) { forget(records); });
}

void AppState::forget(const QList<Record *> &records)
{
    const QSet<const Record *> gone(records.cbegin(), records.cend());
    if (gone.contains(m_selectedFolder))
        setSelectedFolder(nullptr);
    if (gone.contains(m_selectedItem))
        setSelectedItem(nullptr);
    if (gone.contains(m_editingItem))
        setEditingItem(nullptr);
    QList<Tag *> kept = m_filterTags;
    kept.removeIf([&gone](const Tag *t) { return gone.contains(t); });
    if (kept.size() != m_filterTags.size()) {
        m_filterTags = kept; // by pointer, since a removed tag may share its id with a kept one
        emit filterTagsChanged();
    }
}

void AppState::setSelectedFolder(Folder *folder)
{
    assign(m_selectedFolder, folder, &AppState::selectedFolderChanged);
}
void AppState::setSelectedItem(Item *item)
{
    assign(m_selectedItem, item, &AppState::selectedItemChanged);
}
void AppState::setNavigationPath(const QStringList &path)
{
    assign(m_navigationPath, path, &AppState::navigationPathChanged);
}
void AppState::setSearchQuery(const QString &query)
{
    assign(m_searchQuery, query, &AppState::searchQueryChanged);
}
void AppState::setShowFavoritesOnly(bool on)
{
    assign(m_showFavoritesOnly, on, &AppState::showFavoritesOnlyChanged);
}
void AppState::setSortOrder(SortOrder order)
{
    assign(m_sortOrder, order, &AppState::sortOrderChanged);
}
void AppState::setViewMode(ViewMode mode)
{
    assign(m_viewMode, mode, &AppState::viewModeChanged);
}
void AppState::setContentTypeFilter(std::optional<ItemType> type)
{
    assign(m_contentTypeFilter, type, &AppState::contentTypeFilterChanged);
}
void AppState::setSearchFocused(bool focused)
{
    assign(m_isSearchFocused, focused, &AppState::isSearchFocusedChanged);
}
void AppState::setShowNewFolderSheet(bool show)
{
    assign(m_showNewFolderSheet, show, &AppState::showNewFolderSheetChanged);
}
void AppState::setShowNewTagSheet(bool show)
{
    assign(m_showNewTagSheet, show, &AppState::showNewTagSheetChanged);
}
void AppState::setShowImportSheet(bool show)
{
    assign(m_showImportSheet, show, &AppState::showImportSheetChanged);
}
void AppState::setShowExportSheet(bool show)
{
    assign(m_showExportSheet, show, &AppState::showExportSheetChanged);
}
void AppState::setShowSettings(bool show)
{
    assign(m_showSettings, show, &AppState::showSettingsChanged);
}
void AppState::setEditingItem(Item *item)
{
    assign(m_editingItem, item, &AppState::editingItemChanged);
}
void AppState::setCurrentError(const std::optional<AppError> &error)
{
    assign(m_currentError, error, &AppState::currentErrorChanged);
}
void AppState::setShowErrorAlert(bool show)
{
    assign(m_showErrorAlert, show, &AppState::showErrorAlertChanged);
}
void AppState::setLoading(bool loading)
{
    assign(m_isLoading, loading, &AppState::isLoadingChanged);
}
void AppState::setLoadingMessage(const QString &message)
{
    assign(m_loadingMessage, message, &AppState::loadingMessageChanged);
}
void AppState::setUnlocked(bool unlocked)
{
    assign(m_isUnlocked, unlocked, &AppState::isUnlockedChanged);
}

void AppState::setFilterTags(const QList<Tag *> &tags)
{
    const QList<Tag *> unique = withoutDuplicateIds(tags);
    if (sameTagSet(unique, m_filterTags))
        return;
    m_filterTags = unique;
    emit filterTagsChanged();
}

void AppState::clearFilterTags()
{
    m_filterTags.clear();
    emit filterTagsChanged();
}

void AppState::showError(const AppError &error)
{
    setCurrentError(error);
    setShowErrorAlert(true);
}

} // namespace quillory
