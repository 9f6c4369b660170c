#pragma once

#include <QListView>

namespace quillory {

// The shown items as cells of one size: cards as many to a line as fit, or rows one to a
// line. Every item's place follows from its row number, so adding or removing an item
// costs what the view shows, however long the list and however far down it is scrolled,
// and the scroll range never shrinks to what a layout has reached so far.
//
// A list view only by descent, so that screen readers are offered its items as a list's:
// every part of QListView that reads or builds its own layout is replaced here, and what
// would start that layout goes to QAbstractItemView instead.
class ItemGridView final : public QListView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ItemGridView)

public:
    explicit ItemGridView(QWidget *parent = nullptr);

    // Cards: each `item` sized at the top left of a `cell`.
    void setCards(QSize cell, QSize item);
    // Rows: `height` tall and as wide as the view, `inset` in from every side of its line.
    void setRows(int height, int inset);

    QRect visualRect(const QModelIndex &index) const override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint &point) const override;
    void setModel(QAbstractItemModel *model) override;

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override { return 0; }
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex &) const override { return false; }
    void setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection &selection) const override;
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QList<int> &roles = QList<int>()) override;
    void paintEvent(QPaintEvent *event) override;
    void updateGeometries() override;
    void doItemsLayout() override;
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    // One line's worth of cells, for the present width of the view.
    struct Cells
    {
        int perLine = 1;
        QSize cell;
        QRect item; // within its cell
    };

    Cells cells() const;
    int rowCount() const;
    // The item's rectangle at `row` in the whole list's coordinates.
    QRect rectAt(int row, const Cells &c) const;
    // The rows whose lines meet the vertical span [top, bottom] of the list, clamped to it.
    std::pair<int, int> rowsBetween(int top, int bottom, const Cells &c) const;
    // The rectangles of the rows [first, last) that are on screen, in the view's coordinates.
    QRegion shownRegion(int first, int last) const;
    void rowsChanged();

    bool m_cards = false;
    QSize m_cell{1, 1};
    QSize m_item{1, 1};
    int m_rowHeight = 1;
    int m_inset = 0;
    QList<QMetaObject::Connection> m_watches;
};

} // namespace quillory
