#include <state/LibraryFilter.h>

#include <model/Folder.h>
#include <model/Item.h>
#include <model/PrefetchAhead.h>
#include <search/SearchService.h>
#include <state/AppState.h>
#include <state/ItemChanges.h>

#include <algorithm>
#include <array>
#include <utility>

namespace quillory {

namespace {

// A few pointers asked about once per item of a large list: a small open-addressed table
// answers in one or two probes.
class PointerSet final
{
public:
    explicit PointerSet(const std::vector<const Item *> &pointers)
    {
        while ((size_t(1) << m_bits) < 4 * pointers.size())
            ++m_bits;
        m_slots.assign(size_t(1) << m_bits, nullptr);
        for (const Item *p : pointers) {
            size_t at = slotOf(p);
            while (m_slots[at] != nullptr && m_slots[at] != p)
                at = (at + 1) & (m_slots.size() - 1);
            m_slots[at] = p;
        }
    }

    bool contains(const Item *p) const
    {
        for (size_t at = slotOf(p);; at = (at + 1) & (m_slots.size() - 1)) {
            if (m_slots[at] == p)
                return true;
            if (m_slots[at] == nullptr)
                return false;
        }
    }

private:
    size_t slotOf(const Item *p) const
    {
        return size_t((quint64(quintptr(p)) * 0x9E3779B97F4A7C15ull) >> (64 - m_bits));
    }

    int m_bits = 4;
    std::vector<const Item *> m_slots;
};

// The items of `list` but `gone`, in order, into `kept`. One or a few gone items (an add, a
// rename, a deletion) are found with a plain scan each and the runs between them copied
// whole, which is several times faster over a large list than asking the set per item.
void copyWithout(const std::vector<Item *> &list, const std::vector<const Item *> &gone,
                 std::vector<Item *> &kept)
{
    kept.clear();
    constexpr size_t fewGone = 4;
    if (gone.size() > fewGone) {
        const PointerSet set(gone);
        for (Item *item : list) {
            if (!set.contains(item))
                kept.push_back(item);
        }
        return;
    }
    std::vector<size_t> rows;
    rows.reserve(gone.size());
    for (const Item *item : gone) {
        const auto at = std::find(list.cbegin(), list.cend(), item);
        if (at != list.cend())
            rows.push_back(size_t(at - list.cbegin()));
    }
    std::sort(rows.begin(), rows.end());
    kept.reserve(list.size());
    size_t from = 0;
    for (const size_t row : rows) {
        if (row < from)
            continue; // the same item named twice
        kept.insert(kept.end(), list.cbegin() + qsizetype(from), list.cbegin() + qsizetype(row));
        from = row + 1;
    }
    kept.insert(kept.end(), list.cbegin() + qsizetype(from), list.cend());
}

bool isInSelection(const Item &item, const std::optional<SmartFolder> &smartFolder,
                   const Folder *folder, qint64 cutoff)
{
    if (smartFolder && !smartFolder->contains(item, cutoff))
        return false;
    return folder == nullptr || (item.folder() != nullptr && item.folder()->id() == folder->id());
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
    const qint64 cutoff =
        SmartFolder::cutoff(QDateTime::fromMSecsSinceEpoch(nowMSecs, Qt::UTC)).toMSecsSinceEpoch();
    Request request = Request::of(selection, state, newestFirst);
    if (changes == nullptr || !changes->isEmpty())
        m_selectedFor.reset();
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
        m_lastShown = shown;
        m_lastRequest = std::move(request);
    }
}

std::shared_ptr<const std::vector<Item *>>
LibraryFilter::selectedItems(const std::vector<Record *> &newestFirst, const Request &request,
                             qint64 cutoff)
{
    const auto sameSelection = [&request](const Request &walked) {
        return walked.library == request.library && walked.smartFolder == request.smartFolder &&
               walked.folder == request.folder;
    };
    // The seven-day folders change with the clock alone.
    const bool clockBound = request.smartFolder == SmartFolder::RecentlyAdded ||
                            request.smartFolder == SmartFolder::RecentlyViewed;
    if (m_selected && m_selectedFor && !clockBound && sameSelection(*m_selectedFor))
        return m_selected;
    // The room of the list before, already paged in, unless a search still reads it.
    if (!m_selected || m_selected.use_count() > 1)
        m_selected = std::make_shared<std::vector<Item *>>();
    std::vector<Item *> &selected = *m_selected;
    selected.clear();
    selected.reserve(newestFirst.size());
    for (size_t i = 0; i < newestFirst.size(); ++i) {
        prefetchAhead(newestFirst, i);
        auto *item = static_cast<Item *>(newestFirst[i]);
        if (isInSelection(*item, request.smartFolder, request.folder, cutoff))
            selected.push_back(item);
    }
    m_selectedFor = request;
    return m_selected;
}

std::optional<std::vector<Item *>>
LibraryFilter::freshlyShown(const std::vector<Record *> &newestFirst, const Request &request,
                            qint64 cutoff, ItemChanges *changes, Delivery later)
{
    std::shared_ptr<const std::vector<Item *>> selected =
        selectedItems(newestFirst, request, cutoff);
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
        request.library->size() < m_titles.backgroundThreshold() ||
        m_titles.place(items, *request.library))
        return false;
    m_waiting = Waiting{request, std::move(items), changes, later};
    m_titles.rankInBackground(*request.library, [this] {
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
        !request.query.isEmpty() || request.smartFolder == SmartFolder::RecentlyAdded ||
        request.smartFolder == SmartFolder::RecentlyViewed)
        return false;
    if (changes.touched().empty()) {
        shown = m_lastShown;
        return true;
    }
    std::vector<Item *> arrivals;
    for (Item *item : changes.present()) {
        if (isInSelection(*item, request.smartFolder, request.folder, cutoff))
            arrivals.push_back(item);
    }
    arrivals = passing(arrivals, request);
    const SortOrder order = request.order;
    if (order.key() == SortOrder::Key::Title && !m_titles.place(arrivals, *request.library))
        return false;
    // Another filter may have ranked the titles since (a benchmark's, a test's): the
    // items looked at while placing the arrivals tell.
    bool foreignRanks = false;
    const auto before = [this, order, &foreignRanks](const Item *a, const Item *b) {
        if (order.key() == SortOrder::Key::Title &&
            (!m_titles.isRanked(*a) || !m_titles.isRanked(*b)))
            foreignRanks = true;
        return isBefore(*a, *b, order);
    };
    std::sort(arrivals.begin(), arrivals.end(), before);

    std::vector<Item *> &kept = m_candidates;
    copyWithout(m_lastShown, changes.touched(), kept);
    if (arrivals.empty()) {
        shown.swap(kept); // a deletion, or an item that left the list: nothing to place
        return true;
    }
    shown.clear();
    shown.reserve(kept.size() + arrivals.size());
    auto from = kept.cbegin();
    for (Item *item : arrivals) {
        const auto at = std::lower_bound(from, kept.cend(), item, before);
        shown.insert(shown.end(), from, at);
        shown.push_back(item);
        from = at;
    }
    shown.insert(shown.end(), from, kept.cend());
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
        if (a.titleRank() != b.titleRank())
            return a.titleRank() < b.titleRank();
        break;
    case SortOrder::TitleDescending:
        if (a.titleRank() != b.titleRank())
            return a.titleRank() > b.titleRank();
        break;
    }
    return isNewer();
}

