#pragma once

#include <LibraryCounts.h>
#include <LibraryFilter.h>

#include <QSet>
#include <QStandardItemModel>
#include <QUuid>
#include <array>

namespace quillory {

class Folder;
class LiveList;
class Tag;

// The sidebar's rows: the Library section with the smart folders and their counts, the
// folder tree with a "New Folder" row, and the tag filters. Brought up to date from the live
// lists whenever the library changes; rows carry what they stand for in their data.
class SidebarModel final : public QStandardItemModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SidebarModel)

public:
    enum class RowKind { Section, SmartFolder, Folder, NewFolder, Tag };
    enum Role {
        KindRole = Qt::UserRole + 1,
        SmartFolderRole, // int
        IdRole,          // QUuid of a folder or tag
        CountRole,       // int, -1 for none
        SelectedRole,    // bool: the row is the sidebar's current choice
        CheckedRole,     // bool: the tag is one of the filter tags
        TintRole,        // QColor
        SymbolRole,      // icon symbol name
    };

    explicit SidebarModel(QObject *parent = nullptr) : QStandardItemModel(parent) {}

    // Updates the rows in place while the same folders and tags are shown in the same order;
    // otherwise builds them anew and returns true (the view's expanded rows are gone).
    bool rebuild(const LiveList &folders, const LiveList &tags, const LibraryCounts &counts,
                 const SidebarSelection &selection, const QList<Tag *> &filterTags);

    QModelIndex indexOfSmartFolder(SmartFolder folder) const;
    QModelIndex indexOfId(RowKind kind, const QUuid &id) const;

private:
    QList<QStandardItem *> buildSections(const LiveList &folders, const LiveList &tags,
                                         const LibraryCounts &counts,
                                         const SidebarSelection &selection,
                                         const QList<Tag *> &filterTags);
    static QStandardItem *section(QList<QStandardItem *> &sections, const QString &title);
    // Whether `sections` has the shown rows' kinds, folders and tags in the same places.
    bool hasShapeOf(const QList<QStandardItem *> &sections) const;
    void takeDataOf(const QList<QStandardItem *> &sections);
    void appendFolder(QStandardItem *parent, Folder &folder, const SidebarSelection &selection);
    QModelIndex find(const QModelIndex &parent, RowKind kind, const QVariant &value,
                     int role) const;
};

} // namespace quillory
