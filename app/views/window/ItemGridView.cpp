#include <views/window/ItemGridView.h>

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <limits>
#include <utility>

namespace quillory {

namespace {

// Where the list's coordinates stop, far below any real list, so that sums of them and the
// view's own coordinates stay inside an int.
constexpr qint64 farthest = std::numeric_limits<int>::max() / 4;

} // namespace

ItemGridView::ItemGridView(QWidget *parent) : QListView(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void ItemGridView::setCards(QSize cell, QSize item)
{
    m_cards = true;
    m_cell = cell.expandedTo(QSize(1, 1));
    m_item = item.boundedTo(m_cell);
    rowsChanged();
}

void ItemGridView::setRows(int height, int inset)
{
    m_cards = false;
    m_rowHeight = std::max(1, height);
    m_inset = std::max(0, inset);
    rowsChanged();
}

void ItemGridView::setModel(QAbstractItemModel *model)
{
    for (const QMetaObject::Connection &watch : std::exchange(m_watches, {}))
        disconnect(watch);
    QListView::setModel(model);
    if (model != nullptr) {
        // Nothing to lay out: a change of the rows only moves the end of the scroll range
        // and what is painted.
        m_watches = {
            connect(model, &QAbstractItemModel::rowsInserted, this, &ItemGridView::rowsChanged),
            connect(model, &QAbstractItemModel::rowsRemoved, this, &ItemGridView::rowsChanged),
            connect(model, &QAbstractItemModel::rowsMoved, this, &ItemGridView::rowsChanged),
            connect(model, &QAbstractItemModel::modelReset, this, &ItemGridView::rowsChanged),
            connect(model, &QAbstractItemModel::layoutChanged, this, &ItemGridView::rowsChanged),
        };
    }
    rowsChanged();
}

void ItemGridView::rowsChanged()
{
    updateGeometries();
    viewport()->update();
}

ItemGridView::Cells ItemGridView::cells() const
{
    const int width = std::max(1, viewport()->width());
    Cells c;
    if (m_cards) {
        c.perLine = std::max(1, width / m_cell.width());
        c.cell = m_cell;
        c.item = QRect(QPoint(0, 0), m_item);
    } else {
        c.cell = QSize(width, m_rowHeight + 2 * m_inset);
        c.item = QRect(m_inset, m_inset, std::max(1, width - 2 * m_inset), m_rowHeight);
    }
    return c;
}

int ItemGridView::rowCount() const
{
    return model() != nullptr ? model()->rowCount(rootIndex()) : 0;
}

QRect ItemGridView::rectAt(int row, const Cells &c) const
{
    const qint64 top = qint64(row / c.perLine) * c.cell.height();
    return c.item.translated((row % c.perLine) * c.cell.width(), int(std::min(top, farthest)));
}

std::pair<int, int> ItemGridView::rowsBetween(int top, int bottom, const Cells &c) const
{
    const int count = rowCount();
    const qint64 firstLine = std::max(0, top) / c.cell.height();
    const qint64 lastLine = std::max(0, bottom) / c.cell.height();
    const auto first = int(std::min<qint64>(count, firstLine * c.perLine));
    const auto last = int(std::min<qint64>(count, (lastLine + 1) * c.perLine));
    return {first, last};
}

int ItemGridView::verticalOffset() const
{
    return verticalScrollBar()->value();
}

QRect ItemGridView::visualRect(const QModelIndex &index) const
{
    if (!index.isValid() || index.parent() != rootIndex() || index.row() >= rowCount())
        return {};
    return rectAt(index.row(), cells()).translated(0, -verticalOffset());
}

QModelIndex ItemGridView::indexAt(const QPoint &point) const
{
    if (model() == nullptr || point.x() < 0 || point.y() < 0)
        return {};
    const Cells c = cells();
    const qint64 y = qint64(point.y()) + verticalOffset();
    const int column = point.x() / c.cell.width();
    if (column >= c.perLine)
        return {};
    const qint64 row = y / c.cell.height() * c.perLine + column;
    if (row >= rowCount())
        return {};
    // Between the cards is nobody's.
    if (!rectAt(int(row), c).contains(point.x(), int(y)))
        return {};
    return model()->index(int(row), 0, rootIndex());
}

void ItemGridView::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    const QRect rect = visualRect(index);
    if (rect.isEmpty())
        return;
    const int height = viewport()->height();
    int by = 0;
    switch (hint) {
    case EnsureVisible:
        if (rect.top() < 0)
            by = rect.top();
        else if (rect.bottom() >= height)
            by = std::min(rect.top(), rect.bottom() + 1 - height);
        break;
    case PositionAtTop:
        by = rect.top();
        break;
    case PositionAtBottom:
        by = rect.bottom() + 1 - height;
        break;
    case PositionAtCenter:
        by = rect.center().y() - height / 2;
        break;
    }
    verticalScrollBar()->setValue(verticalScrollBar()->value() + by);
}

QModelIndex ItemGridView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers)
{
    const int count = rowCount();
    if (count == 0)
        return {};
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return model()->index(0, 0, rootIndex());
    const Cells c = cells();
    const int row = current.row();
    const int linesPerPage = std::max(1, viewport()->height() / c.cell.height());
    int to = row;
    switch (cursorAction) {
    case MoveUp:
        to = row >= c.perLine ? row - c.perLine : row;
        break;
    case MoveDown:
        // Onto the last card when the next line is shorter than this one.
        if (row / c.perLine < (count - 1) / c.perLine)
            to = std::min(count - 1, row + c.perLine);
        break;
    case MoveLeft:
        to = c.perLine > 1 ? std::max(0, row - 1) : row;
        break;
    case MoveRight:
        to = c.perLine > 1 ? std::min(count - 1, row + 1) : row;
        break;
    case MovePrevious:
        to = std::max(0, row - 1);
        break;
    case MoveNext:
        to = std::min(count - 1, row + 1);
        break;
    case MoveHome:
        to = 0;
        break;
    case MoveEnd:
        to = count - 1;
        break;
    case MovePageUp:
        to = int(std::max<qint64>(0, row - qint64(linesPerPage) * c.perLine));
        break;
    case MovePageDown:
        to = int(std::min<qint64>(count - 1, row + qint64(linesPerPage) * c.perLine));
        break;
    }
    return model()->index(to, 0, rootIndex());
}

