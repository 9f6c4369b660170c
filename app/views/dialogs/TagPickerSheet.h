#pragma once

#include <QDialog>
#include <QUuid>
#include <memory>

class QLineEdit;
class QMimeData;
class QModelIndex;
class QPushButton;
class QToolButton;

namespace quillory {

class Item;
class LibraryStore;
class LiveList;
class ModelRowWidgets;

// Chooses the tags of one item: pressing a tag's row adds or removes it, "+" creates a new
// tag on the item, and tags dropped on the drop zone are added. Every change is saved at
// once. Closes itself when the item is deleted.
class TagPickerSheet final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TagPickerSheet)

public:
    TagPickerSheet(LibraryStore &store, Item &item, QWidget *parent = nullptr);
    ~TagPickerSheet() override;

    // Null once the item has been deleted.
    Item *item() const { return m_item; }

    // Adds the tags the payloads name to the item, in order, skipping unknown ids. True
    // when at least one payload decoded, which is when a drop is accepted.
    bool dropPayload(const QMimeData &mime);
    // Adds the tag to the item, or removes it when the item carries it.
    void toggle(const QUuid &tagId);

private:
    QWidget *buildHeader();
    QWidget *buildList();
    QWidget *makeRow(const QModelIndex &index, QWidget *parent);
    void showRow(QWidget &row, const QModelIndex &index) const;
    void addNewTag();
    void setNewTagRowShown(bool shown);
    void dragTag(QWidget &row, const QUuid &tagId);

    LibraryStore &m_store;
    Item *m_item;
    std::unique_ptr<LiveList> m_tags;

    QToolButton *m_newTag = nullptr;
    QWidget *m_newTagRow = nullptr;
    QLineEdit *m_tagName = nullptr;
    QPushButton *m_add = nullptr;
    QWidget *m_dropZone = nullptr;
    // One row per tag, following m_tags.
    ModelRowWidgets *m_rows = nullptr;
};

} // namespace quillory
