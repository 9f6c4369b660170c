#pragma once

#include <pages/PageStore.h>

#include <QObject>
#include <QString>
#include <QTimer>
#include <vector>

namespace quillory {

class AppState;
class Item;
class KeptPages;
class LibraryFilter;
class LibraryStore;
struct SidebarSelection;

// The items whose kept pages hold every word of the query, shown after the list's own
// matches. The pages are searched on their own reader thread once the list is shown, and the
// answer is kept for the query: a list made again for it (an item changed, one added) has
// them at once, so nothing the user looks at moves.
class PageMatches final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageMatches)

public:
    // Past a few hundred, a match in a page's text no longer finds anything.
    static constexpr int limit = 300;
    // A snippet longer than this (a page of one endless word) is cut around its first mark.
    static constexpr qsizetype snippetLimit = 240;
    // Pages kept or removed while a query is shown are searched again after this pause.
    static constexpr int againAfterMs = 1000;

    struct Found
    {
        Item *item;
        PageMatch match;
    };

    PageMatches(LibraryStore &store, LibraryFilter &filter, QObject *parent = nullptr);

    // Null searches nothing and finds nothing. The pages must outlive this object.
    void setPages(KeptPages *pages);
    // The list shows `query` now. Another query drops the matches found and asks the pages;
    // one that does not search by text (or no pages) just drops them.
    void follow(const QString &query);
    // The items of the matches found for `query`, best first: those still in the library
    // that the selection and the filters show and `shown` does not hold. None while the
    // pages have not answered that query.
    std::vector<Found> beyond(const std::vector<Item *> &shown, const QString &query,
                              const SidebarSelection &selection, const AppState &state,
                              qint64 nowMSecs);

    // On one line, at most snippetLimit characters, with its marks moved along.
    static PageMatch shortened(PageMatch match);

signals:
    // The pages answered the query followed.
    void found();

private:
    // Queries that differ only in case or spaces find the same pages.
    static QString keyOf(const QString &query);
    void ask();
    void askAgainSoon();

    LibraryStore &m_store;
    LibraryFilter &m_filter;
    KeptPages *m_pages = nullptr;
    QString m_key; // of the query followed; empty for none
    bool m_answered = false;
    std::vector<PageMatch> m_matches;
    QTimer m_again;
};

} // namespace quillory
