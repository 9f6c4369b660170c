#include <state/PageMatches.h>

#include <model/Item.h>
#include <model/LibraryStore.h>
#include <pages/KeptPages.h>
#include <search/SearchService.h>
#include <state/LibraryFilter.h>

#include <QHash>
#include <QSet>
#include <algorithm>

namespace quillory {

PageMatches::PageMatches(LibraryStore &store, LibraryFilter &filter, QObject *parent)
    : QObject(parent), m_store(store), m_filter(filter)
{
    m_again.setSingleShot(true);
    m_again.setInterval(againAfterMs);
    connect(&m_again, &QTimer::timeout, this, &PageMatches::ask);
}

void PageMatches::setPages(KeptPages *pages)
{
    if (m_pages != nullptr)
        disconnect(m_pages, nullptr, this, nullptr);
    m_pages = pages;
    m_key.clear();
    m_answered = false;
    m_matches.clear();
    m_again.stop();
    if (pages == nullptr)
        return;
    connect(pages, &KeptPages::kept, this, &PageMatches::askAgainSoon);
    connect(pages, &KeptPages::removed, this, &PageMatches::askAgainSoon);
}

QString PageMatches::keyOf(const QString &query)
{
    return SearchService::filtersByText(query) ? query.simplified().toLower() : QString();
}

void PageMatches::follow(const QString &query)
{
    const QString key = m_pages != nullptr ? keyOf(query) : QString();
    if (key == m_key)
        return;
    m_key = key;
    m_answered = false;
    m_matches.clear();
    m_again.stop();
    if (!key.isEmpty())
        ask();
}

void PageMatches::askAgainSoon()
{
    // Pages kept one after another (a whole library being kept) ask at most once a pause,
    // and not only once they stop.
    if (!m_key.isEmpty() && !m_again.isActive())
        m_again.start();
}

void PageMatches::ask()
{
    if (m_pages == nullptr || m_key.isEmpty())
        return;
    // The matches found stay shown until the answer replaces them.
    m_pages->search(m_key, limit, this, [this, key = m_key](std::vector<PageMatch> matches) {
        if (key != m_key)
            return;
        m_matches.clear();
        m_matches.reserve(matches.size());
        for (PageMatch &match : matches)
            m_matches.push_back(shortened(std::move(match)));
        m_answered = true;
        emit found();
    });
}

std::vector<PageMatches::Found> PageMatches::beyond(const std::vector<Item *> &shown,
                                                    const QString &query,
                                                    const SidebarSelection &selection,
                                                    const AppState &state, qint64 nowMSecs)
{
    if (!m_answered || m_matches.empty() || keyOf(query) != m_key)
        return {};
    // Looked up by id each time: an item deleted since the answer is simply not found.
    std::vector<Item *> present;
    QHash<const Item *, const PageMatch *> matchOf;
    for (const PageMatch &match : m_matches) {
        if (Item *item = m_store.item(match.itemId)) {
            present.push_back(item);
            matchOf.insert(item, &match);
        }
    }
    std::vector<Item *> showable = m_filter.shownAmong(present, selection, state, nowMSecs);
    if (showable.empty())
        return {};
    QSet<const Item *> listed;
    for (const Item *item : shown) {
        if (matchOf.contains(item))
            listed.insert(item);
    }
    std::vector<Found> found;
    for (Item *item : showable) {
        if (!listed.contains(item))
            found.push_back({item, *matchOf.value(item)});
    }
    return found;
}

PageMatch PageMatches::shortened(PageMatch match)
{
    QString &text = match.snippet;
    // Line breaks and tabs become spaces one for one, so the marks still fit.
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = u' ';
    }
    const qsizetype size = text.size();
    QList<std::pair<qsizetype, qsizetype>> marks;
    for (const auto &[start, length] : std::as_const(match.marks)) {
        if (start >= 0 && length > 0 && start < size)
            marks.append({start, std::min(length, size - start)});
    }
    if (size <= snippetLimit) {
        match.marks = marks;
        return match;
    }
    // Some words before the first mark, as many after as fit.
    const qsizetype firstMark = marks.isEmpty() ? 0 : marks.first().first;
    qsizetype begin = std::max<qsizetype>(0, firstMark - snippetLimit / 4);
    if (begin > 0 && text.at(begin).isLowSurrogate())
        ++begin;
    qsizetype end = std::min(size, begin + snippetLimit);
    if (end < size && end > begin && text.at(end - 1).isHighSurrogate())
        --end;
    const qsizetype lead = begin > 0 ? 1 : 0;
    QString cut = (lead != 0 ? QStringLiteral("\u2026") : QString()) + text.mid(begin, end - begin);
    if (end < size)
        cut += u'\u2026';
    match.marks.clear();
    for (const auto &[start, length] : std::as_const(marks)) {
        const qsizetype from = std::max(start, begin);
        const qsizetype to = std::min(start + length, end);
        if (from < to)
            match.marks.append({from - begin + lead, to - from});
    }
    match.snippet = cut;
    return match;
}

} // namespace quillory
