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

// Scores every candidate, on two threads for large lists. Items are only read.
std::vector<int> scoreAll(const std::vector<Item *> &items, const RelevanceScorer &scorer)
{
    std::vector<int> scores(items.size(), 0);
    const auto work = [&](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) {
            const Item &item = *items[i];
            scores[i] = scorer.mayMatch(item) ? scorer.score(item) : 0;
        }
    };
    const bool parallel =
        items.size() >= parallelThreshold && std::thread::hardware_concurrency() > 1;
    if (!parallel) {
        work(0, items.size());
        return scores;
    }
    const size_t half = items.size() / 2;
    std::thread helper(work, half, items.size());
    work(0, half);
    helper.join();
    return scores;
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

    QList<QUuid> tagIds;
    for (const Tag *t : tags) {
        if (!tagIds.contains(t->id()))
            tagIds.append(t->id());
    }
    // The attribute steps, fused into one pass; each keeps the order of what remains.
    std::vector<Item *> kept;
    kept.reserve(items.size());
    for (Item *item : items) {
        if (!includeArchived && item->isArchived())
            continue;
        if (folder != nullptr &&
            (item->folder() == nullptr || item->folder()->id() != folder->id()))
            continue;
        if (favoritesOnly && !item->isFavorite())
            continue;
        if (type && item->type() != *type)
            continue;
        if (!tagIds.isEmpty() && !carriesAll(*item, tagIds))
            continue;
        kept.push_back(item);
    }

    const QString q = query.trimmed().toLower();
    if (hasAtLeastTwoGraphemes(q)) {
        const RelevanceScorer scorer(q);
        const std::vector<int> scores = scoreAll(kept, scorer);
        std::vector<std::pair<int, Item *>> matches;
        for (size_t i = 0; i < kept.size(); ++i) {
            if (scores[i] >= 1)
                matches.emplace_back(scores[i], kept[i]);
        }
        std::stable_sort(matches.begin(), matches.end(),
                         [](const auto &a, const auto &b) { return a.first > b.first; });
        kept.clear();
        for (const auto &m : matches)
            kept.push_back(m.second);
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
