#include <views/window/ItemActions.h>

#include <platform/FileRevealer.h>
#include <views/widgets/DisplayText.h>
#include <views/widgets/SheetRunner.h>
#include <views/widgets/SymbolIcon.h>
#include <views/window/LinkOpener.h>

#include <model/Item.h>
#include <model/LibraryStore.h>
#include <state/AppState.h>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

namespace quillory {

ItemActions::ItemActions(AppState &state, LibraryStore &store, FileRevealer &revealer,
                         LinkOpener &links, const SheetRunner &sheets, QWidget &window)
    : QObject(&window), m_state(state), m_store(store), m_revealer(revealer), m_links(links),
      m_sheets(sheets), m_window(window)
{
    m_open = make(QStringLiteral("openItem"), &ItemActions::openItem);
    m_open->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    m_reveal = make(QStringLiteral("showInFileManager"), &ItemActions::reveal);
    m_reveal->setText(QStringLiteral("Show in File Manager"));
    m_reveal->setIcon(SymbolIcon::icon(QStringLiteral("folder")));
    m_copy = make(QStringLiteral("copyLink"), &ItemActions::copy);
    m_copy->setText(QStringLiteral("Copy Link"));
    m_copy->setIconText(QStringLiteral("Copy"));
    m_copy->setIcon(SymbolIcon::icon(QStringLiteral("doc.on.doc")));
    m_favorite = make(QStringLiteral("favoriteItem"), &ItemActions::toggleFavorite);
    m_archive = make(QStringLiteral("archiveItem"), &ItemActions::toggleArchive);
    m_edit = make(QStringLiteral("editItem"), &ItemActions::editItem);
    m_edit->setText(QStringLiteral("Edit..."));
    m_edit->setIcon(SymbolIcon::icon(QStringLiteral("pencil")));
    m_edit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    m_remove = make(QStringLiteral("deleteItem"), &ItemActions::deleteItem);
    m_remove->setText(QStringLiteral("Delete"));
    m_remove->setIcon(SymbolIcon::icon(QStringLiteral("trash")));
    m_remove->setShortcuts({QKeySequence::Delete, QKeySequence(Qt::Key_Backspace)});

    connect(&store, &LibraryStore::recordChanged, this, [this](Record *record) {
        if (record->id() == m_itemId)
            update();
    });
    connect(&store, &LibraryStore::recordsAboutToBeRemoved, this,
            [this](RecordKind, const QList<Record *> &records) {
                for (const Record *r : records) {
                    if (r->id() == m_itemId)
                        setItem(nullptr);
                }
            });
    update();
}

QAction *ItemActions::make(const QString &objectName, void (ItemActions::*slot)())
{
    auto *action = new QAction(this);
    action->setObjectName(objectName);
    // Keys belong to the widget they were given to, never to the whole window: Delete in the
    // search field or the note deletes text, not the item.
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(action, &QAction::triggered, this, slot);
    return action;
}

void ItemActions::setItem(Item *item)
{
    m_itemId = item != nullptr ? item->id() : QUuid();
    update();
}

Item *ItemActions::item() const
{
    return m_itemId.isNull() ? nullptr : m_store.item(m_itemId);
}

void ItemActions::addKeysTo(QWidget &widget)
{
    widget.addActions({m_edit, m_remove, m_open});
}

void ItemActions::update()
{
    const Item *i = item();
    const std::optional<QUrl> url = i != nullptr ? LinkOpener::linkOf(*i) : std::nullopt;
    const bool file = url && url->isLocalFile();
    // A library that can only be read offers what reads: opening, copying, showing.
    const bool editable = i != nullptr && !m_store.isReadOnly();

    m_open->setVisible(url.has_value());
    m_open->setText(file ? QStringLiteral("Open File") : QStringLiteral("Open in Browser"));
    m_open->setIconText(file ? QStringLiteral("Open File") : QStringLiteral("Open"));
    m_open->setIcon(SymbolIcon::icon(file ? QStringLiteral("doc") : QStringLiteral("safari")));
    m_reveal->setVisible(file);
    m_copy->setVisible(url.has_value());

    const bool favorite = i != nullptr && i->isFavorite();
    m_favorite->setVisible(editable);
    m_favorite->setText(favorite ? QStringLiteral("Remove from Favorites")
                                 : QStringLiteral("Add to Favorites"));
    m_favorite->setIconText(favorite ? QStringLiteral("Unfavorite") : QStringLiteral("Favorite"));
    m_favorite->setIcon(
        favorite ? SymbolIcon::tintedIcon(QStringLiteral("star.fill"), QColor(0xFF, 0xCC, 0x00))
                 : SymbolIcon::icon(QStringLiteral("star")));

    const bool archived = i != nullptr && i->isArchived();
    m_archive->setVisible(editable);
    m_archive->setText(archived ? QStringLiteral("Unarchive") : QStringLiteral("Archive"));
    m_archive->setIcon(SymbolIcon::icon(archived ? QStringLiteral("tray.and.arrow.up")
                                                 : QStringLiteral("archivebox")));
    m_edit->setVisible(editable);
    m_remove->setVisible(editable);
    // The icon-only toolbar shows its tip, which would otherwise be the menu's longer text.
    for (QAction *action : {m_open, m_reveal, m_copy, m_favorite, m_archive, m_edit, m_remove})
        action->setToolTip(action->iconText());
}

void ItemActions::openItem()
{
    if (const Item *i = item())
        m_links.open(*i);
}

void ItemActions::reveal()
{
    const Item *i = item();
    const std::optional<QUrl> url = i != nullptr ? LinkOpener::linkOf(*i) : std::nullopt;
    if (url && url->isLocalFile())
        m_revealer.reveal(url->toLocalFile());
}

void ItemActions::copy()
{
    const Item *i = item();
    const std::optional<QUrl> url = i != nullptr ? LinkOpener::linkOf(*i) : std::nullopt;
    if (!url)
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(url->toString(QUrl::FullyEncoded));
}

void ItemActions::toggleFavorite()
{
    if (Item *i = item(); i != nullptr && !m_store.isReadOnly())
        i->toggleFavorite();
}

void ItemActions::toggleArchive()
{
    if (Item *i = item(); i != nullptr && !m_store.isReadOnly())
        i->toggleArchive();
}

void ItemActions::editItem()
{
    if (Item *i = item(); i != nullptr && !m_store.isReadOnly())
        m_state.setEditingItem(i);
}

void ItemActions::deleteItem()
{
    Item *i = item();
    if (i == nullptr || m_store.isReadOnly())
        return;
    if (m_state.preferences().confirmBeforeDelete())
        confirmDelete(i);
    else
        m_store.remove(i);
}

void ItemActions::confirmDelete(Item *item)
{
    if (item == nullptr)
        return;
    const QUuid id = item->id();
    QMessageBox box(
        QMessageBox::Warning, QStringLiteral("Delete Item"),
        QStringLiteral("Delete \u201C%1\u201D?").arg(DisplayText::bounded(item->title())),
        QMessageBox::Cancel, &m_window);
    box.setInformativeText(
        QStringLiteral("It is removed from your library. This cannot be undone."));
    DisplayText::makePlain(box);
    QPushButton *confirm = box.addButton(QStringLiteral("Delete"), QMessageBox::DestructiveRole);
    box.setDefaultButton(QMessageBox::Cancel);
    m_sheets.run(box);
    // Looked up again: the item may have gone while the question was open.
    if (box.clickedButton() == confirm)
        m_store.remove(m_store.item(id));
}

} // namespace quillory
