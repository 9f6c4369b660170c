#include <views/window/ItemListModel.h>

#include <model/Item.h>
#include <views/widgets/DisplayText.h>

#include <QSet>
#include <algorithm>

namespace quillory {

namespace {

bool sameSnippets(const ItemListModel::Snippets &a, const ItemListModel::Snippets &b)
{
    if (a.size() != b.size())
        return false;
    for (auto it = a.cbegin(); it != a.cend(); ++it) {
        const auto other = b.constFind(it.key());
        if (other == b.cend() || other->snippet != it->snippet || other->marks != it->marks)
            return false;
    }
    return true;
}

} // namespace

void ItemListModel::setItems(std::vector<Item *> items, Snippets snippets)
{
    // Rows that stay but show another snippet are repainted; new rows read theirs as they
    // are inserted.
    const bool snippetsChanged = !sameSnippets(snippets, m_snippets);
    m_snippets = std::move(snippets);
    if (items == m_items) {
        if (!m_items.empty())
            emit dataChanged(index(0), index(int(m_items.size()) - 1));
        return;
    }
    // A refresh after one item was added, deleted, renamed or retagged differs from the
    // shown list in a few rows: telling the views only those keeps their scroll position,
    // selection and layout. A wholly different list (another query or folder) starts afresh.
    const Span span = differingSpan(items);
    if (!applyAsMove(items, span) && !applyAsRemovesAndInserts(items, span)) {
        beginResetModel();
        m_items = std::move(items);
        endResetModel();
    } else if (snippetsChanged && !m_items.empty()) {
        emit dataChanged(index(0), index(int(m_items.size()) - 1));
    }
}

ItemListModel::Span ItemListModel::differingSpan(const std::vector<Item *> &items) const
{
    const size_t shorter = std::min(items.size(), m_items.size());
    size_t first = 0;
    while (first < shorter && items[first] == m_items[first])
        ++first;
    size_t same = 0; // rows equal at the end, not overlapping the equal ones at the start
    while (same < shorter - first &&
           items[items.size() - 1 - same] == m_items[m_items.size() - 1 - same])
        ++same;
    return {first, m_items.size() - same, items.size() - same};
}

bool ItemListModel::applyAsMove(const std::vector<Item *> &items, const Span &span)
{
    const size_t length = span.oldEnd - span.first;
    if (length < 2 || span.newEnd - span.first != length)
        return false;
    const auto oldRows = m_items.begin() + qsizetype(span.first);
    const auto newRows = items.begin() + qsizetype(span.first);
    const int first = int(span.first);
    const int last = int(span.oldEnd) - 1;
    // One row moved down: the others of the span each moved up by one, and the reverse.
    if (oldRows[0] == newRows[qsizetype(length) - 1] &&
        std::equal(oldRows + 1, oldRows + qsizetype(length), newRows)) {
        beginMoveRows(QModelIndex(), first, first, QModelIndex(), last + 1);
        std::rotate(oldRows, oldRows + 1, oldRows + qsizetype(length));
        endMoveRows();
        return true;
    }
    if (oldRows[qsizetype(length) - 1] == newRows[0] &&
        std::equal(oldRows, oldRows + qsizetype(length) - 1, newRows + 1)) {
        beginMoveRows(QModelIndex(), last, last, QModelIndex(), first);
        std::rotate(oldRows, oldRows + qsizetype(length) - 1, oldRows + qsizetype(length));
        endMoveRows();
        return true;
    }
    return false;
}

namespace {

// The runs of rows in [begin, end) that `other` lacks; the rest are collected in `staying`.
int runsOutside(std::vector<Item *>::const_iterator begin, std::vector<Item *>::const_iterator end,
                const QSet<const Item *> &other, std::vector<const Item *> &staying)
{
    int runs = 0;
    bool inRun = false;
    for (auto it = begin; it != end; ++it) {
        const bool stays = other.contains(*it);
        if (stays)
            staying.push_back(*it);
        runs += !stays && !inRun;
        inRun = !stays;
    }
    return runs;
}

} // namespace

bool ItemListModel::applyAsRemovesAndInserts(const std::vector<Item *> &items, const Span &span)
{
    // Rows only removed or only inserted are cheap to tell apart at any length; a long span
    // on both sides is a different list, not worth hashing to learn so.
    const size_t removed = span.oldEnd - span.first;
    const size_t inserted = span.newEnd - span.first;
    if (inserted == 0) {
        beginRemoveRows(QModelIndex(), int(span.first), int(span.oldEnd) - 1);
        m_items.erase(m_items.begin() + qsizetype(span.first),
                      m_items.begin() + qsizetype(span.oldEnd));
        endRemoveRows();
        return true;
    }
    if (removed == 0) {
        beginInsertRows(QModelIndex(), int(span.first), int(span.newEnd) - 1);
        m_items.insert(m_items.begin() + qsizetype(span.first),
                       items.begin() + qsizetype(span.first),
                       items.begin() + qsizetype(span.newEnd));
        endInsertRows();
        return true;
    }
    if (removed + inserted > longestMixedSpan)
        return false;
    const auto oldBegin = m_items.cbegin() + qsizetype(span.first);
    const auto oldEnd = m_items.cbegin() + qsizetype(span.oldEnd);
    const auto newBegin = items.cbegin() + qsizetype(span.first);
    const auto newEnd = items.cbegin() + qsizetype(span.newEnd);
    const QSet<const Item *> before(oldBegin, oldEnd);
    const QSet<const Item *> after(newBegin, newEnd);
    // Rows that stay must keep their order, and each run of removed or inserted rows is a
    // signal every view handles on its own: past a few runs a reset is cheaper.
    std::vector<const Item *> stayingBefore;
    std::vector<const Item *> stayingAfter;
    const int runs = runsOutside(oldBegin, oldEnd, after, stayingBefore) +
                     runsOutside(newBegin, newEnd, before, stayingAfter);
    if (runs > mostRuns || stayingBefore != stayingAfter)
        return false;
    // From the end, so the rows still to remove keep their numbers.
    for (size_t end = span.oldEnd; end > span.first;) {
        if (after.contains(m_items[end - 1])) {
            --end;
            continue;
        }
        size_t begin = end - 1;
        while (begin > span.first && !after.contains(m_items[begin - 1]))
            --begin;
        beginRemoveRows(QModelIndex(), int(begin), int(end) - 1);
        m_items.erase(m_items.begin() + qsizetype(begin), m_items.begin() + qsizetype(end));
        endRemoveRows();
        end = begin;
    }
    for (size_t row = span.first; row < span.newEnd;) {
        if (before.contains(items[row])) {
            ++row;
            continue;
        }
        size_t end = row + 1;
        while (end < span.newEnd && !before.contains(items[end]))
            ++end;
        beginInsertRows(QModelIndex(), int(row), int(end) - 1);
        m_items.insert(m_items.begin() + qsizetype(row), items.begin() + qsizetype(row),
                       items.begin() + qsizetype(end));
        endInsertRows();
        row = end;
    }
    return true;
}

void ItemListModel::removeItems(const QList<Record *> &records)
{
    // Mostly one item is deleted: finding it beats hashing the whole list.
    constexpr qsizetype fewRecords = 16;
    std::vector<size_t> rows;
    if (records.size() <= fewRecords) {
        for (const Record *record : records) {
            const auto at = std::find(m_items.cbegin(), m_items.cend(), record);
            if (at != m_items.cend())
                rows.push_back(size_t(at - m_items.cbegin()));
        }
        std::sort(rows.begin(), rows.end());
    } else {
        const QSet<const Record *> gone(records.cbegin(), records.cend());
        for (size_t row = 0; row < m_items.size(); ++row) {
            if (gone.contains(m_items[row]))
                rows.push_back(row);
        }
    }
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.empty())
        return;
    for (const size_t row : rows)
        m_snippets.remove(m_items[row]);
    int runs = 1;
    for (size_t i = 1; i < rows.size(); ++i)
        runs += rows[i] != rows[i - 1] + 1;
    if (runs > mostRuns) {
        std::vector<Item *> kept;
        kept.reserve(m_items.size() - rows.size());
        auto next = rows.cbegin();
        for (size_t row = 0; row < m_items.size(); ++row) {
            if (next != rows.cend() && *next == row)
                ++next;
            else
                kept.push_back(m_items[row]);
        }
        beginResetModel();
        m_items = std::move(kept);
        endResetModel();
        return;
    }
    // From the end, so the rows still to remove keep their numbers.
    for (size_t end = rows.size(); end > 0;) {
        size_t begin = end - 1;
        while (begin > 0 && rows[begin - 1] + 1 == rows[begin])
            --begin;
        beginRemoveRows(QModelIndex(), int(rows[begin]), int(rows[end - 1]));
        m_items.erase(m_items.begin() + qsizetype(rows[begin]),
                      m_items.begin() + qsizetype(rows[end - 1]) + 1);
        endRemoveRows();
        end = begin;
    }
}

