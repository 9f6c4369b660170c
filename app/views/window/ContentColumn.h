#pragma once

#include <views/window/ItemListModel.h>

#include <QWidget>

class QLabel;
class QMimeData;
class QModelIndex;
class QStackedWidget;

namespace quillory {

class AppState;
class ContentHeader;
class EmptyStateView;
class Item;
class ItemDelegate;
class ItemGridView;
class Record;
class ThumbnailCache;

// The middle column: title, header bar and the shown items as a grid of cards or a list
// of rows, or an empty state. Views over one model, so 100,000 items cost no widgets.
class ContentColumn final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ContentColumn)

public:
    ContentColumn(AppState &state, ThumbnailCache &thumbnails, QWidget *parent = nullptr);

    ItemListModel &model() const { return *m_model; }
    ContentHeader &header() const { return *m_header; }
    ItemGridView *view() const { return m_view; }
    EmptyStateView &emptyState() const { return *m_empty; }

    void setTitle(const QString &title);
    QString title() const;
    // Replaces the shown list and keeps `selected` selected when it is still in it. Rows
    // found in their kept page show the snippet given for them.
    void showItems(std::vector<Item *> items, Item *selected,
                   ItemListModel::Snippets snippets = {});
    // Keeps `item` selected; none for null.
    void selectItem(Item *item);
    // Selects `item` and scrolls it into view, once it is in the list: an item chosen from
    // elsewhere (a new one, one shown from a notice) may arrive with a later refresh.
    void revealItem(Item *item);
    // Moves the keyboard to the shown items, choosing the first when none is chosen.
    void focusItems();
    // Takes records that are about to be destroyed out of the shown list.
    void forgetItems(const QList<Record *> &records);
    bool isShowingEmptyState() const;

signals:
    void itemSelected(quillory::Item *item);
    void contextMenuRequested(quillory::Item *item, const QPoint &globalPosition);
    // Links, files, text and pictures dropped anywhere on the column.
    void dropped(const QMimeData &data);
    // Tags dropped on the card or row of `item`.
    void tagsDropped(quillory::Item *item, const QMimeData &data);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    static void acceptAsCopy(QDropEvent &event);
    // The shown card or row under `position`, in the column's coordinates.
    QModelIndex cardAt(QPoint position) const;
    void showDropHighlight(const QRect &area);
    void applyViewMode();
    void layoutGrid();
    void scrollToIfRevealing(const Item *item, const QModelIndex &index);

    AppState &m_state;
    QLabel *m_title;
    ContentHeader *m_header;
    QStackedWidget *m_stack;
    EmptyStateView *m_empty;
    ItemGridView *m_view;
    ItemListModel *m_model;
    ItemDelegate *m_delegate;
    QWidget *m_dropHighlight;
    Item *m_revealing = nullptr; // to be scrolled to once shown
};

} // namespace quillory
