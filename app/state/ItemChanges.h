#pragma once

#include <model/Record.h>

#include <QList>
#include <QObject>
#include <vector>

namespace quillory {

class Item;
class LibraryStore;

// The items a store reported inserted, changed or removed since the last clear(), so that
// a list made from the whole library can be patched instead of made again. When that
// cannot be told item by item (a folder or tag came or went, whose deletion unlinks items
// without a notice each; more items than a patch is worth; nothing followed yet), the
// changes are wholesale.
class ItemChanges final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ItemChanges)

public:
    static constexpr size_t mostItems = 64;

    explicit ItemChanges(LibraryStore &store, QObject *parent = nullptr);

    bool isWholesale() const { return m_wholesale; }
    // Nothing changed since the last clear().
    bool isEmpty() const { return !m_wholesale && m_touched.empty(); }
    // Every item inserted, changed or removed, once each. Removed ones are gone: compare
    // them, never follow them.
    const std::vector<const Item *> &touched() const { return m_touched; }
    // Those of them still in the store.
    const std::vector<Item *> &present() const { return m_present; }

    // From here on, changes are counted from what the store holds now.
    void clear();

private:
    void recordsInserted(RecordKind kind, const QList<Record *> &records);
    void recordsAboutToBeRemoved(RecordKind kind, const QList<Record *> &records);
    void recordChanged(Record *record);
    void touch(const Item *item);

    std::vector<const Item *> m_touched;
    std::vector<Item *> m_present;
    bool m_wholesale = true;
};

} // namespace quillory
