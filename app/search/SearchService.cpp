#include <search/SearchService.h>

#include <search/RelevanceScorer.h>
#include <search/SearchIndex.h>
#include <util/SecondThread.h>

#include <model/Folder.h>
#include <model/Item.h>
#include <model/Tag.h>

#include <QSettings>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <chrono>
#include <utility>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace quillory {

namespace {

// Opening a library and copying it into the index leave freed blocks of tens of megabytes
// (lists copied, then dropped) that the allocator keeps mapped for later use. Once start-up
// is over there is no such use: their pages go back to the system.
void returnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

// Below this many items a second thread costs more than it saves.
constexpr size_t parallelThreshold = 20000;
// The tags a search of the index can require, one bit each.
constexpr qsizetype mostTagBits = 32;
// The longest the index follows a list before letting the window paint.
constexpr std::chrono::milliseconds followingSlice(8);
// Preparing the index waits for nobody, so it leaves the window more room.
constexpr std::chrono::milliseconds preparingSlice(4);
// How long preparing waits for a cancelled search to leave the index.
constexpr int preparingRetryMilliseconds = 10;

bool hasAtLeastTwoGraphemes(const QString &text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() != -1) {
        if (++count >= 2)
            return true;
    }
    return false;
}

bool carriesAll(const Item &item, const QList<QUuid> &tagIds)
{
    const QList<Tag *> &own = item.tags();
    return std::all_of(tagIds.cbegin(), tagIds.cend(), [&own](const QUuid &id) {
        return std::any_of(own.cbegin(), own.cend(), [&id](const Tag *t) { return t->id() == id; });
    });
}

struct Criteria
{
    bool includeArchived = false;
    const Folder *folder = nullptr;
    bool favoritesOnly = false;
    std::optional<ItemType> type;
    QList<QUuid> tagIds;

    bool passes(const Item &item) const
    {
        if (!includeArchived && item.isArchived())
            return false;
        return passesBeyondArchive(item);
    }
    bool passesBeyondArchive(const Item &item) const
    {
        if (folder != nullptr && (item.folder() == nullptr || item.folder()->id() != folder->id()))
            return false;
        if (favoritesOnly && !item.isFavorite())
            return false;
        if (type && item.type() != *type)
            return false;
        return tagIds.isEmpty() || carriesAll(item, tagIds);
    }
};

struct Match
{
    int score;
    Item *item;
};

// Runs `pass(begin, end, out)` over the items, split over two threads for large lists; each
// half keeps its order, and the halves are joined in order, so the result is the same as
// one pass.
template <typename Pass> std::vector<Match> splitOverThreads(size_t count, const Pass &pass)
{
    std::vector<Match> first;
    const bool parallel = count >= parallelThreshold && SecondThread::helps();
    if (!parallel) {
        pass(0, count, first);
        return first;
    }
    const size_t half = count / 2;
    std::vector<Match> second;
    SecondThread::runBoth([&] { pass(0, half, first); }, [&] { pass(half, count, second); });
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// One pass per item: the attribute filters, then the text score. The walk runs ahead of
// itself with prefetches, because the items and their search texts are scattered over the
// heap and the pass is bound by memory latency, not by compares. Every search text has been
// built, so here it is only read.
void filterRange(const std::vector<Item *> &items, size_t begin, size_t end,
                 const Criteria &criteria, const RelevanceScorer &scorer, std::vector<Match> &out)
{
    constexpr size_t ahead = 8;
    RelevanceScorer::TagScores tagScores;
    for (size_t i = begin; i < end; ++i) {
        if (i + ahead < end)
            __builtin_prefetch(items[i + ahead]);
        if (i + ahead / 2 < end)
            __builtin_prefetch(items[i + ahead / 2]->searchText().data());
        Item *item = items[i];
        if (!criteria.passes(*item))
            continue;
        const int score = scorer.score(*item, tagScores);
        if (score >= 1)
            out.push_back({score, item});
    }
}

// Without a query only the attribute filters apply: one walk straight into the result, as
// cheap per item as a walk can be, with no scores to carry and join.
std::vector<Item *> passingItems(const std::vector<Item *> &items, const Criteria &criteria)
{
    constexpr size_t ahead = 8;
    std::vector<Item *> kept;
    kept.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        if (i + ahead < items.size())
            __builtin_prefetch(items[i + ahead]);
        if (criteria.passes(*items[i]))
            kept.push_back(items[i]);
    }
    return kept;
}

