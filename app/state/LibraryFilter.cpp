#include <state/LibraryFilter.h>

#include <model/Item.h>
#include <search/SearchService.h>
#include <state/AppState.h>
#include <state/ItemChanges.h>

#include <algorithm>
#include <utility>

namespace quillory {

namespace {

// The seven-day folders' edge, as of `nowMSecs`.
qint64 cutoffAt(qint64 nowMSecs)
{
    return SmartFolder::cutoff(QDateTime::fromMSecsSinceEpoch(nowMSecs, Qt::UTC))
        .toMSecsSinceEpoch();
}

} // namespace

LibraryFilter::Request LibraryFilter::Request::of(const SidebarSelection &selection,
                                                  const AppState &state,
                                                  const std::vector<Record *> &library)
{
    // A query too short to search by is no query: the first letter typed leaves the list as
    // it was, patched like any other.
    const QString query =
        SearchService::filtersByText(state.searchQuery()) ? state.searchQuery() : QString();
    return Request{selection.smartFolder,
                   selection.folder,
                   query,
                   state.filterTags(),
                   state.contentTypeFilter(),
                   state.showFavoritesOnly(),
                   state.sortOrder(),
                   &library};
}

LibraryFilter::~LibraryFilter()
{
    m_search.cancelDeferred(this);
}

std::vector<Item *> LibraryFilter::shownItems(const std::vector<Record *> &newestFirst,
                                              const SidebarSelection &selection,
                                              const AppState &state, qint64 nowMSecs,
                                              ItemChanges *changes)
{
    return *shownOrDeferred(newestFirst, selection, state, nowMSecs, changes, nullptr);
}

std::optional<std::vector<Item *>>
LibraryFilter::shownItemsOrDefer(const std::vector<Record *> &newestFirst,
                                 const SidebarSelection &selection, const AppState &state,
                                 qint64 nowMSecs, ItemChanges &changes, Delivery later)
{
    return shownOrDeferred(newestFirst, selection, state, nowMSecs, &changes, std::move(later));
}

std::optional<std::vector<Item *>>
LibraryFilter::shownOrDeferred(const std::vector<Record *> &newestFirst,
                               const SidebarSelection &selection, const AppState &state,
                               qint64 nowMSecs, ItemChanges *changes, Delivery later)
{
    m_search.cancelDeferred(this);
    m_waiting.reset();
    const qint64 cutoff = cutoffAt(nowMSecs);
    Request request = Request::of(selection, state, newestFirst);
    if (changes == nullptr || !changes->isEmpty())
        m_selection.forget();
    std::vector<Item *> shown;
    m_patchedLast = changes != nullptr && patchLastShown(*changes, request, cutoff, shown);
    if (!m_patchedLast) {
        std::optional<std::vector<Item *>> made =
            freshlyShown(newestFirst, request, cutoff, changes, std::move(later));
        if (!made)
            return std::nullopt;
        shown = std::move(*made);
    }
    remember(std::move(request), shown, changes);
    return shown;
}

void LibraryFilter::remember(Request request, const std::vector<Item *> &shown,
                             ItemChanges *changes)
{
    m_lastRequest.reset();
    if (changes != nullptr) {
        changes->clear();
        m_patch.remember(shown);
        m_lastRequest = std::move(request);
    }
}

std::optional<std::vector<Item *>>
LibraryFilter::freshlyShown(const std::vector<Record *> &newestFirst, const Request &request,
                            qint64 cutoff, ItemChanges *changes, Delivery later)
{
    std::shared_ptr<const std::vector<Item *>> selected =
        m_selection.walk(newestFirst, request.smartFolder, request.folder, cutoff);
    if (!later) {
        std::vector<Item *> shown = passing(*selected, request);
        sort(shown, request.order, newestFirst);
        return shown;
    }
    // The list is made from the library as it is now; what changes while a search runs is
    // counted from here, so the last list can no longer be patched.
    m_lastRequest.reset();
    changes->clear();
    const auto arrived = [this, request, changes, later](std::vector<Item *> found) {
        handOver({request, std::move(found), changes, later});
    };
    const bool archivedToo = request.smartFolder == SmartFolder::Archived;
    std::optional<std::vector<Item *>> shown =
        m_search.filterOrDefer(this, std::move(selected), request.query, request.tags, request.type,
                               request.favoritesOnly, archivedToo, arrived);
    if (!shown || waitsForRanks(*shown, request, changes, later))
        return std::nullopt;
    sort(*shown, request.order, newestFirst);
    return shown;
}

bool LibraryFilter::waitsForRanks(std::vector<Item *> &items, const Request &request,
                                  ItemChanges *changes, const Delivery &later)
{
    // Ranking a large library's titles takes longer than a frame: the window shows the list
    // it has until they are.
    if (request.order.key() != SortOrder::Key::Title ||
        request.library->size() < m_titles.ranks().backgroundThreshold() ||
        m_titles.ranks().place(items, *request.library))
        return false;
    m_waiting = Waiting{request, std::move(items), changes, later};
    m_titles.ranks().rankInBackground(*request.library, [this] {
        if (m_waiting)
            handOver(*std::exchange(m_waiting, std::nullopt));
    });
    return true;
}

void LibraryFilter::handOver(Waiting waiting)
{
    if (!waiting.changes->isEmpty() ||
        waitsForRanks(waiting.items, waiting.request, waiting.changes, waiting.later))
        return;
    sort(waiting.items, waiting.request.order, *waiting.request.library);
    remember(waiting.request, waiting.items, waiting.changes);
    waiting.later(std::move(waiting.items));
}

std::vector<Item *> LibraryFilter::shownAmong(const std::vector<Item *> &candidates,
                                              const SidebarSelection &selection,
                                              const AppState &state, qint64 nowMSecs)
{
    const qint64 cutoff = cutoffAt(nowMSecs);
    std::vector<Item *> selected;
    for (Item *item : candidates) {
        if (SelectionWalk::contains(*item, selection.smartFolder, selection.folder, cutoff))
            selected.push_back(item);
    }
    const std::vector<Record *> noLibrary;
    Request request = Request::of(selection, state, noLibrary);
    request.query.clear();
    return passing(selected, request);
}

std::vector<Item *> LibraryFilter::passing(const std::vector<Item *> &candidates,
                                           const Request &request)
{
    const bool archivedToo = request.smartFolder == SmartFolder::Archived;
    return m_search.filter(candidates, request.query, request.tags, request.type,
                           request.favoritesOnly, nullptr, archivedToo);
}

bool LibraryFilter::patchLastShown(const ItemChanges &changes, const Request &request,
                                   qint64 cutoff, std::vector<Item *> &shown)
{
    // A query orders by scores the last list did not keep, and the seven-day folders
    // change with the clock alone.
    if (!m_lastRequest || changes.isWholesale() || !(request == *m_lastRequest) ||
        !request.query.isEmpty() || SelectionWalk::followsClock(request.smartFolder))
        return false;
    if (changes.touched().empty()) {
        shown = m_patch.last();
        return true;
    }
    std::vector<Item *> arrivals;
    for (Item *item : changes.present()) {
        if (SelectionWalk::contains(*item, request.smartFolder, request.folder, cutoff))
            arrivals.push_back(item);
    }
    arrivals = passing(arrivals, request);
    const SortOrder order = request.order;
    if (order.key() == SortOrder::Key::Title && !m_titles.ranks().place(arrivals, *request.library))
        return false;
    // Another filter may have ranked the titles since (a benchmark's, a test's): the
    // items looked at while placing the arrivals tell.
    bool foreignRanks = false;
    const auto before = [this, order, &foreignRanks](const Item *a, const Item *b) {
        if (order.key() == SortOrder::Key::Title &&
            (!m_titles.ranks().isRanked(*a) || !m_titles.ranks().isRanked(*b)))
            foreignRanks = true;
        return isBefore(*a, *b, order);
    };
    std::sort(arrivals.begin(), arrivals.end(), before);

    m_patch.patch(changes.touched(), arrivals, before, shown);
    return !foreignRanks;
}

bool LibraryFilter::isBefore(const Item &a, const Item &b, SortOrder order)
{
    const auto isNewer = [&a, &b] {
        if (a.createdAtMSecs() != b.createdAtMSecs())
            return a.createdAtMSecs() > b.createdAtMSecs();
        return a.sequence() < b.sequence();
    };
    // Every order is stable on top of the library's newest-first one.
    switch (order) {
    case SortOrder::DateAddedDescending:
        break;
    case SortOrder::DateAddedAscending:
        if (a.createdAtMSecs() != b.createdAtMSecs())
            return a.createdAtMSecs() < b.createdAtMSecs();
        break;
    case SortOrder::DateModifiedDescending:
        if (a.modifiedAtMSecs() != b.modifiedAtMSecs())
            return a.modifiedAtMSecs() > b.modifiedAtMSecs();
        break;
    case SortOrder::TitleAscending:
        if (a.layerSlots().titleRank != b.layerSlots().titleRank)
            return a.layerSlots().titleRank < b.layerSlots().titleRank;
        break;
    case SortOrder::TitleDescending:
        if (a.layerSlots().titleRank != b.layerSlots().titleRank)
            return a.layerSlots().titleRank > b.layerSlots().titleRank;
        break;
    }
    return isNewer();
}

void LibraryFilter::sort(std::vector<Item *> &items, SortOrder order,
                         const std::vector<Record *> &library)
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
    case SortOrder::TitleDescending:
        m_titles.sort(items, order == SortOrder::TitleAscending, library);
        return;
    }
}

} // namespace quillory
