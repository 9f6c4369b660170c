#pragma once

#include <QObject>
#include <QUuid>

class QAction;
class QWidget;

namespace quillory {

class AppState;
class FileRevealer;
class Item;
class KeptPages;
class LibraryStore;
class LinkOpener;
class SheetRunner;

// What can be done to the selected item, as one set of actions that the context menu, the
// detail toolbar, the detail link and the item list's keys all share. Each action follows the
// item: its text, icon, whether it applies, and what it does. A menu reads `text()`; the
// icon-only toolbar shows the shorter `iconText()` as its tip. Actions that change the item
// are not offered while the library can only be read.
class ItemActions final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ItemActions)

public:
    // Questions are asked over `window` through `sheets`.
    ItemActions(AppState &state, LibraryStore &store, FileRevealer &revealer, LinkOpener &links,
                const SheetRunner &sheets, QWidget &window);

    // The item every action acts on; null makes them all unavailable.
    void setItem(Item *item);
    Item *item() const;

    QAction *open() const { return m_open; }
    QAction *showInFileManager() const { return m_reveal; }
    QAction *copyLink() const { return m_copy; }
    QAction *favorite() const { return m_favorite; }
    QAction *archive() const { return m_archive; }
    QAction *edit() const { return m_edit; }
    QAction *remove() const { return m_remove; }
    // Reads the item's kept copy of its page in a window of its own; available only while
    // the item has one.
    QAction *openKeptCopy() const { return m_openKeptCopy; }
    // The reader of `item`'s kept copy, for a place that knows it has one (Broken Links);
    // an open one is brought forward.
    void openReader(const Item &item);

    // While locked nothing is offered, whatever the item.
    void setLocked(bool locked);
    // Where the kept copies are; null when the library keeps none. They must outlive this.
    void setKeptPages(KeptPages *pages);

    // The keys (edit, delete, open) act on the item while focus is within `widget`.
    void addKeysTo(QWidget &widget);
    // Asks first, then deletes the item from the library.
    void confirmDelete(Item *item);

private:
    QAction *make(const QString &objectName, void (ItemActions::*slot)());
    void update();
    void openItem();
    void reveal();
    void copy();
    void toggleFavorite();
    void toggleArchive();
    void editItem();
    void deleteItem();
    void readKeptCopy();
    void askForKeptCopy();

    AppState &m_state;
    LibraryStore &m_store;
    FileRevealer &m_revealer;
    LinkOpener &m_links;
    const SheetRunner &m_sheets;
    QWidget &m_window;
    QUuid m_itemId;
    QAction *m_open = nullptr;
    QAction *m_reveal = nullptr;
    QAction *m_copy = nullptr;
    QAction *m_favorite = nullptr;
    QAction *m_archive = nullptr;
    QAction *m_edit = nullptr;
    QAction *m_remove = nullptr;
    QAction *m_openKeptCopy = nullptr;
    KeptPages *m_pages = nullptr;
    // Whether the item has a kept copy, as the copies last answered.
    bool m_hasKeptCopy = false;
    bool m_locked = false;
};

} // namespace quillory