// What the filters ask of an item, answered from the index alone, so that a search of it
// reads no item and may run while the items change.
class IndexedCriteria final
{
public:
    // Built on the interface thread, which may read the tags.
    IndexedCriteria(const Criteria &criteria, const SearchIndex &index)
        : m_criteria(criteria), m_tagBits(index.tags().size(), 0)
    {
        if (criteria.tagIds.size() > mostTagBits) {
            m_tagsFromItems = true;
            return;
        }
        m_allTags = quint32((quint64(1) << criteria.tagIds.size()) - 1);
        for (size_t t = 0; t < index.tags().size(); ++t) {
            const qsizetype at = criteria.tagIds.indexOf(index.tags()[t]->id());
            if (at >= 0)
                m_tagBits[t] = quint32(1) << at;
        }
    }

    // Whether the filters can be answered without reading an item.
    bool readsNoItem() const { return m_criteria.folder == nullptr && !m_tagsFromItems; }

    bool passesAt(const SearchIndex &index, size_t position, const Item &item) const
    {
        if (!m_criteria.includeArchived && index.isArchivedAt(position))
            return false;
        if (m_criteria.favoritesOnly && !index.isFavoriteAt(position))
            return false;
        if (m_criteria.type && index.typeAt(position) != *m_criteria.type)
            return false;
        if (m_allTags != 0) {
            quint32 carried = 0;
            for (const quint32 tag : index.tagsAt(position))
                carried |= m_tagBits[tag];
            if (carried != m_allTags)
                return false;
        }
        if (readsNoItem())
            return true;
        const Folder *folder = m_criteria.folder;
        if (folder != nullptr && (item.folder() == nullptr || item.folder()->id() != folder->id()))
            return false;
        return !m_tagsFromItems || carriesAll(item, m_criteria.tagIds);
    }

private:
    Criteria m_criteria;
    std::vector<quint32> m_tagBits; // per tag of the index: its bit among the wanted tags
    quint32 m_allTags = 0;
    bool m_tagsFromItems = false;
};

// passingItems() read from what the index keeps of each item of the list it follows: a byte
// of attributes per item, where a walk of a large library's items would wait on memory for
// each one, long gone cold.
std::vector<Item *> passingInIndex(const SearchIndex &index, const IndexedCriteria &criteria)
{
    const std::vector<Item *> &items = index.list();
    std::vector<Item *> kept;
    kept.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        if (criteria.passesAt(index, i, *items[i]))
            kept.push_back(items[i]);
    }
    return kept;
}

// A search of the index: what it needs, gathered on the interface thread, and the run over
// the index, which may take place on another.
struct IndexSearch
{
    RelevanceScorer scorer;
    IndexedCriteria criteria;
    std::vector<int> tagScores;
    // The tag bits of the tags that score: an item with none of them scores nothing by its
    // tags, and they are not read.
    quint16 scoringTagBits = 0;

    IndexSearch(RelevanceScorer s, const Criteria &c, const SearchIndex &index)
        : scorer(std::move(s)), criteria(c, index)
    {
        tagScores.reserve(index.tags().size());
        for (const Tag *tag : index.tags()) {
            tagScores.push_back(scorer.tagScore(*tag));
            if (tagScores.back() != 0)
                scoringTagBits |= SearchIndex::tagBit(tagScores.size() - 1);
        }
    }

