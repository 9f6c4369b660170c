#include <views/widgets/FlowLayout.h>

#include <QWidget>
#include <algorithm>

namespace quillory {

FlowLayout::FlowLayout(QWidget *parent, int spacing) : QLayout(parent), m_spacing(spacing)
{
    setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

FlowLayout::Arrangement FlowLayout::arrange(const QList<QSize> &sizes, int spacing, int widthLimit)
{
    Arrangement result;
    result.positions.reserve(sizes.size());
    int x = 0;
    int y = 0;
    int rowHeight = 0;
    int widest = 0;
    for (const QSize &size : sizes) {
        // 64-bit sum: the unlimited width is INT_MAX.
        if (x > 0 && qint64(x) + size.width() > widthLimit) {
            y += rowHeight + spacing;
            x = 0;
            rowHeight = 0;
        }
        result.positions.append(QPoint(x, y));
        x += size.width() + spacing;
        rowHeight = std::max(rowHeight, size.height());
        widest = std::max(widest, x);
    }
    result.size = QSize(widest, y + rowHeight);
    return result;
}

void FlowLayout::setSpacing(int spacing)
{
    if (spacing == m_spacing)
        return;
    m_spacing = spacing;
    invalidate();
}

void FlowLayout::addItem(QLayoutItem *item)
{
    m_items.append(item);
    invalidate();
}

void FlowLayout::insertWidget(int index, QWidget *widget)
{
    addChildWidget(widget);
    m_items.insert(std::clamp<qsizetype>(index, 0, m_items.size()), new QWidgetItem(widget));
    invalidate();
}

QLayoutItem *FlowLayout::itemAt(int index) const
{
    return index >= 0 && index < m_items.size() ? m_items.at(index) : nullptr;
}

QLayoutItem *FlowLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    QLayoutItem *item = m_items.takeAt(index);
    invalidate();
    return item;
}

int FlowLayout::heightForWidth(int width) const
{
    const QMargins m = contentsMargins();
    const int limit = std::max(0, width - m.left() - m.right());
    return arrangeItems(visibleItems(), limit).size.height() + m.top() + m.bottom();
}

QSize FlowLayout::sizeHint() const
{
    return withMargins(arrangeItems(visibleItems(), unlimitedWidth).size);
}

QSize FlowLayout::minimumSize() const
{
    QSize largest(0, 0);
    for (const QLayoutItem *item : visibleItems())
        largest = largest.expandedTo(item->sizeHint());
    return withMargins(largest);
}

void FlowLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    const QRect area = rect.marginsRemoved(contentsMargins());
    const QList<QLayoutItem *> items = visibleItems();
    const Arrangement arrangement = arrangeItems(items, area.width());
    for (qsizetype i = 0; i < items.size(); ++i)
        items.at(i)->setGeometry(
            QRect(area.topLeft() + arrangement.positions.at(i), items.at(i)->sizeHint()));
}

QList<QLayoutItem *> FlowLayout::visibleItems() const
{
    QList<QLayoutItem *> visible;
    for (QLayoutItem *item : m_items) {
        if (!item->isEmpty())
            visible.append(item);
    }
    return visible;
}

FlowLayout::Arrangement FlowLayout::arrangeItems(const QList<QLayoutItem *> &items,
                                                 int widthLimit) const
{
    QList<QSize> sizes;
    sizes.reserve(items.size());
    for (const QLayoutItem *item : items)
        sizes.append(item->sizeHint());
    return arrange(sizes, m_spacing, widthLimit);
}

QSize FlowLayout::withMargins(const QSize &size) const
{
    const QMargins m = contentsMargins();
    return size + QSize(m.left() + m.right(), m.top() + m.bottom());
}

} // namespace quillory
