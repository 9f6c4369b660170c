#pragma once

#include <views/window/ItemDetailView.h>

#include <QWidget>

class QStackedWidget;

namespace quillory {

class EmptyStateView;
class Item;
class LibraryStore;

// The right column: the selected item, or an empty state when none is selected.
class DetailColumn final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DetailColumn)

public:
    DetailColumn(LibraryStore &store, const ItemActions &actions, const SheetRunner &sheets,
                 QWidget *parent = nullptr);

    void showItem(Item *item);
    bool isShowingEmptyState() const;
    EmptyStateView &emptyState() const { return *m_empty; }
    ItemDetailView &detail() const { return *m_detail; }

private:
    QStackedWidget *m_stack;
    EmptyStateView *m_empty;
    ItemDetailView *m_detail;
};

} // namespace quillory
