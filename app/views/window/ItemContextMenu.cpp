#include <views/window/ItemContextMenu.h>

#include <platform/FileRevealer.h>
#include <views/widgets/DisplayText.h>
#include <views/widgets/SymbolIcon.h>
#include <views/window/LinkOpener.h>

#include <model/Item.h>
#include <model/LibraryStore.h>
#include <model/Tag.h>

#include <QClipboard>
#include <QGuiApplication>

namespace quillory {

ItemContextMenu::ItemContextMenu(Item &item, const std::vector<Record *> &tagsInOrder,
                                 LibraryStore &store, FileRevealer &revealer, LinkOpener &links,
                                 QWidget *parent, std::function<void(Item &)> edit,
                                 std::function<void(Item &)> remove)
    : QMenu(parent), m_store(store), m_itemId(item.id())
{
    // A library that can only be read offers only what reads it.
    if (store.isReadOnly()) {
        addLinkActions(item, revealer, links);
        return;
    }
    if (edit) {
        addItemAction(QStringLiteral("pencil"), QStringLiteral("Edit..."), std::move(edit));
        addSeparator();
    }
    addTagMenu(item, tagsInOrder);

    const bool favorite = item.isFavorite();
    addItemAction(favorite ? QStringLiteral("star.slash") : QStringLiteral("star"),
                  favorite ? QStringLiteral("Remove from Favorites")
                           : QStringLiteral("Add to Favorites"),
                  [](Item &i) { i.toggleFavorite(); });

    addLinkActions(item, revealer, links);
    addSeparator();

    const bool archived = item.isArchived();
    addItemAction(archived ? QStringLiteral("tray.and.arrow.up") : QStringLiteral("archivebox"),
                  archived ? QStringLiteral("Unarchive") : QStringLiteral("Archive"),
                  [](Item &i) { i.toggleArchive(); });
    if (!remove)
        remove = [this](Item &i) { m_store.remove(&i); };
    addItemAction(QStringLiteral("trash"), QStringLiteral("Delete"), std::move(remove));
}

void ItemContextMenu::addItemAction(const QString &icon, const QString &text,
                                    std::function<void(Item &)> action)
{
    QMenu::addAction(SymbolIcon::icon(icon), text, this, [this, action = std::move(action)] {
        if (Item *item = m_store.item(m_itemId))
            action(*item);
    });
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

void ItemContextMenu::addLinkActions(const Item &item, FileRevealer &revealer, LinkOpener &links)
{
    const std::optional<QUrl> link = LinkOpener::linkOf(item);
    if (!link)
        return;
    const QUrl url = *link;
    QMenu::addAction(SymbolIcon::icon(QStringLiteral("doc.on.doc")), QStringLiteral("Copy Link"),
                     this, [url] {
                         QClipboard *clipboard = QGuiApplication::clipboard();
                         clipboard->clear();
                         clipboard->setText(url.toString(QUrl::FullyEncoded));
                     });
    if (url.isLocalFile()) {
        QMenu::addAction(SymbolIcon::icon(QStringLiteral("folder")),
                         QStringLiteral("Show in File Manager"), this,
                         [url, &revealer] { revealer.reveal(url.toLocalFile()); });
    } else {
        addItemAction(QStringLiteral("safari"), QStringLiteral("Open in Browser"),
                      [&links](Item &i) { links.open(i); });
    }
}

} // namespace quillory
