#include <views/widgets/TagDragItem.h>
#include <views/window/SidebarModel.h>

#include <model/Folder.h>
#include <model/LiveList.h>
#include <model/Tag.h>

#include <QHash>
#include <QMimeData>
#include <algorithm>
#include <map>

namespace quillory {

namespace {

void setIfChanged(QStandardItem &item, int role, const QVariant &value)
{
    if (item.data(role) != value)
        item.setData(value, role); // only the rows that changed repaint
}

// Indices into `values` of one longest strictly increasing run, in order.
std::vector<int> longestIncreasing(const std::vector<int> &values)
{
    std::vector<int> tails; // index of the smallest tail of each run length
    std::vector<int> before(values.size(), -1);
    for (int i = 0; i < int(values.size()); ++i) {
        const auto at = std::lower_bound(tails.begin(), tails.end(), values[size_t(i)],
                                         [&](int t, int v) { return values[size_t(t)] < v; });
        if (at != tails.begin())
            before[size_t(i)] = *(at - 1);
        if (at == tails.end())
            tails.push_back(i);
        else
            *at = i;
    }
    std::vector<int> run;
    for (int i = tails.empty() ? -1 : tails.back(); i >= 0; i = before[size_t(i)])
        run.push_back(i);
    std::reverse(run.begin(), run.end());
    return run;
}

// ~QStandardItem deletes its children by recursion, as deep as the tree goes. Rows already
// taken out of the model are taken apart from the lowest up instead, so each is childless
// when it is deleted; outside the model, taking a row out tells no view.
void deleteRows(QList<QStandardItem *> rows)
{
    for (qsizetype i = 0; i < rows.size(); ++i) { // every row below, each after its parent
        const QStandardItem *row = rows.at(i);
        for (int r = 0; r < row->rowCount(); ++r)
            rows.append(row->child(r));
    }
    for (qsizetype i = rows.size() - 1; i >= 0; --i) {
        QStandardItem *row = rows.at(i);
        while (row->rowCount() > 0)
            row->takeRow(row->rowCount() - 1); // childless by now, and deleted below
    }
    qDeleteAll(rows);
}

} // namespace

SidebarModel::~SidebarModel()
{
    QStandardItem *root = invisibleRootItem();
    QList<QStandardItem *> rows;
    while (root->rowCount() > 0)
        rows.append(root->takeRow(root->rowCount() - 1));
    deleteRows(std::move(rows));
}

SidebarModel::Row::~Row()
{
    std::vector<Row> pending = std::move(children);
    while (!pending.empty()) {
        std::vector<Row> below = std::move(pending.back().children);
        pending.pop_back(); // childless now: its destructor has nothing to walk
        pending.insert(pending.end(), std::make_move_iterator(below.begin()),
                       std::make_move_iterator(below.end()));
    }
}

void SidebarModel::update(const LiveList &folders, const LiveList &tags,
                          const LibraryCounts &counts, const SidebarSelection &selection,
                          const QList<Tag *> &filterTags)
{
    Row root = describe(folders, tags, counts, selection, filterTags);
    // Iterative: imported trees may be far deeper than the call stack.
    std::vector<Pending> pending{{invisibleRootItem(), &root, &m_shown}};
    while (!pending.empty()) {
        const Pending next = pending.back();
        pending.pop_back();
        if (next.shown != invisibleRootItem())
            showData(*next.shown, *next.row, next.was);
        followChildren(*next.shown, *next.row, next.was, pending);
    }
    m_shown = std::move(root);
}

SidebarModel::Row SidebarModel::describe(const LiveList &folders, const LiveList &tags,
                                         const LibraryCounts &counts,
                                         const SidebarSelection &selection,
                                         const QList<Tag *> &filterTags)
{
    Row root;
    root.children.reserve(3);
    Row &library = root.children.emplace_back(RowKind::Section, QStringLiteral("Library"));
    for (SmartFolder f : SmartFolder::allCases()) {
        Row &row =
            library.children.emplace_back(RowKind::SmartFolder, f.title(), f.iconName(),
                                          toColor(f.tint()), counts.smartFolderCounts()[size_t(f)]);
        row.smartFolder = int(f);
        row.selected = selection.folder == nullptr && selection.smartFolder == f;
    }

    Row &folderSection = root.children.emplace_back(RowKind::Section, QStringLiteral("Folders"));
    describeFolders(folderSection, folders, selection);
    folderSection.children.emplace_back(RowKind::NewFolder, QStringLiteral("New Folder"),
                                        QStringLiteral("plus"));

    if (tags.rowCount() == 0)
        return root;
    Row &tagSection = root.children.emplace_back(RowKind::Section, QStringLiteral("Tags"));
    tagSection.children.reserve(size_t(tags.rowCount()));
    for (int i = 0; i < tags.rowCount(); ++i) {
        const Tag *tag = tags.tag(i);
        Row &row = tagSection.children.emplace_back(RowKind::Tag, tag->name(), QString(),
                                                    tag->color(), counts.tagCount(*tag));
        row.id = tag->id();
        row.checked = std::any_of(filterTags.cbegin(), filterTags.cend(),
                                  [tag](const Tag *t) { return *t == *tag; });
    }
    return root;
}

void SidebarModel::describeFolders(Row &section, const LiveList &folders,
                                   const SidebarSelection &selection)
{
    const auto rowOf = [&selection](const Folder *f) {
        Row row(RowKind::Folder, f->name(), f->iconName(), f->color(), int(f->items().size()));
        row.id = f->id();
        row.selected = selection.folder == f;
        return row;
    };
    // Room is reserved before anything points into a row's children, so the pointers kept
    // here stay valid. Iterative: imported trees may be far deeper than the call stack.
    std::vector<std::pair<Row *, const Folder *>> pending;
    section.children.reserve(size_t(folders.rowCount()) + 1); // room for "New Folder"
    for (int i = 0; i < folders.rowCount(); ++i) {
        const Folder *folder = folders.folder(i);
        if (folder->parent() == nullptr)
            pending.emplace_back(&section.children.emplace_back(rowOf(folder)), folder);
    }
    while (!pending.empty()) {
        const auto [row, folder] = pending.back();
        pending.pop_back();
        const QList<Folder *> children = folder->sortedChildren();
        row->children.reserve(size_t(children.size()));
        for (const Folder *child : children)
            row->children.push_back(rowOf(child));
        for (qsizetype c = 0; c < children.size(); ++c)
            pending.emplace_back(&row->children[size_t(c)], children[c]);
    }
}

bool SidebarModel::standsFor(const QStandardItem &shown, const Row &row)
{
    if (shown.data(KindRole).toInt() != int(row.kind))
        return false;
    switch (row.kind) {
    case RowKind::Section:
        return shown.text() == row.title;
    case RowKind::SmartFolder:
        return shown.data(SmartFolderRole).toInt() == row.smartFolder;
    case RowKind::Folder:
    case RowKind::Tag:
        return shown.data(IdRole).toUuid() == row.id;
    case RowKind::NewFolder:
        return true;
    }
    return false;
}

bool SidebarModel::sameRow(const Row &a, const Row &b)
{
    if (a.kind != b.kind)
        return false;
    switch (a.kind) {
    case RowKind::Section:
        return a.title == b.title;
    case RowKind::SmartFolder:
        return a.smartFolder == b.smartFolder;
    case RowKind::Folder:
    case RowKind::Tag:
        return a.id == b.id;
    case RowKind::NewFolder:
        return true;
    }
    return false;
}

void SidebarModel::showData(QStandardItem &shown, const Row &row, const Row *was)
{
    if (was != nullptr) {
        const auto set = [&shown](bool differs, int role, const QVariant &value) {
            if (differs)
                shown.setData(value, role);
        };
        set(was->title != row.title, Qt::DisplayRole, row.title);
        set(was->symbol != row.symbol, SymbolRole, row.symbol);
        set(was->tint != row.tint, TintRole, row.tint);
        set(was->count != row.count, CountRole, row.count);
        set(was->selected != row.selected, SelectedRole, row.selected);
        if (row.kind == RowKind::Tag)
            set(was->checked != row.checked, CheckedRole, row.checked);
        return;
    }
    setIfChanged(shown, Qt::DisplayRole, row.title);
    setIfChanged(shown, SymbolRole, row.symbol);
    setIfChanged(shown, TintRole, row.tint);
    setIfChanged(shown, CountRole, row.count);
    setIfChanged(shown, SelectedRole, row.selected);
    if (row.kind == RowKind::Tag)
        setIfChanged(shown, CheckedRole, row.checked);
}

QStandardItem *SidebarModel::made(const Row &row)
{
    const auto itemOf = [](const Row &r) {
        auto *item = new QStandardItem;
        item->setEditable(false);
        item->setSelectable(r.kind != RowKind::Section);
        // A tag row is dragged onto a card to give its item the tag.
        item->setDragEnabled(r.kind == RowKind::Tag);
        item->setDropEnabled(false);
        item->setData(int(r.kind), KindRole);
        if (r.kind == RowKind::SmartFolder)
            item->setData(r.smartFolder, SmartFolderRole);
        if (r.kind == RowKind::Folder || r.kind == RowKind::Tag)
            item->setData(r.id, IdRole);
        showData(*item, r, nullptr);
        return item;
    };
    QStandardItem *top = itemOf(row);
    std::vector<std::pair<QStandardItem *, const Row *>> pending{{top, &row}};
    while (!pending.empty()) {
        const auto [item, r] = pending.back();
        pending.pop_back();
        QList<QStandardItem *> children;
        children.reserve(qsizetype(r->children.size()));
        for (const Row &child : r->children)
            children.append(itemOf(child));
        item->appendRows(children);
        for (size_t c = 0; c < r->children.size(); ++c)
            pending.emplace_back(children[qsizetype(c)], &r->children[c]);
    }
    return top;
}

void SidebarModel::followChildren(QStandardItem &shown, const Row &row, const Row *was,
                                  std::vector<Pending> &pending)
{
    const std::vector<Row> &fresh = row.children;
    const int count = int(fresh.size());
    if (was != nullptr && was->children.size() == fresh.size() &&
        std::equal(fresh.cbegin(), fresh.cend(), was->children.cbegin(), sameRow)) {
        for (int i = 0; i < count; ++i)
            pending.push_back({shown.child(i), &fresh[size_t(i)], &was->children[size_t(i)]});
        return;
    }
    bool same = shown.rowCount() == count;
    for (int i = 0; same && i < count; ++i)
        same = standsFor(*shown.child(i), fresh[size_t(i)]);
    if (!same) {
        const auto keyOf = [](int kind, const QString &title, int smartFolder,
                              const QUuid &id) -> QString {
            return QString::number(kind) + u':' +
                   (id.isNull() ? title + u':' + QString::number(smartFolder) : id.toString());
        };
        QHash<QString, int> freshAt;
        freshAt.reserve(count);
        for (int i = 0; i < count; ++i) {
            const Row &r = fresh[size_t(i)];
            freshAt.insert(keyOf(int(r.kind), r.kind == RowKind::Section ? r.title : QString(),
                                 r.smartFolder, r.id),
                           i);
        }
        const auto shownAt = [&](int r) {
            const QStandardItem &s = *shown.child(r);
            const int kind = s.data(KindRole).toInt();
            const QVariant smart = s.data(SmartFolderRole);
            return freshAt.value(keyOf(kind, kind == int(RowKind::Section) ? s.text() : QString(),
                                       smart.isValid() ? smart.toInt() : -1,
                                       s.data(IdRole).toUuid()),
                                 -1);
        };
        // What is gone goes first; of the rest, the longest run already in order stays, and
        // the others are taken out and put back where they now belong, with their subtrees.
        for (int r = shown.rowCount() - 1; r >= 0; --r) {
            if (shownAt(r) < 0)
                deleteRows(shown.takeRow(r));
        }
        std::vector<int> positions;
        for (int r = 0; r < shown.rowCount(); ++r)
            positions.push_back(shownAt(r));
        const std::vector<int> staying = longestIncreasing(positions);
        std::map<int, QList<QStandardItem *>> moving;
        for (int r = shown.rowCount() - 1, s = int(staying.size()) - 1; r >= 0; --r) {
            if (s >= 0 && staying[size_t(s)] == r)
                --s;
            else
                moving.emplace(positions[size_t(r)], shown.takeRow(r));
        }
        for (int i = 0; i < count; ++i) {
            if (i < shown.rowCount() && standsFor(*shown.child(i), fresh[size_t(i)]))
                continue;
            const auto taken = moving.find(i);
            if (taken != moving.end())
                shown.insertRow(i, taken->second);
            else
                shown.insertRow(i, made(fresh[size_t(i)]));
        }
    }
    for (int i = 0; i < count; ++i)
        pending.push_back({shown.child(i), &fresh[size_t(i)], nullptr});
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

QStringList SidebarModel::mimeTypes() const
{
    return {TagDragItem::mimeType};
}

QMimeData *SidebarModel::mimeData(const QModelIndexList &indexes) const
{
    QList<TagDragItem> tags;
    for (const QModelIndex &index : indexes) {
        if (RowKind(index.data(KindRole).toInt()) == RowKind::Tag)
            tags.append(TagDragItem{index.data(IdRole).toUuid()});
    }
    return tags.isEmpty() ? nullptr : TagDragItem::toMimeData(tags);
}

} // namespace quillory