    // Scans the index for every word at once, then walks the list. An item whose words were
    // found nowhere and whose tags add nothing scores nothing, and is passed over without
    // being read; the rest are filtered and scored, their fields read from the index. Gives
    // up, with an incomplete result, once `cancelled` is set.
    std::vector<Match> run(const SearchIndex &index, const std::atomic<bool> *cancelled) const
    {
        std::vector<quint32> hits;
        index.scan(scorer.words(), hits, cancelled);
        return splitOverThreads(index.list().size(), [&](size_t b, size_t e, auto &out) {
            walk(index, hits, b, e, cancelled, out);
        });
    }

private:
    struct Candidate
    {
        size_t position;
        quint32 slot;
        quint32 found;
        int fromTags;
    };

    // A chunk at a time: first the positions that may score, found from the hits and the
    // index's attributes alone, then their scores, which read each one's offsets and text
    // from wherever they lie in the index; fetching those a few candidates ahead keeps the
    // processor from waiting on memory for each in turn.
    void walk(const SearchIndex &index, const std::vector<quint32> &hits, size_t begin, size_t end,
              const std::atomic<bool> *cancelled, std::vector<Match> &out) const
    {
        constexpr size_t chunk = 4096;
        std::vector<Candidate> candidates;
        candidates.reserve(chunk);
        for (size_t first = begin; first < end; first += chunk) {
            if (cancelled != nullptr && cancelled->load(std::memory_order_relaxed))
                return;
            candidates.clear();
            gather(index, hits, first, std::min(end, first + chunk), candidates);
            score(index, candidates, out);
        }
    }

    void gather(const SearchIndex &index, const std::vector<quint32> &hits, size_t first,
                size_t last, std::vector<Candidate> &candidates) const
    {
        const std::vector<Item *> &items = index.list();
        for (size_t i = first; i < last; ++i) {
            const quint32 slot = index.slotAt(i);
            const quint32 found = hits[slot];
            int fromTags = 0;
            if ((index.tagBitsAt(i) & scoringTagBits) != 0) {
                for (const quint32 tag : index.tagsAt(i))
                    fromTags += tagScores[tag];
            }
            if (found == 0 && fromTags == 0)
                continue;
            if (criteria.passesAt(index, i, *items[i]))
                candidates.push_back({i, slot, found, fromTags});
        }
    }

    void score(const SearchIndex &index, const std::vector<Candidate> &candidates,
               std::vector<Match> &out) const
    {
        constexpr size_t slotsAhead = 8;
        constexpr size_t textAhead = 4;
        const std::vector<Item *> &items = index.list();
        const size_t wordCount = scorer.words().size();
        unsigned wordFields[SearchIndex::mostNeedles];
        for (size_t k = 0; k < candidates.size(); ++k) {
            if (k + slotsAhead < candidates.size())
                index.prefetchSlot(candidates[k + slotsAhead].slot);
            if (k + textAhead < candidates.size())
                index.prefetchText(candidates[k + textAhead].slot);
            const Candidate &c = candidates[k];
            for (size_t w = 0; w < wordCount; ++w)
                wordFields[w] = (c.found >> (4 * w)) & 0xfu;
            const int score = scorer.textScore(wordFields, index.fieldsOf(c.slot), c.fromTags);
            if (score >= 1)
                out.push_back({score, items[c.position]});
        }
    }
};

// Whether the index serves this query over this list: lists much smaller than what it holds
// (one folder of a large library, where scanning everything would cost more than reading the
// few items) take the walk over each item's own text. An index mostly of items deleted or
// changed since is built again for the list instead: it holds more than it is worth.
bool indexServes(const RelevanceScorer &scorer, size_t itemCount, const SearchIndex &index)
{
    return scorer.wordsStayInsideFields() && scorer.words().size() <= SearchIndex::mostNeedles &&
           (itemCount * 2 >= index.slotCount() || index.wantsRebuild());
}

std::vector<Match> scoreEachItem(const std::vector<Item *> &items, const Criteria &criteria,
                                 const RelevanceScorer &scorer)
{
    Item::prepareSearchText(items);
    return splitOverThreads(items.size(), [&](size_t b, size_t e, auto &out) {
        filterRange(items, b, e, criteria, scorer, out);
    });
}

