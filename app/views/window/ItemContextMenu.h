#pragma once

#include <QMenu>
#include <QUuid>
#include <functional>
#include <vector>

namespace quillory {

class FileRevealer;
class Item;
class LibraryStore;
class LinkOpener;
class Record;

// The menu shown on an item: tags, favourite, link actions, archive and delete. Actions
// find the item again by id, so one deleted meanwhile is simply skipped.
class ItemContextMenu final : public QMenu
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ItemContextMenu)

public:
    // `edit`, when given, adds "Edit..." at the top; `remove`, when given, is how "Delete"
    // deletes (it may ask first), and otherwise the item is deleted at once.
    ItemContextMenu(Item &item, const std::vector<Record *> &tagsInOrder, LibraryStore &store,
                    FileRevealer &revealer, LinkOpener &links, QWidget *parent = nullptr,
                    std::function<void(Item &)> edit = {}, std::function<void(Item &)> remove = {});

private:
    void addTagMenu(const Item &item, const std::vector<Record *> &tagsInOrder);
    void addLinkActions(const Item &item, FileRevealer &revealer, LinkOpener &links);
    // Runs `action` on the item if it still exists.
    void addItemAction(const QString &icon, const QString &text,
                       std::function<void(Item &)> action);

    LibraryStore &m_store;
    QUuid m_itemId;
};

} // namespace quillory
