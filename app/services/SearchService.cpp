#include "SearchService.h"

#include "RelevanceScorer.h"

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

// One pass per item: the attribute filters, then (with a scorer) the text score. The
// walk runs ahead of itself with prefetches, because the items and their search texts
// are scattered over the heap and the pass is bound by memory latency, not by compares.
void filterRange(const std::vector<Item *> &items, size_t begin, size_t end,
                 const Criteria &criteria, const RelevanceScorer *scorer, std::vector<Match> &out)
{
    constexpr size_t ahead = 8;
    RelevanceScorer::TagScores tagScores;
    for (size_t i = begin; i < end; ++i) {
        if (i + ahead < end)
            __builtin_prefetch(items[i + ahead]);
        // Only with a scorer: then every search text has been built and is only read here.
        if (scorer != nullptr && i + ahead / 2 < end)
            __builtin_prefetch(items[i + ahead / 2]->searchText().data());
        Item *item = items[i];
        if (!criteria.passes(*item))
            continue;
        if (scorer == nullptr) {
            out.push_back({0, item});
            continue;
        }
        const int score = scorer->score(*item, tagScores);
        if (score >= 1)
            out.push_back({score, item});
    }
}

// Splits large lists over two threads; each half keeps its order, and the halves are
// joined in order, so the result is the same as one pass.
std::vector<Match> filterAll(const std::vector<Item *> &items, const Criteria &criteria,
                             const RelevanceScorer *scorer)
{
    std::vector<Match> first;
    const bool parallel =
        items.size() >= parallelThreshold && std::thread::hardware_concurrency() > 1;
    if (!parallel) {
        filterRange(items, 0, items.size(), criteria, scorer, first);
        return first;
    }
    const size_t half = items.size() / 2;
    std::vector<Match> second;
    std::thread helper([&] { filterRange(items, half, items.size(), criteria, scorer, second); });
    filterRange(items, 0, half, criteria, scorer, first);
    helper.join();
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

} // namespace

SearchService &SearchService::shared()
{
    static SearchService *instance = new SearchService(); // lives as long as the process
    return *instance;
}

SearchService::SearchService(QSettings *settings, QObject *parent)
    : QObject(parent), m_settings(settings)
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

    // After this the items' search text is only read, which the two threads may share.
    if (scorer)
        Item::prepareSearchText(items);
    std::vector<Match> matches = filterAll(items, criteria, scorer ? &*scorer : nullptr);
    if (scorer)
        std::stable_sort(matches.begin(), matches.end(),
                         [](const Match &a, const Match &b) { return a.score > b.score; });
    std::vector<Item *> kept;
    kept.reserve(matches.size());
    for (const Match &m : matches)
        kept.push_back(m.item);

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
