#pragma once

#include <views/window/SidebarModel.h>

#include <QSet>
#include <QWidget>

class QCompleter;
class QLineEdit;
class QStringListModel;
class QToolButton;
class QTreeView;

namespace quillory {

class SidebarDelegate;

// The left column: search field, smart folders, the folder tree and the tag filters. It
// shows choices and reports clicks; the main window decides what they mean.
class Sidebar final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Sidebar)

public:
    explicit Sidebar(QWidget *parent = nullptr);
    // Off for a library that can only be read: no new, edit or delete entries.
    void setEditable(bool editable);

    SidebarModel &model() { return *m_model; }
    QLineEdit *searchField() const { return m_search; }
    QTreeView *tree() const { return m_tree; }
    // Offered under the empty search field, most recent first, on Down or a click into it.
    void setRecentSearches(const QStringList &searches);

    // Brings the rows up to date, keeping expanded folders and the scroll position.
    void update(const LiveList &folders, const LiveList &tags, const LibraryCounts &counts,
                const SidebarSelection &selection, const QList<Tag *> &filterTags);
    // Whether rows show how many items they hold (the "Show Item Counts" preference).
    void setCountsShown(bool shown);
    bool countsShown() const;

signals:
    void smartFolderClicked(quillory::SmartFolder folder);
    // `isRoot` tells a root folder's row from a sub-folder's row.
    void folderClicked(const QUuid &id, bool isRoot);
    void tagClicked(const QUuid &id);
    void newFolderRequested();
    void editFolderRequested(const QUuid &id);
    void deleteFolderRequested(const QUuid &id);
    void editTagRequested(const QUuid &id);
    void deleteTagRequested(const QUuid &id);
    // Down or Return in the search field: the user goes on to what it found.
    void resultsRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onClicked(const QModelIndex &index);
    void openAsLeft(const QModelIndex &parent, int first, int last);
    void restoreExpansion(const QModelIndex &parent);
    // True when there were recent searches to offer.
    bool offerRecentSearches();

    SidebarModel *m_model;
    SidebarDelegate *m_delegate;
    QLineEdit *m_search;
    QStringListModel *m_recentSearches;
    QCompleter *m_recentPopup;
    QToolButton *m_newFolder;
    bool m_editable = true;
    QTreeView *m_tree;
    QSet<QUuid> m_expandedFolders;
    QSet<QString> m_collapsedSections; // by title: "Library", "Folders", "Tags"
};

} // namespace quillory
