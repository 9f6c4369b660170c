#pragma once

#include <QWidget>

class QButtonGroup;
class QLabel;
class QMenu;
class QToolButton;

namespace quillory {

class AppState;

// The bar above the item list: count, add menu, favourites chip, kind filter, sort menu and
// view-mode switch. Reads and writes the shared AppState.
class ContentHeader final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ContentHeader)

public:
    ContentHeader(AppState &state, QWidget *parent = nullptr);

    void setCount(int count);
    QString countText() const;
    // Entries for adding items are appended here.
    QMenu *addMenu() const { return m_addMenu; }
    // Off for a library that can only be read: nothing can be added.
    void setEditable(bool editable);

private:
    void buildKindMenu();
    void buildSortMenu();
    void syncFromState();

    AppState &m_state;
    QLabel *m_count;
    QMenu *m_addMenu;
    QToolButton *m_add = nullptr;
    QToolButton *m_favorites;
    QToolButton *m_kind;
    QToolButton *m_sort;
    QButtonGroup *m_viewModes;
};

} // namespace quillory
