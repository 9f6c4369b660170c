#pragma once

#include <QColor>
#include <QDialog>
#include <QString>
#include <QUuid>

class QLineEdit;
class QPushButton;

namespace quillory {

class ColorPickerGrid;
class LibraryStore;
class Tag;

// Creates a tag, or edits one: name and colour. Opened window-modal; saving writes
// straight into the store, which saves on its own.
class TagEditorSheet final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TagEditorSheet)

public:
    // A null `tag` creates a new one.
    TagEditorSheet(LibraryStore &store, Tag *tag, QWidget *parent = nullptr);
    ~TagEditorSheet() override;

    bool isCreating() const { return m_creating; }
    QString name() const;
    QColor color() const;
    // The tag written by the last save, or null before it.
    Tag *savedTag() const { return m_saved; }

private:
    QWidget *buildForm();
    void updateConfirm();
    void save();

    LibraryStore &m_store;
    bool m_creating = true;
    QUuid m_tagId;
    Tag *m_saved = nullptr;

    QLineEdit *m_name = nullptr;
    QString m_shownName;
    ColorPickerGrid *m_colorPicker = nullptr;
    QPushButton *m_confirm = nullptr;
};

} // namespace quillory
