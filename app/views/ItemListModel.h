#pragma once

#include <QAbstractListModel>
#include <vector>

namespace quillory {

class Item;

// The shown list of the content column: a snapshot of the filtered items that the main
// window replaces whenever the library or the filters change.
class ItemListModel final : public QAbstractListModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ItemListModel)

public:
    enum Role { ItemRole = Qt::UserRole + 1 };

    explicit ItemListModel(QObject *parent = nullptr) : QAbstractListModel(parent) {}

    // An unchanged list only repaints; a different one resets the views.
    void setItems(std::vector<Item *> items);
    const std::vector<Item *> &items() const { return m_items; }
    Item *itemAt(int row) const;
    int rowOf(const Item *item) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    std::vector<Item *> m_items;
};

} // namespace quillory
