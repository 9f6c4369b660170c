#pragma once

#include <views/widgets/SheetRunner.h>

#include <QTimer>
#include <QUuid>
#include <QWidget>
#include <functional>
#include <memory>
#include <utility>

class QDialog;
class QModelIndex;
class QPoint;
class QStackedWidget;
class QToolButton;

namespace quillory {

class EmptyStateView;
class LibraryStore;
class LiveList;
class ModelRowWidgets;

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

    // Item counts follow the items on the next turn of the event loop; this catches up now.
    void refreshNow();

    // Tests answer sheets instead of a person: when set, sheets go to the hook, not exec().
    void setSheetHook(SheetRunner::Hook hook) { m_sheets.setHook(std::move(hook)); }

private:
    QWidget *buildHeader();
    QWidget *buildList();
    QWidget *makeRow(const QModelIndex &index, QWidget *parent);
    void showRow(QWidget &row, const QModelIndex &index) const;
    void runSheet(QDialog &sheet);
    void showRowMenu(const QUuid &tagId, const QPoint &globalPosition);

    LibraryStore &m_store;
    std::unique_ptr<LiveList> m_tags;
    QTimer m_countsRefresh;
    SheetRunner m_sheets;

    QToolButton *m_newTag = nullptr;
    QStackedWidget *m_stack = nullptr;
    EmptyStateView *m_empty = nullptr;
    QWidget *m_listPage = nullptr;
    // One row per tag, following m_tags.
    ModelRowWidgets *m_rows = nullptr;
};

} // namespace quillory
