#pragma once

#include <model/ItemType.h>
#include <model/SmartFolder.h>
#include <state/ListPatch.h>
#include <state/SelectionWalk.h>
#include <state/SortOrder.h>
#include <state/TitleOrder.h>

#include <QList>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quillory {

class AppState;
class Folder;
class Item;
class ItemChanges;
class Record;
class SearchService;
class Tag;

// What the sidebar has chosen: a smart folder, a user folder, or both (a sub-folder chosen
// inside a smart folder keeps the smart folder's rule).
struct SidebarSelection
{
    std::optional<SmartFolder> smartFolder = SmartFolder(SmartFolder::AllItems);
    Folder *folder = nullptr;
};

// Turns the whole library (newest first) into the list the content column shows. No
// widgets: the main window and the benchmarks use it alike.
class LibraryFilter final
{
public:
    using Delivery = std::function<void(std::vector<Item *>)>;

    explicit LibraryFilter(SearchService &search) : m_search(search) {}
    ~LibraryFilter();
    Q_DISABLE_COPY_MOVE(LibraryFilter)

    // Smart folder, then direct folder membership, then the search filter with the
    // AppState's query, tags, kind and favourites flag, then the chosen sort order (the
    // default order keeps relevance while a query is active). `newestFirst` is by creation
    // time, newest first, and then by record sequence, as the store's item list keeps it.
    //
    // Given the changes since the last call, and asked for the same list without a query,
    // the last list is patched with the changed items instead of being made again from the
    // whole library; the changes are then cleared.
    std::vector<Item *> shownItems(const std::vector<Record *> &newestFirst,
                                   const SidebarSelection &selection, const AppState &state,
                                   qint64 nowMSecs, ItemChanges *changes = nullptr);
    // As shownItems(), for a window that can wait for a long search or for a large library's
    // titles to be ranked: when either runs off the interface thread, nothing is returned and
    // `later` gets the list on this thread. The changes are cleared as the list is made; if
    // any arrive before it is handed over, it is dropped (it may hold items gone since) and
    // `later` is not called: the refresh those changes ask for makes it again. Asking again,
    // in either way, ends a search still running and hands the list asked for before to no
    // one; a ranking runs on, for the lists asked for next.
    std::optional<std::vector<Item *>> shownItemsOrDefer(const std::vector<Record *> &newestFirst,
                                                         const SidebarSelection &selection,
                                                         const AppState &state, qint64 nowMSecs,
                                                         ItemChanges &changes, Delivery later);
    // Of `candidates`, in their order, those the selection and the filters would show if
    // no query were typed: for items found some other way than by the list's own search.
    std::vector<Item *> shownAmong(const std::vector<Item *> &candidates,
                                   const SidebarSelection &selection, const AppState &state,
                                   qint64 nowMSecs);
    // Libraries this large have their titles ranked off the interface thread for a window
    // that can wait (TitleRanks::defaultBackgroundThreshold unless set).
    void setBackgroundRankingFrom(size_t items) { m_titles.ranks().setBackgroundThreshold(items); }
    // Whether the last list was patched rather than made again.
    bool patchedLast() const { return m_patchedLast; }

private:
    // What a shown list was asked for.
    struct Request
    {
        std::optional<SmartFolder> smartFolder;
        const Folder *folder = nullptr;
        QString query;
        QList<Tag *> tags;
        std::optional<ItemType> type;
        bool favoritesOnly = false;
        SortOrder order = SortOrder::DateAddedDescending;
        const std::vector<Record *> *library = nullptr;

        static Request of(const SidebarSelection &selection, const AppState &state,
                          const std::vector<Record *> &library);
        bool operator==(const Request &) const = default;
    };

    // What shownItems() and shownItemsOrDefer() share; without `later` nothing is deferred.
    std::optional<std::vector<Item *>> shownOrDeferred(const std::vector<Record *> &newestFirst,
                                                       const SidebarSelection &selection,
                                                       const AppState &state, qint64 nowMSecs,
                                                       ItemChanges *changes, Delivery later);
    // The shown list made from the selected items, or nothing when a search was deferred.
    std::optional<std::vector<Item *>> freshlyShown(const std::vector<Record *> &newestFirst,
                                                    const Request &request, qint64 cutoff,
                                                    ItemChanges *changes, Delivery later);
    void remember(Request request, const std::vector<Item *> &shown, ItemChanges *changes);
    // False when the last list cannot be patched into the one asked for.
    bool patchLastShown(const ItemChanges &changes, const Request &request, qint64 cutoff,
                        std::vector<Item *> &shown);
    std::vector<Item *> passing(const std::vector<Item *> &candidates, const Request &request);
    // Whether `a` comes before `b` in a list in `order` without a query.
    static bool isBefore(const Item &a, const Item &b, SortOrder order);
    void sort(std::vector<Item *> &items, SortOrder order, const std::vector<Record *> &library);

    // A list made for a window that can wait, to be sorted and handed to it.
    struct Waiting
    {
        Request request;
        std::vector<Item *> items;
        ItemChanges *changes;
        Delivery later;
    };
    // Whether the list must wait for the library's titles to be ranked in the background;
    // if so, it is kept and handed over once they are.
    bool waitsForRanks(std::vector<Item *> &items, const Request &request, ItemChanges *changes,
                       const Delivery &later);
    // Sorts the list and hands it over, unless the library changed since it was made (the
    // refresh the changes ask for makes it again) or it must wait for ranks.
    void handOver(Waiting waiting);

    SearchService &m_search;
    // The stages, each with the cache it keeps between lists: the walk of the library for the
    // sidebar's selection, the last list to patch (and what it was asked for), and the
    // titles' order.
    SelectionWalk m_selection;
    std::optional<Request> m_lastRequest;
    ListPatch m_patch;
    bool m_patchedLast = false;
    TitleOrder m_titles;
    std::optional<Waiting> m_waiting;
};

} // namespace quillory
