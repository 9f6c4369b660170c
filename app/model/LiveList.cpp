#include <model/LiveList.h>

#include <model/LibraryStore.h>

#include <algorithm>

namespace quillory {

namespace {

// Beyond this many records one reset is cheaper for views than row-by-row notifications.
constexpr qsizetype resetThreshold = 64;

} // namespace

LiveList::LiveList(LibraryStore &store, RecordKind kind, Order order, QObject *parent)
    : QAbstractListModel(parent), m_store(store), m_kind(kind), m_order(order)
{
    reload();
    connect(&store, &LibraryStore::recordsInserted, this, &LiveList::onInserted);
    connect(&store, &LibraryStore::recordChanged, this, &LiveList::onChanged);
    connect(&store, &LibraryStore::recordsAboutToBeRemoved, this, &LiveList::onAboutToBeRemoved);
}

std::unique_ptr<LiveList> LiveList::itemsByCreatedAt(LibraryStore &store, Qt::SortOrder order)
{
    return std::make_unique<LiveList>(store, RecordKind::Item,
                                      order == Qt::AscendingOrder ? Order::CreatedAtAscending
                                                                  : Order::CreatedAtDescending);
}

std::unique_ptr<LiveList> LiveList::foldersBySortOrder(LibraryStore &store)
{
    return std::make_unique<LiveList>(store, RecordKind::Folder, Order::SortOrderAscending);
}

std::unique_ptr<LiveList> LiveList::tagsBySortOrder(LibraryStore &store)
{
    return std::make_unique<LiveList>(store, RecordKind::Tag, Order::SortOrderAscending);
}

namespace {

int sortOrderOf(const Record *r)
{
    switch (r->kind()) {
    case RecordKind::Folder:
        return static_cast<const Folder *>(r)->sortOrder();
    case RecordKind::Tag:
        return static_cast<const Tag *>(r)->sortOrder();
    case RecordKind::Item:
        return 0;
    }
    return 0;
}

} // namespace

bool LiveList::less(const Record *a, const Record *b) const
{
    qint64 ka = 0, kb = 0;
    switch (m_order) {
    case Order::CreatedAtDescending:
        // Swapped rather than negated: negating the earliest time would overflow.
        ka = b->createdAtMSecs();
        kb = a->createdAtMSecs();
        break;
    case Order::CreatedAtAscending:
        ka = a->createdAtMSecs();
        kb = b->createdAtMSecs();
        break;
    case Order::SortOrderAscending:
        ka = sortOrderOf(a);
        kb = sortOrderOf(b);
        break;
    }
    if (ka != kb)
        return ka < kb;
    // Tags of equal position sort by name, so new tags (all at 0) read alphabetically.
    if (m_kind == RecordKind::Tag) {
        const auto &ta = static_cast<const Tag &>(*a);
        const auto &tb = static_cast<const Tag &>(*b);
        if (Tag::lessThan(ta, tb))
            return true;
        if (Tag::lessThan(tb, ta))
            return false;
    }
    return a->sequence() < b->sequence();
}

void LiveList::reload()
{
    m_rows.clear();
    const auto append = [this](const auto &records) {
        m_rows.assign(records.cbegin(), records.cend());
    };
    switch (m_kind) {
    case RecordKind::Item:
        append(m_store.items());
        break;
    case RecordKind::Folder:
        append(m_store.folders());
        break;
    case RecordKind::Tag:
        append(m_store.tags());
        break;
    }
    if (m_kind == RecordKind::Tag) { // ties compare names
        std::sort(m_rows.begin(), m_rows.end(),
                  [this](const Record *a, const Record *b) { return less(a, b); });
        return;
    }
    // The same order as less(), from keys read once: comparing through two record pointers
    // per step waits on memory most of the time in a large library.
    struct Keyed
    {
        qint64 key;
        quint64 sequence;
        Record *record;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(m_rows.size());
    for (Record *r : m_rows) {
        qint64 key = 0;
        switch (m_order) {
        case Order::CreatedAtDescending:
            key = ~r->createdAtMSecs(); // reverses the order without overflowing
            break;
        case Order::CreatedAtAscending:
            key = r->createdAtMSecs();
            break;
        case Order::SortOrderAscending:
            key = sortOrderOf(r);
            break;
        }
        keyed.push_back({key, r->sequence(), r});
    }
    std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
        return a.key != b.key ? a.key < b.key : a.sequence < b.sequence;
    });
    for (size_t i = 0; i < keyed.size(); ++i)
        m_rows[i] = keyed[i].record;
}

