#pragma once

#include <state/LibraryCounts.h>
#include <state/LibraryFilter.h>

#include <QColor>
#include <QStandardItemModel>
#include <QUuid>
#include <vector>

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
    ~SidebarModel() override;

    // Changes only what differs from the rows shown: a changed count or mark is set on its
    // row, a new folder or tag is inserted and a gone one removed. The model is never reset,
    // so the view keeps its expanded rows, scroll position and current row.
    void update(const LiveList &folders, const LiveList &tags, const LibraryCounts &counts,
                const SidebarSelection &selection, const QList<Tag *> &filterTags);

    QModelIndex indexOfSmartFolder(SmartFolder folder) const;
    // Tag rows are dragged as tags; no other row is dragged.
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    QModelIndex indexOfId(RowKind kind, const QUuid &id) const;

private:
    // What one row shows, described afresh on every update and compared with the row.
    struct Row
    {
        Row() = default;
        Row(RowKind rowKind, const QString &rowTitle, const QString &rowSymbol = {},
            const QColor &rowTint = {}, int rowCount = -1)
            : kind(rowKind), title(rowTitle), symbol(rowSymbol), tint(rowTint), count(rowCount)
        {
        }
        Row(const Row &) = default;
        Row(Row &&) = default;
        Row &operator=(const Row &) = default;
        Row &operator=(Row &&) = default;
        // Takes the rows below apart from a list: nested destructors would recurse as deep
        // as the tree goes.
        ~Row();

        RowKind kind = RowKind::Section;
        int smartFolder = -1;
        QUuid id;
        QString title;
        QString symbol;
        QColor tint;
        int count = -1;
        bool selected = false;
        bool checked = false;
        std::vector<Row> children;
    };

    static Row describe(const LiveList &folders, const LiveList &tags, const LibraryCounts &counts,
                        const SidebarSelection &selection, const QList<Tag *> &filterTags);
    static void describeFolders(Row &section, const LiveList &folders,
                                const SidebarSelection &selection);
    // A shown row, what it is to show, and what it showed when the last update left it if
    // that is known (it is not for rows just moved or made).
    struct Pending
    {
        QStandardItem *shown;
        const Row *row;
        const Row *was;
    };

    static bool standsFor(const QStandardItem &shown, const Row &row);
    static bool sameRow(const Row &a, const Row &b);
    static void showData(QStandardItem &shown, const Row &row, const Row *was);
    static QStandardItem *made(const Row &row);
    // Brings the children of `shown` to those of `row`; pairs left to compare go on `pending`.
    static void followChildren(QStandardItem &shown, const Row &row, const Row *was,
                               std::vector<Pending> &pending);
    QModelIndex find(const QModelIndex &parent, RowKind kind, const QVariant &value,
                     int role) const;

    // What the rows show since the last update: comparing with it spares reading every
    // row's data back from the items on each refresh. Only update() changes the rows.
    Row m_shown;
};

} // namespace quillory
