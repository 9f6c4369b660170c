#include <views/window/ItemActions.h>

#include <platform/FileRevealer.h>
#include <views/dialogs/KeptCopyReader.h>
#include <views/widgets/DisplayText.h>
#include <views/widgets/SheetRunner.h>
#include <views/widgets/SymbolIcon.h>
#include <views/window/LinkOpener.h>

#include <model/Item.h>
#include <model/LibraryStore.h>
#include <pages/KeptPages.h>
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
    m_openKeptCopy = make(QStringLiteral("openKeptCopy"), &ItemActions::readKeptCopy);
    m_openKeptCopy->setText(QStringLiteral("Open Kept Copy"));
    m_openKeptCopy->setIconText(QStringLiteral("Read Kept Copy"));
    m_openKeptCopy->setIcon(SymbolIcon::icon(QStringLiteral("doc.text")));

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
    const QUuid id = item != nullptr ? item->id() : QUuid();
    if (id != m_itemId) {
        m_itemId = id;
        m_hasKeptCopy = false;
        askForKeptCopy();
    }
    update();
}

void ItemActions::setKeptPages(KeptPages *pages)
{
    if (m_pages != nullptr)
        disconnect(m_pages, nullptr, this, nullptr);
    m_pages = pages;
    m_hasKeptCopy = false;
    if (pages != nullptr) {
        connect(pages, &KeptPages::kept, this, [this](const QUuid &itemId) {
            if (itemId == m_itemId && !m_itemId.isNull()) {
                m_hasKeptCopy = true;
                update();
            }
        });
        connect(pages, &KeptPages::removed, this, &ItemActions::askForKeptCopy);
    }
    askForKeptCopy();
    update();
}

void ItemActions::setLocked(bool locked)
{
    m_locked = locked;
    update();
}

void ItemActions::askForKeptCopy()
{
    if (m_pages == nullptr || m_itemId.isNull())
        return;
    // The selection may have moved on by the time the answer comes.
    m_pages->hasCopy(m_itemId, this, [this, asked = m_itemId](bool has) {
        if (asked != m_itemId || has == m_hasKeptCopy)
            return;
        m_hasKeptCopy = has;
        update();
    });
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
    const QString scheme = url ? url->scheme().toLower() : QString();
    const bool web = scheme == u"http" || scheme == u"https";
    m_openKeptCopy->setVisible(m_pages != nullptr && web);
    // The icon-only toolbar shows its tip, which would otherwise be the menu's longer text.
    for (QAction *action :
         {m_open, m_reveal, m_copy, m_favorite, m_archive, m_edit, m_remove, m_openKeptCopy}) {
        action->setToolTip(action->iconText());
        action->setEnabled(!m_locked);
    }
    m_openKeptCopy->setEnabled(!m_locked && m_pages != nullptr && web && m_hasKeptCopy);
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

void ItemActions::readKeptCopy()
{
    const Item *i = item();
    if (i != nullptr && m_hasKeptCopy)
        openReader(*i);
}

void ItemActions::openReader(const Item &item)
{
    const Item *i = &item;
    if (m_pages == nullptr)
        return;
    // One reader per item: asking again brings it forward.
    for (KeptCopyReader *open : m_window.findChildren<KeptCopyReader *>()) {
        if (open->itemId() == i->id() && open->isVisible()) {
            open->raise();
            open->activateWindow();
            return;
        }
    }
    auto *reader = new KeptCopyReader(
        *m_pages, i->id(), i->title(), m_state.searchQuery(),
        [this](const QUrl &url) { m_links.openAddress(url); }, &m_window);
    reader->show();
    reader->raise();
    reader->activateWindow();
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