int LiveList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant LiveList::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Record *r = m_rows[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        switch (r->kind()) {
        case RecordKind::Item:
            return static_cast<const Item *>(r)->title();
        case RecordKind::Folder:
            return static_cast<const Folder *>(r)->name();
        case RecordKind::Tag:
            return static_cast<const Tag *>(r)->name();
        }
        return {};
    case RecordRole:
        return QVariant::fromValue(static_cast<void *>(const_cast<Record *>(r)));
    case IdRole:
        return r->id();
    default:
        return {};
    }
}

QHash<int, QByteArray> LiveList::roleNames() const
{
    auto names = QAbstractListModel::roleNames();
    names.insert(RecordRole, "record");
    names.insert(IdRole, "id");
    return names;
}

Item *LiveList::item(int row) const
{
    return m_kind == RecordKind::Item ? static_cast<Item *>(record(row)) : nullptr;
}

Folder *LiveList::folder(int row) const
{
    return m_kind == RecordKind::Folder ? static_cast<Folder *>(record(row)) : nullptr;
}

Tag *LiveList::tag(int row) const
{
    return m_kind == RecordKind::Tag ? static_cast<Tag *>(record(row)) : nullptr;
}

int LiveList::rowOf(const Record *record) const
{
    if (record == nullptr || record->kind() != m_kind)
        return -1;
    // Fast path: the record's sort key has not changed since it was placed.
    const auto it =
        std::lower_bound(m_rows.cbegin(), m_rows.cend(), record,
                         [this](const Record *a, const Record *b) { return less(a, b); });
    if (it != m_rows.cend() && *it == record)
        return int(it - m_rows.cbegin());
    const auto found = std::find(m_rows.cbegin(), m_rows.cend(), record);
    return found == m_rows.cend() ? -1 : int(found - m_rows.cbegin());
}

void LiveList::insertOne(Record *record)
{
    const auto it =
        std::upper_bound(m_rows.begin(), m_rows.end(), record,
                         [this](const Record *a, const Record *b) { return less(a, b); });
    const int row = int(it - m_rows.begin());
    beginInsertRows(QModelIndex(), row, row);
    m_rows.insert(it, record);
    endInsertRows();
}

void LiveList::onInserted(RecordKind kind, const QList<Record *> &records)
{
    if (kind != m_kind)
        return;
    if (records.size() > resetThreshold) {
        beginResetModel();
        reload();
        endResetModel();
        return;
    }
    for (Record *r : records)
        insertOne(r);
}

bool LiveList::isInOrderAt(size_t row) const
{
    const Record *r = m_rows[row];
    if (row > 0 && less(r, m_rows[row - 1]))
        return false;
    if (row + 1 < m_rows.size() && less(m_rows[row + 1], r))
        return false;
    return true;
}

void LiveList::onChanged(Record *record)
{
    if (record->kind() != m_kind)
        return;
    const int row = rowOf(record);
    if (row < 0)
        return;
    if (isInOrderAt(size_t(row))) {
        const QModelIndex at = index(row);
        emit dataChanged(at, at);
        return;
    }
    // The sort key changed: move the row to its new place. `target` is the row it will have
    // once moved; the rest of the list is still sorted, so search only on the side it goes.
    const auto byOrder = [this](const Record *x, const Record *y) { return less(x, y); };
    const bool movesUp = row > 0 && less(record, m_rows[size_t(row) - 1]);
    const int target =
        movesUp ? int(std::upper_bound(m_rows.begin(), m_rows.begin() + row, record, byOrder) -
                      m_rows.begin())
                : int(std::upper_bound(m_rows.begin() + row + 1, m_rows.end(), record, byOrder) -
                      m_rows.begin()) -
                      1;
    beginMoveRows(QModelIndex(), row, row, QModelIndex(), movesUp ? target : target + 1);
    m_rows.erase(m_rows.begin() + row);
    m_rows.insert(m_rows.begin() + target, record);
    endMoveRows();
    const QModelIndex at = index(target);
    emit dataChanged(at, at);
}

void LiveList::onAboutToBeRemoved(RecordKind kind, const QList<Record *> &records)
{
    if (kind != m_kind)
        return;
    if (records.size() > resetThreshold) {
        beginResetModel();
        const QSet<const Record *> leaving(records.cbegin(), records.cend());
        std::erase_if(m_rows, [&leaving](const Record *r) { return leaving.contains(r); });
        endResetModel();
        return;
    }
    for (const Record *r : records) {
        const int row = rowOf(r);
        if (row < 0)
            continue;
        beginRemoveRows(QModelIndex(), row, row);
        m_rows.erase(m_rows.begin() + row);
        endRemoveRows();
    }
}

} // namespace quillory
