#include "LibraryFilter.h"

#include <AppState.h>
#include <Folder.h>
#include <Item.h>
#include <SearchService.h>

#include <QCollator>
#include <algorithm>

namespace quillory {

std::vector<Item *> LibraryFilter::shownItems(const std::vector<Record *> &newestFirst,
                                              const SidebarSelection &selection,
                                              const AppState &state, qint64 nowMSecs)
{
    const qint64 cutoff =
        SmartFolder::cutoff(QDateTime::fromMSecsSinceEpoch(nowMSecs, Qt::UTC)).toMSecsSinceEpoch();
    m_libraryCount = qsizetype(newestFirst.size());
    std::vector<Item *> candidates;
    candidates.reserve(newestFirst.size());
    for (Record *record : newestFirst) {
        auto *item = static_cast<Item *>(record);
        if (selection.smartFolder && !selection.smartFolder->contains(*item, cutoff))
            continue;
        if (selection.folder != nullptr &&
            (item->folder() == nullptr || item->folder()->id() != selection.folder->id()))
            continue;
        candidates.push_back(item);
    }
    const bool archivedToo = selection.smartFolder == SmartFolder::Archived;
    std::vector<Item *> shown =
        m_search.filter(candidates, state.searchQuery(), state.filterTags(),
                        state.contentTypeFilter(), state.showFavoritesOnly(), nullptr, archivedToo);
    sort(shown, state.sortOrder());
    return shown;
}

std::array<int, 6> LibraryFilter::smartFolderCounts(const std::vector<Record *> &items,
                                                    qint64 nowMSecs)
{
    const qint64 cutoff =
        SmartFolder::cutoff(QDateTime::fromMSecsSinceEpoch(nowMSecs, Qt::UTC)).toMSecsSinceEpoch();
    std::array<int, 6> counts{};
    for (const Record *record : items) {
        const auto *item = static_cast<const Item *>(record);
        if (item->isArchived()) {
            ++counts[SmartFolder::Archived];
            continue;
        }
        ++counts[SmartFolder::AllItems];
        if (item->folder() == nullptr)
            ++counts[SmartFolder::Inbox];
        if (item->isFavorite())
            ++counts[SmartFolder::Favorites];
        if (item->createdAtMSecs() >= cutoff)
            ++counts[SmartFolder::RecentlyAdded];
        if (item->accessedAtMSecs() && *item->accessedAtMSecs() >= cutoff)
            ++counts[SmartFolder::RecentlyViewed];
    }
    return counts;
}

const QCollatorSortKey &LibraryFilter::sortKey(const Item *item)
{
    static const QCollator collator = [] {
        QCollator c;
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setNumericMode(true);
        return c;
    }();
    auto it = m_sortKeys.find(item);
    if (it == m_sortKeys.end())
        it = m_sortKeys.insert(item, TitleKey{item->title(), collator.sortKey(item->title())});
    else if (it->title != item->title())
        *it = TitleKey{item->title(), collator.sortKey(item->title())};
    return it->key;
}

void LibraryFilter::sort(std::vector<Item *> &items, SortOrder order)
{
    // The default order leaves the list as the search returned it: newest first, or, while a
    // query is typed, best match first. Any other order the user picks applies as chosen,
    // stable on top of that.
    switch (order) {
    case SortOrder::DateAddedDescending:
        return;
    case SortOrder::DateAddedAscending:
        std::stable_sort(items.begin(), items.end(), [](const Item *a, const Item *b) {
            return a->createdAtMSecs() < b->createdAtMSecs();
        });
        return;
    case SortOrder::DateModifiedDescending:
        std::stable_sort(items.begin(), items.end(), [](const Item *a, const Item *b) {
            return a->modifiedAtMSecs() > b->modifiedAtMSecs();
        });
        return;
    case SortOrder::TitleAscending:
    case SortOrder::TitleDescending: {
        const bool ascending = order == SortOrder::TitleAscending;
        // Keys of deleted items would pile up; drop them all now and then.
        if (m_sortKeys.size() > 2 * m_libraryCount + 1024)
            m_sortKeys.clear();
        for (const Item *item : items)
            sortKey(item);
        std::vector<std::pair<const QCollatorSortKey *, Item *>> keyed;
        keyed.reserve(items.size());
        for (Item *item : items)
            keyed.emplace_back(&m_sortKeys.find(item)->key, item);
        std::stable_sort(keyed.begin(), keyed.end(), [ascending](const auto &a, const auto &b) {
            const int c = a.first->compare(*b.first);
            return ascending ? c < 0 : c > 0;
        });
        for (size_t i = 0; i < items.size(); ++i)
            items[i] = keyed[i].second;
        return;
    }
    }
}

} // namespace quillory
