#pragma once

#include <QDialog>
#include <QUuid>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace quillory {

class Item;
class LibraryStore;

// Edits an item's title, note and link. Writes straight into the item on Save; the store
// saves on its own. Closes by itself if the item is deleted while it is open.
class ItemEditorSheet final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ItemEditorSheet)

public:
    ItemEditorSheet(LibraryStore &store, Item &item, QWidget *parent = nullptr);

    // Whether the item's link is offered for editing (only a link that parses).
    bool showsUrl() const { return m_url != nullptr; }

private:
    void save();

    LibraryStore &m_store;
    QUuid m_itemId;
    QLineEdit *m_title;
    QString m_shownTitle;
    QString m_shownUrl;
    QLineEdit *m_url = nullptr;
    QPlainTextEdit *m_note;
    QPushButton *m_save = nullptr;
};

} // namespace quillory
