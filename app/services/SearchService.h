#pragma once

#include <ItemType.h>

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>
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
// matches by relevance. The items' lower-cased search texts are copied, end to end, into an
// index that follows them as they are searched (SearchIndex); the list each call is given
// decides what is shown. Interface thread only.
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

    static SearchService &shared();

    // Reads "recentSearches" from `settings`, or from the application's settings when null.
    explicit SearchService(QSettings *settings = nullptr, QObject *parent = nullptr);
    ~SearchService() override;

    std::vector<Item *> filter(const std::vector<Item *> &items, const QString &query,
                               const QList<Tag *> &tags, std::optional<ItemType> type,
                               bool favoritesOnly, const Folder *folder, bool includeArchived);
    static int relevanceScore(const Item &item, const QString &query);

    QString searchQuery() const { return m_searchQuery; }
    // Settles into debouncedQuery once typing pauses.
    void setSearchQuery(const QString &query);
    QString debouncedQuery() const { return m_debouncedQuery; }
    QStringList recentSearches() const { return m_recentSearches; }
    // Most recent first, without duplicates, at most recentSearchesLimit; saved at once.
    void addRecentSearch(const QString &query);
    void clearRecentSearches();
    bool isSearching() const { return m_isSearching; }

signals:
    void searchQueryChanged();
    void debouncedQueryChanged();
    void recentSearchesChanged();
    void isSearchingChanged();

private:
    void setSearching(bool searching);
    void setRecentSearches(const QStringList &searches);
    void settle();

    QString m_searchQuery;
    QString m_debouncedQuery;
    QStringList m_recentSearches;
    bool m_isSearching = false;
    QTimer m_debounce;
    std::unique_ptr<SearchIndex> m_index;
    std::unique_ptr<QSettings> m_ownSettings;
    QSettings *m_settings = nullptr;
};

} // namespace quillory
