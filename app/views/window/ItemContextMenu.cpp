#include <views/window/ItemContextMenu.h>

#include <views/widgets/DisplayText.h>
#include <views/widgets/SymbolIcon.h>
#include <views/window/ItemActions.h>
#include <views/window/LinkOpener.h>

#include <model/Item.h>
#include <model/LibraryStore.h>
#include <model/Tag.h>

#include <QAction>

namespace quillory {

ItemContextMenu::ItemContextMenu(const ItemActions &actions,
                                 const std::vector<Record *> &tagsInOrder, LibraryStore &store,
                                 QWidget *parent)
    : QMenu(parent), m_store(store)
{
    const Item *item = actions.item();
    if (item == nullptr)
        return;
    m_itemId = item->id();
    // A library that can only be read offers only what reads it.
    if (store.isReadOnly()) {
        addLinkActions(*item, actions);
        return;
    }
    addAction(actions.edit());
    addSeparator();
    addTagMenu(*item, tagsInOrder);
    addAction(actions.favorite());
    addLinkActions(*item, actions);
    addSeparator();
    addAction(actions.archive());
    addAction(actions.remove());
}

void ItemContextMenu::addTagMenu(const Item &item, const std::vector<Record *> &tagsInOrder)
{
    QMenu *tags = addMenu(QStringLiteral("Tags"));
    tags->setEnabled(!tagsInOrder.empty());
    for (Record *record : tagsInOrder) {
        const auto *tag = static_cast<const Tag *>(record);
        const bool carried = item.hasTag(*tag);
        const QUuid tagId = tag->id();
        tags->addAction(
            SymbolIcon::icon(carried ? QStringLiteral("checkmark") : QStringLiteral("circle")),
            DisplayText::forMenu(tag->name()), this, [this, tagId, carried] {
                Item *target = m_store.item(m_itemId);
                Tag *t = m_store.tag(tagId);
                if (target == nullptr || t == nullptr)
                    return;
                if (carried)
                    target->removeTag(*t);
                else
                    target->addTag(t);
            });
    }
}

void ItemContextMenu::addLinkActions(const Item &item, const ItemActions &actions)
{
    const std::optional<QUrl> link = LinkOpener::linkOf(item);
    if (!link)
        return;
    addAction(actions.copyLink());
    // A file is shown where it lies; opening it is the list's Return and double-click.
    addAction(link->isLocalFile() ? actions.showInFileManager() : actions.open());
    // For a web page where copies are kept; greyed out while it has none.
    if (actions.openKeptCopy()->isVisible())
        addAction(actions.openKeptCopy());
}

} // namespace quillory