void ItemGridView::setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command)
{
    if (model() == nullptr || selectionModel() == nullptr)
        return;
    const Cells c = cells();
    const QRect area = rect.normalized().translated(0, verticalOffset());
    const auto [first, last] = rowsBetween(area.top(), area.bottom(), c);
    QItemSelection selection;
    for (int row = first; row < last; ++row) {
        if (!rectAt(row, c).intersects(area))
            continue;
        const QModelIndex index = model()->index(row, 0, rootIndex());
        selection.select(index, index);
    }
    selectionModel()->select(selection, command);
}

QRegion ItemGridView::shownRegion(int first, int last) const
{
    // Only what is on screen needs painting again; a range may run far past it.
    const Cells c = cells();
    const auto [shownFirst, shownLast] =
        rowsBetween(verticalOffset(), verticalOffset() + viewport()->height(), c);
    QRegion region;
    for (int row = std::max(first, shownFirst); row < std::min(last, shownLast); ++row)
        region += rectAt(row, c).translated(0, -verticalOffset());
    return region;
}

QRegion ItemGridView::visualRegionForSelection(const QItemSelection &selection) const
{
    QRegion region;
    for (const QItemSelectionRange &range : selection) {
        if (range.parent() == rootIndex())
            region += shownRegion(range.top(), range.bottom() + 1);
    }
    return region;
}

void ItemGridView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                               const QList<int> &)
{
    // The base class asks every row of the range for its rectangle, the whole list when
    // every row changed; only the shown rows are painted.
    if (topLeft.isValid() && bottomRight.isValid() && topLeft.parent() == rootIndex())
        viewport()->update(shownRegion(topLeft.row(), bottomRight.row() + 1));
}

void ItemGridView::paintEvent(QPaintEvent *event)
{
    if (model() == nullptr)
        return;
    QPainter painter(viewport());
    const Cells c = cells();
    const QRect dirty = event->rect();
    const auto [first, last] =
        rowsBetween(dirty.top() + verticalOffset(), dirty.bottom() + verticalOffset(), c);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QStyle::State base = option.state;
    const QModelIndex current = currentIndex();
    for (int row = first; row < last; ++row) {
        const QRect rect = rectAt(row, c).translated(0, -verticalOffset());
        if (!rect.intersects(dirty))
            continue;
        const QModelIndex index = model()->index(row, 0, rootIndex());
        option.rect = rect;
        option.state = base;
        if (selectionModel() != nullptr && selectionModel()->isSelected(index))
            option.state |= QStyle::State_Selected;
        if (index == current && hasFocus())
            option.state |= QStyle::State_HasFocus;
        itemDelegateForIndex(index)->paint(&painter, option, index);
    }
}

void ItemGridView::doItemsLayout()
{
    QAbstractItemView::doItemsLayout();
}

void ItemGridView::rowsInserted(const QModelIndex &parent, int start, int end)
{
    QAbstractItemView::rowsInserted(parent, start, end);
}

void ItemGridView::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end)
{
    QAbstractItemView::rowsAboutToBeRemoved(parent, start, end);
}

void ItemGridView::resizeEvent(QResizeEvent *event)
{
    QAbstractItemView::resizeEvent(event);
}

void ItemGridView::scrollContentsBy(int dx, int dy)
{
    QAbstractItemView::scrollContentsBy(dx, dy);
}

void ItemGridView::updateGeometries()
{
    const Cells c = cells();
    const qint64 lines = (qint64(rowCount()) + c.perLine - 1) / c.perLine;
    const qint64 height = lines * c.cell.height();
    const int page = viewport()->height();
    verticalScrollBar()->setPageStep(page);
    verticalScrollBar()->setRange(0, int(std::clamp<qint64>(height - page, 0, farthest)));
    QAbstractItemView::updateGeometries();
}

} // namespace quillory
