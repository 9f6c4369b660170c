#pragma once

#include <model/ItemType.h>

#include <QList>
#include <QObject>
#include <QStringList>
#include <QThreadPool>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QSettings;

namespace quillory {

class Folder;
class Item;
class SearchIndex;
class Tag;

// Narrows a list of items to the main window's filters and a free-text query, ordering text
// matches by relevance. The items' search texts are read through an index that follows them
// as they are searched (SearchIndex; app/search/README.md); the list each call is given
// decides what is shown. Interface thread only; a deferred search runs on a worker thread of
// its own and hands its result back on the interface thread.
class SearchService final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SearchService)
    Q_PROPERTY(QString searchQuery READ searchQuery WRITE setSearchQuery NOTIFY searchQueryChanged)
    Q_PROPERTY(QString debouncedQuery READ debouncedQuery NOTIFY debouncedQueryChanged)
    Q_PROPERTY(QStringList recentSearches READ recentSearches NOTIFY recentSearchesChanged)
    Q_PROPERTY(bool isSearching READ isSearching NOTIFY isSearchingChanged)

public:
    static inline const QString recentSearchesKey = QStringLiteral("recentSearches");
    static constexpr int settleMilliseconds = 250;
    static constexpr int recentSearchesLimit = 10;
    // Lists this long are searched off the interface thread when the caller can wait: a
    // search of a million items takes tens of milliseconds, longer than a frame.
    static constexpr size_t defaultBackgroundThreshold = 50000;

    using Delivery = std::function<void(std::vector<Item *>)>;

    static SearchService &shared();

    // Reads "recentSearches" from `settings`, or from the application's settings when null.
    explicit SearchService(QSettings *settings = nullptr, QObject *parent = nullptr);
    ~SearchService() override;

    std::vector<Item *> filter(const std::vector<Item *> &items, const QString &query,
                               const QList<Tag *> &tags, std::optional<ItemType> type,
                               bool favoritesOnly, const Folder *folder, bool includeArchived);
    static int relevanceScore(const Item &item, const QString &query);
    // Whether `query` narrows a list at all: shorter queries leave it as it is.
    static bool filtersByText(const QString &query);

    // As filter() without a folder, for a caller that can wait: a text search of a long
    // list runs on a worker thread, and then nothing is returned and `later` gets the result
    // on this thread (before the first search of a long list, or the first after a change,
    // the index follows it a slice per event-loop pass). Searches the index cannot serve, and short
    // lists, are made at once and returned. A deferred search ends, and `later` is never called,
    // when the same requester asks again or cancels, or when any search of the index starts
    // meanwhile; the requester must not destroy the items before its result arrives, or must cancel
    // first. The list is shared, not copied, until the index has walked it or the search ends:
    // the requester must not change it meanwhile either.
    std::optional<std::vector<Item *>>
    filterOrDefer(const void *requester, std::shared_ptr<const std::vector<Item *>> items,
                  const QString &query, const QList<Tag *> &tags, std::optional<ItemType> type,
                  bool favoritesOnly, bool includeArchived, Delivery later);
    // Ends `requester`'s deferred search, if one is running.
    void cancelDeferred(const void *requester);
    // Starts the index afresh and copies the search text of `items` into it a slice per
    // event-loop pass while no search uses it, so that the first search of a large library
    // finds it there. A search of the index, or an item destroyed meanwhile, ends it early:
    // the search copies the rest.
    void prepareIndex(const std::vector<Item *> &items);
    bool isPreparingIndex() const { return m_preparing.active; }
    void setBackgroundThreshold(size_t items) { m_backgroundThreshold = items; }

    // The query state is kept as the designed model of the app's state even where nothing
    // reads it yet (isSearching has no reader; the window feeds searchQuery and reads
    // debouncedQuery only to keep recentSearches).
    QString searchQuery() const { return m_searchQuery; }
    // Settles into debouncedQuery once typing pauses.
    void setSearchQuery(const QString &query);
    QString debouncedQuery() const { return m_debouncedQuery; }
    QStringList recentSearches() const { return m_recentSearches; }
    // Most recent first, distinct regardless of case, at most recentSearchesLimit; saved at
    // once. The window adds a query once it settles and finds something.
    void addRecentSearch(const QString &query);
    void clearRecentSearches();
    bool isSearching() const { return m_isSearching; }

signals:
    void searchQueryChanged();
    void debouncedQueryChanged();
    void recentSearchesChanged();
    void isSearchingChanged();

private:
    struct Job;

    // Waits for a deferred search, cancelled first, to leave the index.
    void stopDeferred();
    // Cancels the deferred search m_job and forgets it.
    void dropJob();
    void followSome();
    // Starts the search on the worker, once the index follows the job's list.
    void searchOnWorker(const std::shared_ptr<Job> &job);
    void prepareSome();
    void stopPreparing();
    void deliver(const std::shared_ptr<Job> &job, std::vector<Item *> found);
    void setSearching(bool searching);
    void setRecentSearches(const QStringList &searches);
    void settle();

    QString m_searchQuery;
    QString m_debouncedQuery;
    QStringList m_recentSearches;
    bool m_isSearching = false;
    QTimer m_debounce;
    std::unique_ptr<SearchIndex> m_index;
    size_t m_backgroundThreshold = defaultBackgroundThreshold;
    // The deferred search running, if any; the pool has one thread, so that waiting for it
    // waits for nothing else.
    std::shared_ptr<Job> m_job;
    QThreadPool m_pool;
    QTimer m_following;
    struct Preparation
    {
        std::vector<Item *> items; // until the index takes them over
        bool active = false;
        bool started = false;
        quint64 destroyedAtStart = 0;
    };
    Preparation m_preparing;
    QTimer m_preparingPass;
    std::unique_ptr<QSettings> m_ownSettings;
    QSettings *m_settings = nullptr;
};

} // namespace quillory
