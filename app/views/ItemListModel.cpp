#include "ItemListModel.h"

#include "DisplayText.h"
#include <Item.h>

#include <algorithm>

namespace quillory {

void ItemListModel::setItems(std::vector<Item *> items)
{
    if (items == m_items) {
        if (!m_items.empty())
            emit dataChanged(index(0), index(int(m_items.size()) - 1));
        return;
    }
    beginResetModel();
    m_items = std::move(items);
    endResetModel();
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
    case Qt::ToolTipRole:
        return DisplayText::toolTip(item->urlString().value_or(item->title()));
    case ItemRole:
        return QVariant::fromValue(static_cast<void *>(const_cast<Item *>(item)));
    default:
        return {};
    }
}

} // namespace quillory
