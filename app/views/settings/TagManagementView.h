#pragma once

#include <views/widgets/SheetRunner.h>

#include <QList>
#include <QTimer>
#include <QUuid>
#include <QWidget>
#include <functional>
#include <memory>
#include <utility>

class QDialog;
class QPoint;
class QStackedWidget;
class QToolButton;
class QVBoxLayout;

namespace quillory {

class EmptyStateView;
class LibraryStore;
class LiveList;

// Every tag with the number of items carrying it: "+" creates a tag, clicking a row edits
// it, and a row's trash button, context menu or the Delete key deletes it at once.
class TagManagementView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TagManagementView)

public:
    explicit TagManagementView(LibraryStore &store, QWidget *parent = nullptr);
    ~TagManagementView() override;

    // Opens the editor for a new tag, or for the tag with this id.
    void createTag();
    void editTag(const QUuid &tagId);
    // Deletes the tag from the store, and so from every item carrying it.
    void deleteTag(const QUuid &tagId);

    // Rows follow the store on the next turn of the event loop; this catches up now.
    void refreshNow();

    // Tests answer sheets instead of a person: when set, sheets go to the hook, not exec().
    void setSheetHook(SheetRunner::Hook hook) { m_sheets.setHook(std::move(hook)); }

private:
    QWidget *buildHeader();
    QWidget *buildList();
    void scheduleRefresh();
    void refresh();
    void rebuildRows();
    void runSheet(QDialog &sheet);
    void showRowMenu(const QUuid &tagId, const QPoint &globalPosition);

    LibraryStore &m_store;
    std::unique_ptr<LiveList> m_tags;
    QTimer m_refresh;
    // While a sheet or menu runs its own event loop, rows must not be rebuilt under it.
    int m_busy = 0;
    SheetRunner m_sheets;

    QToolButton *m_newTag = nullptr;
    QStackedWidget *m_stack = nullptr;
    EmptyStateView *m_empty = nullptr;
    QWidget *m_listPage = nullptr;
    QVBoxLayout *m_rowsLayout = nullptr;
    QList<QWidget *> m_rows;
};

} // namespace quillory