std::vector<Item *> itemsOf(const std::vector<Match> &matches)
{
    std::vector<Item *> items;
    items.reserve(matches.size());
    for (const Match &m : matches)
        items.push_back(m.item);
    return items;
}

// Highest score first, equal scores in the order found. Scores are small numbers, so a
// counting sort does it in two passes where a comparison sort would take many.
std::vector<Item *> byScore(std::vector<Match> &matches)
{
    constexpr int mostCounted = 1 << 16;
    int highest = 0;
    for (const Match &m : matches)
        highest = std::max(highest, m.score);
    if (highest >= mostCounted) { // a tag-heavy item with a long query: rare, sort as usual
        std::stable_sort(matches.begin(), matches.end(),
                         [](const Match &a, const Match &b) { return a.score > b.score; });
        return itemsOf(matches);
    }
    // starts[s] ends as the place of the first item scoring s, highest scores first.
    std::vector<size_t> starts(size_t(highest) + 2, 0);
    for (const Match &m : matches)
        ++starts[size_t(highest - m.score) + 1];
    for (size_t s = 1; s < starts.size(); ++s)
        starts[s] += starts[s - 1];
    std::vector<Item *> items(matches.size());
    for (const Match &m : matches)
        items[starts[size_t(highest - m.score)]++] = m.item;
    return items;
}

Criteria criteriaOf(const QList<Tag *> &tags, std::optional<ItemType> type, bool favoritesOnly,
                    const Folder *folder, bool includeArchived)
{
    Criteria criteria;
    criteria.includeArchived = includeArchived;
    criteria.folder = folder;
    criteria.favoritesOnly = favoritesOnly;
    criteria.type = type;
    for (const Tag *t : tags) {
        if (!criteria.tagIds.contains(t->id()))
            criteria.tagIds.append(t->id());
    }
    return criteria;
}

// The text step applies only to queries of two or more characters once trimmed.
std::optional<RelevanceScorer> scorerOf(const QString &query)
{
    const QString q = query.trimmed().toLower();
    if (!hasAtLeastTwoGraphemes(q))
        return std::nullopt;
    return RelevanceScorer(q);
}

} // namespace

struct SearchService::Job
{
    const void *requester = nullptr;
    std::atomic<bool> cancelled{false};
    Delivery later;
    std::optional<RelevanceScorer> scorer;
    Criteria criteria;
    // While the index follows the list, before the search starts:
    bool following = false;
    quint64 destroyedAtStart = 0;
};

SearchService &SearchService::shared()
{
    static SearchService *instance = new SearchService(); // lives as long as the process
    return *instance;
}

SearchService::SearchService(QSettings *settings, QObject *parent)
    : QObject(parent), m_index(std::make_unique<SearchIndex>()), m_settings(settings)
{
    if (m_settings == nullptr) {
        m_ownSettings =
            std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                        QStringLiteral("Quillory"), QStringLiteral("Quillory"));
        m_settings = m_ownSettings.get();
    }
    const QVariant stored = m_settings->value(recentSearchesKey);
    if (stored.isValid())
        m_recentSearches = stored.toStringList().mid(0, recentSearchesLimit);
    m_pool.setMaxThreadCount(1);
    m_following.setSingleShot(true);
    m_following.setInterval(0);
    connect(&m_following, &QTimer::timeout, this, &SearchService::followSome);
    m_preparingPass.setSingleShot(true);
    connect(&m_preparingPass, &QTimer::timeout, this, &SearchService::prepareSome);
    m_debounce.setSingleShot(true);
    m_debounce.setInterval(settleMilliseconds);
    connect(&m_debounce, &QTimer::timeout, this, &SearchService::settle);
}

SearchService::~SearchService()
{
    stopDeferred();
}

