#include "SidebarModel.h"

#include <Folder.h>
#include <LiveList.h>
#include <Tag.h>

#include <array>
#include <vector>

namespace quillory {

namespace {

QStandardItem *row(SidebarModel::RowKind kind, const QString &title, const QString &symbol,
                   const QColor &tint)
{
    auto *item = new QStandardItem(title);
    item->setEditable(false);
    item->setData(int(kind), SidebarModel::KindRole);
    item->setData(symbol, SidebarModel::SymbolRole);
    item->setData(tint, SidebarModel::TintRole);
    item->setData(-1, SidebarModel::CountRole);
    item->setData(false, SidebarModel::SelectedRole);
    return item;
}

} // namespace

QStandardItem *SidebarModel::section(QList<QStandardItem *> &sections, const QString &title)
{
    QStandardItem *header = row(RowKind::Section, title, QString(), QColor());
    header->setSelectable(false);
    sections.append(header);
    return header;
}

bool SidebarModel::rebuild(const LiveList &folders, const LiveList &tags,
                           const LibraryCounts &counts, const SidebarSelection &selection,
                           const QList<Tag *> &filterTags)
{
    const QList<QStandardItem *> sections =
        buildSections(folders, tags, counts, selection, filterTags);
    // Most refreshes change a count or a mark: updating those rows keeps the view's
    // expanded folders, scroll position and current row as they are.
    if (hasShapeOf(sections)) {
        takeDataOf(sections);
        qDeleteAll(sections);
        return false;
    }
    clear();
    for (QStandardItem *s : sections)
        appendRow(s);
    return true;
}

QList<QStandardItem *> SidebarModel::buildSections(const LiveList &folders, const LiveList &tags,
                                                   const LibraryCounts &counts,
                                                   const SidebarSelection &selection,
                                                   const QList<Tag *> &filterTags)
{
    QList<QStandardItem *> sections;
    QStandardItem *library = section(sections, QStringLiteral("Library"));
    for (SmartFolder f : SmartFolder::allCases()) {
        QStandardItem *item = row(RowKind::SmartFolder, f.title(), f.iconName(), toColor(f.tint()));
        item->setData(int(f), SmartFolderRole);
        item->setData(counts.smartFolderCounts()[size_t(f)], CountRole);
        item->setData(selection.folder == nullptr && selection.smartFolder == f, SelectedRole);
        library->appendRow(item);
    }

    QStandardItem *folderSection = section(sections, QStringLiteral("Folders"));
    for (int i = 0; i < folders.rowCount(); ++i) {
        Folder *folder = folders.folder(i);
        if (folder->parent() == nullptr)
            appendFolder(folderSection, *folder, selection);
    }
    folderSection->appendRow(
        row(RowKind::NewFolder, QStringLiteral("New Folder"), QStringLiteral("plus"), QColor()));

    if (tags.rowCount() == 0)
        return sections;
    QStandardItem *tagSection = section(sections, QStringLiteral("Tags"));
    for (int i = 0; i < tags.rowCount(); ++i) {
        Tag *tag = tags.tag(i);
        QStandardItem *item = row(RowKind::Tag, tag->name(), QString(), tag->color());
        item->setData(tag->id(), IdRole);
        item->setData(counts.tagCount(*tag), CountRole);
        const bool checked = std::any_of(filterTags.cbegin(), filterTags.cend(),
                                         [tag](const Tag *t) { return *t == *tag; });
        item->setData(checked, CheckedRole);
        tagSection->appendRow(item);
    }
    return sections;
}

namespace {

constexpr std::array identityRoles = {
    int(SidebarModel::KindRole), int(SidebarModel::SmartFolderRole), int(SidebarModel::IdRole)};
constexpr std::array shownRoles = {
    int(Qt::DisplayRole),           int(SidebarModel::CountRole), int(SidebarModel::SelectedRole),
    int(SidebarModel::CheckedRole), int(SidebarModel::TintRole),  int(SidebarModel::SymbolRole)};

} // namespace

bool SidebarModel::hasShapeOf(const QList<QStandardItem *> &sections) const
{
    if (rowCount() != sections.size())
        return false;
    // Iterative: imported trees may be far deeper than the call stack.
    std::vector<std::pair<const QStandardItem *, const QStandardItem *>> pending;
    for (int r = 0; r < rowCount(); ++r)
        pending.emplace_back(item(r), sections[r]);
    while (!pending.empty()) {
        const auto [shown, fresh] = pending.back();
        pending.pop_back();
        if (shown->rowCount() != fresh->rowCount())
            return false;
        for (int role : identityRoles) {
            if (shown->data(role) != fresh->data(role))
                return false;
        }
        for (int r = 0; r < shown->rowCount(); ++r)
            pending.emplace_back(shown->child(r), fresh->child(r));
    }
    return true;
}

void SidebarModel::takeDataOf(const QList<QStandardItem *> &sections)
{
    std::vector<std::pair<QStandardItem *, const QStandardItem *>> pending;
    for (int r = 0; r < rowCount(); ++r)
        pending.emplace_back(item(r), sections[r]);
    while (!pending.empty()) {
        const auto [shown, fresh] = pending.back();
        pending.pop_back();
        for (int role : shownRoles) {
            const QVariant value = fresh->data(role);
            if (shown->data(role) != value)
                shown->setData(value, role); // only the rows that changed repaint
        }
        for (int r = 0; r < shown->rowCount(); ++r)
            pending.emplace_back(shown->child(r), fresh->child(r));
    }
}

void SidebarModel::appendFolder(QStandardItem *parent, Folder &folder,
                                const SidebarSelection &selection)
{
    // Iterative: imported trees may be far deeper than the call stack.
    QList<std::pair<QStandardItem *, Folder *>> pending{{parent, &folder}};
    while (!pending.isEmpty()) {
        const auto [under, f] = pending.takeLast();
        QStandardItem *item = row(RowKind::Folder, f->name(), f->iconName(), f->color());
        item->setData(f->id(), IdRole);
        item->setData(int(f->items().size()), CountRole);
        item->setData(selection.folder == f, SelectedRole);
        under->appendRow(item);
        const QList<Folder *> children = f->sortedChildren();
        for (auto it = children.crbegin(); it != children.crend(); ++it)
            pending.append({item, *it});
    }
}

QModelIndex SidebarModel::find(const QModelIndex &parent, RowKind kind, const QVariant &value,
                               int role) const
{
    QList<QModelIndex> pending{parent};
    while (!pending.isEmpty()) {
        const QModelIndex at = pending.takeLast();
        for (int r = rowCount(at) - 1; r >= 0; --r) {
            const QModelIndex i = index(r, 0, at);
            if (i.data(KindRole).toInt() == int(kind) && i.data(role) == value)
                return i;
            pending.append(i);
        }
    }
    return {};
}

QModelIndex SidebarModel::indexOfSmartFolder(SmartFolder folder) const
{
    return find(QModelIndex(), RowKind::SmartFolder, int(folder), SmartFolderRole);
}

QModelIndex SidebarModel::indexOfId(RowKind kind, const QUuid &id) const
{
    return find(QModelIndex(), kind, id, IdRole);
}

} // namespace quillory
