#include <state/ItemChanges.h>

#include <model/Item.h>
#include <model/LibraryStore.h>

#include <algorithm>

namespace quillory {

ItemChanges::ItemChanges(LibraryStore &store, QObject *parent) : QObject(parent)
{
    connect(&store, &LibraryStore::recordsInserted, this, &ItemChanges::recordsInserted);
    connect(&store, &LibraryStore::recordsAboutToBeRemoved, this,
            &ItemChanges::recordsAboutToBeRemoved);
    connect(&store, &LibraryStore::recordChanged, this, &ItemChanges::recordChanged);
}

void ItemChanges::clear()
{
    m_touched.clear();
    m_present.clear();
    m_wholesale = false;
}

void ItemChanges::recordsInserted(RecordKind kind, const QList<Record *> &records)
{
    if (m_wholesale)
        return;
    if (kind != RecordKind::Item || m_touched.size() + size_t(records.size()) > mostItems) {
        m_wholesale = true;
        return;
    }
    for (Record *record : records) {
        auto *item = static_cast<Item *>(record);
        touch(item);
        m_present.push_back(item);
    }
}

void ItemChanges::recordsAboutToBeRemoved(RecordKind kind, const QList<Record *> &records)
{
    if (m_wholesale)
        return;
    if (kind != RecordKind::Item || m_touched.size() + size_t(records.size()) > mostItems) {
        m_wholesale = true;
        return;
    }
    for (const Record *record : records) {
        const auto *item = static_cast<const Item *>(record);
        touch(item);
        std::erase(m_present, item);
    }
}

void ItemChanges::recordChanged(Record *record)
{
    if (m_wholesale || record->kind() != RecordKind::Item)
        return;
    auto *item = static_cast<Item *>(record);
    if (std::find(m_present.cbegin(), m_present.cend(), item) != m_present.cend())
        return;
    if (m_touched.size() >= mostItems) {
        m_wholesale = true;
        return;
    }
    touch(item);
    m_present.push_back(item);
}

void ItemChanges::touch(const Item *item)
{
    if (std::find(m_touched.cbegin(), m_touched.cend(), item) == m_touched.cend())
        m_touched.push_back(item);
}

} // namespace quillory
