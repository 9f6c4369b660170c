#include "SearchService.h"

#include "RelevanceScorer.h"
#include "SearchIndex.h"

#include <Folder.h>
#include <Item.h>
#include <Tag.h>

#include <QSettings>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <thread>

namespace quillory {

namespace {

// Below this many items a second thread costs more than it saves.
constexpr size_t parallelThreshold = 20000;

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
    // Whether anything but the archive is asked about.
    bool looksBeyondArchive() const
    {
        return folder != nullptr || favoritesOnly || type || !tagIds.isEmpty();
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
    const bool parallel = count >= parallelThreshold && std::thread::hardware_concurrency() > 1;
    if (!parallel) {
        pass(0, count, first);
        return first;
    }
    const size_t half = count / 2;
    std::vector<Match> second;
    std::thread helper([&] { pass(half, count, second); });
    pass(0, half, first);
    helper.join();
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

// The walk after the index was scanned. An item whose words were found nowhere and whose
// tags add nothing scores nothing, and is passed over without being read; the rest are
// filtered and scored as usual, their fields read from the index.
void filterIndexedRange(const std::vector<Item *> &items, size_t begin, size_t end,
                        const Criteria &criteria, const RelevanceScorer &scorer,
                        const SearchIndex &index, const std::vector<quint32> &hits,
                        const std::vector<int> &tagScores, std::vector<Match> &out)
{
    const size_t wordCount = scorer.words().size();
    const bool lookBeyondArchive = criteria.looksBeyondArchive();
    unsigned wordFields[SearchIndex::mostNeedles];
    for (size_t i = begin; i < end; ++i) {
        const quint32 slot = index.slotAt(i);
        const quint32 found = hits[slot];
        int fromTags = 0;
        for (const quint32 tag : index.tagsAt(i))
            fromTags += tagScores[tag];
        if (found == 0 && fromTags == 0)
            continue;
        if (!criteria.includeArchived && index.isArchivedAt(i))
            continue;
        Item *item = items[i];
        if (lookBeyondArchive && !criteria.passesBeyondArchive(*item))
            continue;
        for (size_t w = 0; w < wordCount; ++w)
            wordFields[w] = (found >> (4 * w)) & 0xfu;
        const int score = scorer.textScore(wordFields, index.fieldsOf(slot), fromTags);
        if (score >= 1)
            out.push_back({score, item});
    }
}

// Scans the index for every word at once, then walks the list. Queries the index cannot
// serve, and lists much smaller than what it holds (one folder of a large library, where
// scanning everything would cost more than reading the few items), take the walk over
// each item's own text.
std::vector<Match> scoreAll(const std::vector<Item *> &items, const Criteria &criteria,
                            const RelevanceScorer &scorer, SearchIndex &index)
{
    if (!scorer.wordsStayInsideFields() || scorer.words().size() > SearchIndex::mostNeedles ||
        items.size() * 2 < index.slotCount()) {
        Item::prepareSearchText(items);
        return splitOverThreads(items.size(), [&](size_t b, size_t e, auto &out) {
            filterRange(items, b, e, criteria, scorer, out);
        });
    }
    index.follow(items);
    std::vector<quint32> hits;
    index.scan(scorer.words(), hits);
    std::vector<int> tagScores;
    tagScores.reserve(index.tags().size());
    for (const Tag *tag : index.tags())
        tagScores.push_back(scorer.tagScore(*tag));
    return splitOverThreads(items.size(), [&](size_t b, size_t e, auto &out) {
        filterIndexedRange(items, b, e, criteria, scorer, index, hits, tagScores, out);
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

} // namespace

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
        m_recentSearches = stored.toStringList();
    m_debounce.setSingleShot(true);
    m_debounce.setInterval(settleMilliseconds);
    connect(&m_debounce, &QTimer::timeout, this, &SearchService::settle);
}

SearchService::~SearchService() = default;

std::vector<Item *> SearchService::filter(const std::vector<Item *> &items, const QString &query,
                                          const QList<Tag *> &tags, std::optional<ItemType> type,
                                          bool favoritesOnly, const Folder *folder,
                                          bool includeArchived)
{
    setSearching(true);

    Criteria criteria;
    criteria.includeArchived = includeArchived;
    criteria.folder = folder;
    criteria.favoritesOnly = favoritesOnly;
    criteria.type = type;
    for (const Tag *t : tags) {
        if (!criteria.tagIds.contains(t->id()))
            criteria.tagIds.append(t->id());
    }

    // The text step applies only to queries of two or more characters once trimmed.
    const QString q = query.trimmed().toLower();
    std::optional<RelevanceScorer> scorer;
    if (hasAtLeastTwoGraphemes(q))
        scorer.emplace(q);

    std::vector<Item *> kept;
    if (scorer) {
        std::vector<Match> matches = scoreAll(items, criteria, *scorer, *m_index);
        kept = byScore(matches);
    } else {
        kept = passingItems(items, criteria);
    }

    setSearching(false);
    return kept;
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
    searches.removeAll(trimmed);
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
