#pragma once

#include <QMenu>
#include <QUuid>
#include <vector>

namespace quillory {

class Item;
class ItemActions;
class LibraryStore;
class Record;

// The menu shown on an item: edit, tags, favourite, link actions, archive and delete, all but
// the tags from the item's shared actions. Tag entries find the item again by id, so one
// deleted meanwhile is simply skipped.
class ItemContextMenu final : public QMenu
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ItemContextMenu)

public:
    // The menu is for `actions`' item; none makes it empty.
    ItemContextMenu(const ItemActions &actions, const std::vector<Record *> &tagsInOrder,
                    LibraryStore &store, QWidget *parent = nullptr);

private:
    void addTagMenu(const Item &item, const std::vector<Record *> &tagsInOrder);
    void addLinkActions(const Item &item, const ItemActions &actions);

    LibraryStore &m_store;
    QUuid m_itemId;
};

} // namespace quillory