void LibraryFilter::sortByTitle(std::vector<Item *> &items, bool ascending,
                                const std::vector<Record *> &library)
{
    if (!m_titles.place(items, library))
        m_titles.rankAll(library);
    std::vector<RankedItem> &ranked = m_ranked;
    ranked.clear();
    ranked.reserve(items.size());
    for (Item *item : items) {
        // Signed ranks in unsigned order; the descending order is the complement's ascending
        // one, so equal titles keep their order either way.
        const quint64 key = quint64(item->titleRank()) ^ (quint64(1) << 63);
        ranked.push_back({ascending ? key : ~key, item});
    }
    sortByKey(ranked, m_rankedScratch);
    for (size_t i = 0; i < items.size(); ++i)
        items[i] = ranked[i].item;
}

void LibraryFilter::sortByKey(std::vector<RankedItem> &ranked, std::vector<RankedItem> &scratch)
{
    // A stable radix sort, 11 bits at a time (the counts stay in the first-level cache): a
    // few passes over the list instead of a merge sort's comparisons. Passes where every key
    // has the same digit (the low bits of ranks spaced far apart, the high bits of a small
    // library's) are skipped.
    constexpr int digitBits = 11;
    constexpr size_t buckets = size_t(1) << digitBits;
    std::array<size_t, buckets> starts;
    scratch.resize(ranked.size());
    for (int shift = 0; shift < 64; shift += digitBits) {
        std::fill(starts.begin(), starts.end(), 0);
        for (const RankedItem &r : ranked)
            ++starts[(r.key >> shift) & (buckets - 1)];
        if (ranked.empty() ||
            starts[(ranked.front().key >> shift) & (buckets - 1)] == ranked.size())
            continue;
        size_t at = 0;
        for (size_t &start : starts)
            at += std::exchange(start, at);
        for (const RankedItem &r : ranked)
            scratch[starts[(r.key >> shift) & (buckets - 1)]++] = r;
        ranked.swap(scratch);
    }
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
        sortByTitle(items, order == SortOrder::TitleAscending, library);
        return;
    }
}

} // namespace quillory
