#pragma once

#include <model/Record.h>

#include <QAbstractListModel>
#include <memory>
#include <vector>

namespace quillory {

class LibraryStore;
class Item;
class Folder;
class Tag;

// A sorted list of all records of one kind that follows the store: inserts, removals,
// changes and re-sorting arrive as the usual item-model notifications. Records with equal
// sort keys keep their insertion order.
class LiveList final : public QAbstractListModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LiveList)

public:
    enum class Order { CreatedAtDescending, CreatedAtAscending, SortOrderAscending };
    enum Role { RecordRole = Qt::UserRole + 1, IdRole };

    // SortOrderAscending applies to folders and tags only; tags with equal sortOrder then
    // sort by name (localized, case-insensitive).
    LiveList(LibraryStore &store, RecordKind kind, Order order, QObject *parent = nullptr);

    // The lists the application uses.
    static std::unique_ptr<LiveList> itemsByCreatedAt(LibraryStore &store, Qt::SortOrder order);
    static std::unique_ptr<LiveList> foldersBySortOrder(LibraryStore &store);
    static std::unique_ptr<LiveList> tagsBySortOrder(LibraryStore &store);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    const std::vector<Record *> &records() const { return m_rows; }
    Record *record(int row) const { return m_rows.at(size_t(row)); }
    Item *item(int row) const;
    Folder *folder(int row) const;
    Tag *tag(int row) const;
    // -1 when the record is not in the list.
    int rowOf(const Record *record) const;

private:
    bool less(const Record *a, const Record *b) const;
    void reload();
    void onInserted(RecordKind kind, const QList<Record *> &records);
    void onChanged(Record *record);
    void onAboutToBeRemoved(RecordKind kind, const QList<Record *> &records);
    void insertOne(Record *record);
    bool isInOrderAt(size_t row) const;

    LibraryStore &m_store;
    RecordKind m_kind;
    Order m_order;
    std::vector<Record *> m_rows;
};

} // namespace quillory