std::vector<Item *> SearchService::filter(const std::vector<Item *> &items, const QString &query,
                                          const QList<Tag *> &tags, std::optional<ItemType> type,
                                          bool favoritesOnly, const Folder *folder,
                                          bool includeArchived)
{
    setSearching(true);
    const Criteria criteria = criteriaOf(tags, type, favoritesOnly, folder, includeArchived);
    std::optional<RelevanceScorer> scorer = scorerOf(query);
    std::vector<Item *> kept;
    if (!scorer) {
        // The index's tags are read only while it follows the list: some may be gone since.
        const bool fromIndex = criteria.folder == nullptr &&
                               criteria.tagIds.size() <= mostTagBits && m_index->follows(items);
        kept = fromIndex ? passingInIndex(*m_index, IndexedCriteria(criteria, *m_index))
                         : passingItems(items, criteria);
    } else if (!indexServes(*scorer, items.size(), *m_index)) {
        std::vector<Match> matches = scoreEachItem(items, criteria, *scorer);
        kept = byScore(matches);
    } else {
        stopPreparing();
        stopDeferred();
        m_index->follow(items);
        const IndexSearch search(std::move(*scorer), criteria, *m_index);
        std::vector<Match> matches = search.run(*m_index, nullptr);
        kept = byScore(matches);
    }
    setSearching(false);
    return kept;
}

std::optional<std::vector<Item *>>
SearchService::filterOrDefer(const void *requester,
                             std::shared_ptr<const std::vector<Item *>> items, const QString &query,
                             const QList<Tag *> &tags, std::optional<ItemType> type,
                             bool favoritesOnly, bool includeArchived, Delivery later)
{
    cancelDeferred(requester);
    std::optional<RelevanceScorer> scorer = scorerOf(query);
    Criteria criteria = criteriaOf(tags, type, favoritesOnly, nullptr, includeArchived);
    if (!scorer || items->empty() || items->size() < m_backgroundThreshold ||
        criteria.tagIds.size() > mostTagBits || !indexServes(*scorer, items->size(), *m_index))
        return filter(*items, query, tags, type, favoritesOnly, nullptr, includeArchived);

    stopPreparing();
    stopDeferred();
    auto job = std::make_shared<Job>();
    job->requester = requester;
    job->later = std::move(later);
    job->scorer = std::move(scorer);
    job->criteria = std::move(criteria);
    m_job = job;
    setSearching(true);
    // A list the index does not follow yet (the first search of a large library, or one
    // after a change) is walked a slice per event-loop pass, so that the window keeps
    // painting meanwhile.
    if (m_index->startFollowing(std::move(items))) {
        searchOnWorker(job);
    } else {
        job->following = true;
        job->destroyedAtStart = Item::destroyedCount();
        m_following.start();
    }
    return std::nullopt;
}

