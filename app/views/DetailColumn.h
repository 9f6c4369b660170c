#pragma once

#include <QWidget>

class QLabel;
class QStackedWidget;

namespace quillory {

class EmptyStateView;
class Item;

// The right column: the selected item, or an empty state when none is selected.
class DetailColumn final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DetailColumn)

public:
    explicit DetailColumn(QWidget *parent = nullptr);

    void showItem(const Item *item);
    bool isShowingEmptyState() const;
    EmptyStateView &emptyState() const { return *m_empty; }

private:
    QStackedWidget *m_stack;
    EmptyStateView *m_empty;
    QWidget *m_summary;
    QLabel *m_picture;
    QLabel *m_title;
    QLabel *m_kind;
    QLabel *m_link;
    QLabel *m_note;
};

} // namespace quillory