Item *ItemListModel::itemAt(int row) const
{
    return row >= 0 && size_t(row) < m_items.size() ? m_items[size_t(row)] : nullptr;
}

int ItemListModel::rowOf(const Item *item) const
{
    const auto it = std::find(m_items.cbegin(), m_items.cend(), item);
    return it == m_items.cend() ? -1 : int(it - m_items.cbegin());
}

int ItemListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

QVariant ItemListModel::data(const QModelIndex &index, int role) const
{
    const Item *item = itemAt(index.row());
    if (item == nullptr || index.parent().isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return DisplayText::bounded(item->title());
    case Qt::AccessibleDescriptionRole:
    case SnippetRole:
        if (const auto snippet = m_snippets.constFind(item); snippet != m_snippets.cend())
            return snippet->snippet;
        return {};
    case SnippetMarksRole:
        if (const auto snippet = m_snippets.constFind(item); snippet != m_snippets.cend())
            return QVariant::fromValue(snippet->marks);
        return {};
    case Qt::ToolTipRole:
        if (std::optional<QString> url = item->urlString())
            return DisplayText::toolTip(*url);
        return DisplayText::toolTip(item->title());
    case ItemRole:
        return QVariant::fromValue(static_cast<void *>(const_cast<Item *>(item)));
    default:
        return {};
    }
}

} // namespace quillory