void SearchService::followSome()
{
    const std::shared_ptr<Job> job = m_job;
    if (!job || !job->following)
        return;
    // An item of the list may be gone: its requester will ask again once it learns so.
    if (Item::destroyedCount() != job->destroyedAtStart) {
        dropJob();
        setSearching(false);
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + followingSlice;
    if (!m_index->followSome(deadline)) {
        m_following.start();
        return;
    }
    job->following = false;
    searchOnWorker(job);
}

void SearchService::prepareIndex(const std::vector<Item *> &items)
{
    if (m_job || items.empty())
        return; // that search brings the index up to its list already, or nothing to copy
    m_preparing.items = items;
    m_preparing.active = true;
    m_preparing.started = false;
    m_preparing.destroyedAtStart = Item::destroyedCount();
    m_preparingPass.start(0);
}

void SearchService::prepareSome()
{
    if (!m_preparing.active)
        return;
    if (m_job || Item::destroyedCount() != m_preparing.destroyedAtStart) {
        stopPreparing();
        return;
    }
    // A cancelled search may still be reading the index on the worker.
    if (m_pool.activeThreadCount() > 0) {
        m_preparingPass.start(preparingRetryMilliseconds);
        return;
    }
    // What the index holds from before (another library, items gone) would only be
    // scanned along with the new list. The index takes the list over, so that it is not
    // held twice.
    if (!std::exchange(m_preparing.started, true)) {
        m_index->clear();
        m_index->startFollowing(std::move(m_preparing.items));
    }
    const auto deadline = std::chrono::steady_clock::now() + preparingSlice;
    if (m_index->followSome(deadline)) {
        stopPreparing();
        returnFreedMemory();
    } else
        m_preparingPass.start(0);
}

void SearchService::stopPreparing()
{
    m_preparingPass.stop();
    if (std::exchange(m_preparing.active, false) && m_preparing.started)
        m_index->abandonWalk();
    std::vector<Item *>().swap(m_preparing.items);
}

void SearchService::searchOnWorker(const std::shared_ptr<Job> &job)
{
    // The index follows the list already, brought up to it here where the items may be
    // read; the worker then reads only the index, which nothing follows until it is done.
    auto search =
        std::make_shared<const IndexSearch>(std::move(*job->scorer), job->criteria, *m_index);
    const SearchIndex *index = m_index.get();
    m_pool.start([this, job, search, index] {
        std::vector<Match> matches = search->run(*index, &job->cancelled);
        if (job->cancelled.load(std::memory_order_relaxed))
            return;
        std::vector<Item *> found = byScore(matches);
        // Posted to this object, which waits for the pool before it goes.
        QMetaObject::invokeMethod(
            this,
            [this, job, found = std::move(found)]() mutable { deliver(job, std::move(found)); },
            Qt::QueuedConnection);
    });
}

void SearchService::deliver(const std::shared_ptr<Job> &job, std::vector<Item *> found)
{
    if (job != m_job) // cancelled, or another search took its place
        return;
    m_job.reset();
    setSearching(false);
    job->later(std::move(found));
}

void SearchService::cancelDeferred(const void *requester)
{
    if (!m_job || m_job->requester != requester)
        return;
    dropJob();
    setSearching(false);
}

void SearchService::stopDeferred()
{
    if (m_job)
        dropJob();
    m_pool.waitForDone();
}

void SearchService::dropJob()
{
    m_job->cancelled.store(true, std::memory_order_relaxed);
    // The walk bringing the index up to the job's list goes no further: the index lets go of
    // that list, which its requester may want to refill.
    if (m_job->following)
        m_index->abandonWalk();
    m_job.reset();
}

bool SearchService::filtersByText(const QString &query)
{
    return hasAtLeastTwoGraphemes(query.trimmed());
}

int SearchService::relevanceScore(const Item &item, const QString &query)
{
    return RelevanceScorer(query).score(item);
}

void SearchService::setSearchQuery(const QString &query)
{
    if (query == m_searchQuery)
        return;
    m_searchQuery = query;
    emit searchQueryChanged();
    m_debounce.start();
}

void SearchService::settle()
{
    if (m_debouncedQuery == m_searchQuery)
        return;
    m_debouncedQuery = m_searchQuery;
    emit debouncedQueryChanged();
}

void SearchService::addRecentSearch(const QString &query)
{
    const QString trimmed = query.trimmed();
    if (trimmed.isEmpty())
        return;
    QStringList searches = m_recentSearches;
    // Searching ignores case, so "Rust" and "rust" are one search: the later spelling stays.
    searches.removeIf([&trimmed](const QString &earlier) {
        return earlier.trimmed().compare(trimmed, Qt::CaseInsensitive) == 0;
    });
    searches.prepend(trimmed);
    while (searches.size() > recentSearchesLimit)
        searches.removeLast();
    setRecentSearches(searches);
}

void SearchService::clearRecentSearches()
{
    setRecentSearches({});
}

void SearchService::setRecentSearches(const QStringList &searches)
{
    if (searches == m_recentSearches)
        return;
    m_recentSearches = searches;
    m_settings->setValue(recentSearchesKey, m_recentSearches);
    emit recentSearchesChanged();
}

void SearchService::setSearching(bool searching)
{
    if (searching == m_isSearching)
        return;
    m_isSearching = searching;
    emit isSearchingChanged();
}

} // namespace quillory
