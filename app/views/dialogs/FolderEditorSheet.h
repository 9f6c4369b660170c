#pragma once

#include <QColor>
#include <QDialog>
#include <QString>
#include <QUuid>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quillory {

class ColorPickerGrid;
class Folder;
class IconPickerGrid;
class LibraryStore;

// Creates a folder, or edits one: name, icon, colour and parent. Opened window-modal over
// the main window; saving writes straight into the store, which saves on its own.
class FolderEditorSheet final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FolderEditorSheet)

public:
    // A null `folder` creates a new one.
    FolderEditorSheet(LibraryStore &store, Folder *folder, QWidget *parent = nullptr);
    ~FolderEditorSheet() override;

    // The folders offered as parent, by sortOrder (ties in store order): root folders only,
    // and never the edited folder or one of its descendants.
    static std::vector<Folder *> allowedParents(const std::vector<Folder *> &allFolders,
                                                const Folder *editing);

    bool isCreating() const { return m_creating; }
    QString name() const;
    QString iconName() const;
    QColor color() const;
    Folder *selectedParent() const;
    // The folder written by the last save, or null before it.
    Folder *savedFolder() const { return m_saved; }

private:
    QWidget *buildForm();
    void fillParents(const Folder *editing, const Folder *currentParent);
    void updatePreview();
    void updateConfirm();
    void save();
    void onFoldersAboutToBeRemoved(const QList<QUuid> &ids);

    LibraryStore &m_store;
    bool m_creating = true;
    QUuid m_folderId;
    Folder *m_saved = nullptr;

    QLineEdit *m_name = nullptr;
    QString m_shownName;
    QLabel *m_preview = nullptr;
    IconPickerGrid *m_iconPicker = nullptr;
    ColorPickerGrid *m_colorPicker = nullptr;
    QComboBox *m_parent = nullptr;
    QPushButton *m_confirm = nullptr;
};

} // namespace quillory
