#pragma once

#include <QList>
#include <QSize>
#include <QTimer>
#include <QUuid>
#include <QWidget>

class QAction;
class QComboBox;
class QImage;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QToolBar;
class QToolButton;

namespace quillory {

class FlowLayout;
class Item;
class ItemActions;
class KeptPages;
class LibraryStore;
class SheetRunner;
class TagChipView;

// The selected item in full: picture, title, link, kind and date, the note edited in
// place, tags as removable chips, the folder, and a toolbar of actions. Changes go straight
// into the item; only the note being edited is held back until Save.
class ItemDetailView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ItemDetailView)

public:
    // The toolbar and the link act through `actions`, which the window keeps on the same item.
    ItemDetailView(LibraryStore &store, const ItemActions &actions, const SheetRunner &sheets,
                   QWidget *parent = nullptr);

    // Shows `item` (null clears). A new item starts with the note out of edit mode.
    void setItem(Item *item);
    Item *item() const;

    bool isEditingNote() const;
    void startEditingNote();
    void saveNote();
    void cancelNote();
    QPlainTextEdit *noteEditor() const { return m_noteEditor; }
    QString noteText() const;
    QStringList chipNames() const;
    QComboBox *folderPicker() const { return m_folder; }
    QToolBar *toolbar() const { return m_toolbar; }
    void openTagPicker();
    void showFullSizeImage();
    // Where the item's kept copy and its link's health are asked; null when the library
    // keeps no copies. They must outlive the view.
    void setKeptPages(KeptPages *pages);
    // Applies pending changes now (tests call it instead of waiting a turn of the loop).
    void refresh();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    QWidget *buildNoteSection();
    QWidget *buildTagSection();
    void refreshPicture(const Item &item);
    void paintPicture(const Item &item, const QImage &image);
    void refreshLink(const Item &item);
    void refreshPageFacts(const Item &item);
    void askLinkHealth();
    void updateKeptRow();
    void refreshNote(const Item &item);
    void followTags(const Item &item);
    void refreshFolders(const Item &item);
    void buildToolbar();
    void followLink();

    LibraryStore &m_store;
    const ItemActions &m_actions;
    const SheetRunner &m_sheets;
    QUuid m_itemId;
    // What the shown picture was decoded from; a refresh that changes none of it keeps it.
    struct PictureKey
    {
        QUuid itemId;
        qint64 modifiedAt = 0;
        bool hasImage = false;
        bool hasThumbnail = false;
        QSize bound;
        bool operator==(const PictureKey &) const = default;
    };
    PictureKey m_pictureKey;
    QToolBar *m_toolbar = nullptr;
    QAction *m_viewFullSize = nullptr;
    QLabel *m_picture = nullptr;
    QLabel *m_title = nullptr;
    QLabel *m_favoriteStar = nullptr;
    QPushButton *m_link = nullptr;
    QLabel *m_badge = nullptr;
    QLabel *m_added = nullptr;
    QWidget *m_keptRow = nullptr;
    QLabel *m_gone = nullptr;
    QToolButton *m_readKept = nullptr;
    QLabel *m_description = nullptr;
    QLabel *m_byline = nullptr;
    KeptPages *m_pages = nullptr;
    // Whether the shown item's link has died, as its last answers tell.
    bool m_linkBroken = false;
    QStackedWidget *m_noteStack = nullptr;
    QLabel *m_noteBody = nullptr;
    QPlainTextEdit *m_noteEditor = nullptr;
    QWidget *m_chips = nullptr;
    FlowLayout *m_chipLayout = nullptr;
    // The chips shown, in the item's tag order.
    QList<TagChipView *> m_chipViews;
    QLabel *m_noTags = nullptr;
    QComboBox *m_folder = nullptr;
    QTimer m_refresh;
};

} // namespace quillory
