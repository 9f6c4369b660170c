#pragma once

#include <pages/PageStore.h>

#include <QAbstractListModel>
#include <QHash>
#include <vector>

namespace quillory {

class Item;
class Record;

// The shown list of the content column: a snapshot of the filtered items that the main
// window replaces whenever the library or the filters change, telling the views only the
// rows that changed.
class ItemListModel final : public QAbstractListModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ItemListModel)

public:
    enum Role {
        ItemRole = Qt::UserRole + 1,
        // For rows found in their kept page: where the query's words stand in it, as a
        // QString and as the marks' starts and lengths in it.
        SnippetRole,
        SnippetMarksRole,
    };
    // The rows that carry a snippet, by item.
    using Snippets = QHash<const Item *, PageMatch>;

    explicit ItemListModel(QObject *parent = nullptr) : QAbstractListModel(parent) {}

    // An unchanged list only repaints. A list that differs in a few rows (one moved, or a
    // few runs removed and inserted) is applied as those rows; any other resets the views.
    void setItems(std::vector<Item *> items, Snippets snippets = {});
    // The rows of records about to be deleted go as runs of removed rows, the others stay
    // where they are; past a few runs the views are reset instead.
    void removeItems(const QList<Record *> &records);
    const std::vector<Item *> &items() const { return m_items; }
    Item *itemAt(int row) const;
    int rowOf(const Item *item) const;
    bool hasSnippet(const Item *item) const { return m_snippets.contains(item); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    // Past this many runs of removed and inserted rows the views are reset instead.
    static constexpr int mostRuns = 16;
    // Rows removed and inserted in one span, beyond which the span is not searched for runs.
    static constexpr size_t longestMixedSpan = 4096;

    // Rows [first, oldEnd) of the shown list are rows [first, newEnd) of the new one; the
    // rest are equal.
    struct Span
    {
        size_t first;
        size_t oldEnd;
        size_t newEnd;
    };
    Span differingSpan(const std::vector<Item *> &items) const;
    bool applyAsMove(const std::vector<Item *> &items, const Span &span);
    bool applyAsRemovesAndInserts(const std::vector<Item *> &items, const Span &span);

    std::vector<Item *> m_items;
    Snippets m_snippets;
};

} // namespace quillory
