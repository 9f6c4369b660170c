#include <state/LibraryCounts.h>

#include <model/Item.h>
#include <model/LibraryStore.h>
#include <model/PrefetchAhead.h>

#include <algorithm>

namespace quillory {

LibraryCounts::LibraryCounts(LibraryStore &store, QObject *parent) : QObject(parent), m_store(store)
{
    connect(&store, &LibraryStore::recordsInserted, this, &LibraryCounts::recordsInserted);
    connect(&store, &LibraryStore::recordsAboutToBeRemoved, this,
            &LibraryCounts::recordsAboutToBeRemoved);
    connect(&store, &LibraryStore::recordChanged, this, &LibraryCounts::recordChanged);
}

void LibraryCounts::update(qint64 nowMSecs)
{
    const qint64 cutoff =
        SmartFolder::cutoff(QDateTime::fromMSecsSinceEpoch(nowMSecs, Qt::UTC)).toMSecsSinceEpoch();
    if (m_stale || cutoff < m_cutoff || cutoff > m_holdsUntil)
        recount(cutoff);
}

void LibraryCounts::recordsInserted(RecordKind kind, const QList<Record *> &records)
{
    follow(kind, records, &LibraryCounts::add);
}

void LibraryCounts::recordsAboutToBeRemoved(RecordKind kind, const QList<Record *> &records)
{
    follow(kind, records, &LibraryCounts::remove);
}

void LibraryCounts::follow(RecordKind kind, const QList<Record *> &records,
                           void (LibraryCounts::*step)(const Item &))
{
    if (kind != RecordKind::Item) {
        m_stale = true;
        return;
    }
    if (m_stale)
        return;
    for (const Record *record : records)
        (this->*step)(*static_cast<const Item *>(record));
}

void LibraryCounts::recordChanged(Record *record)
{
    if (m_stale || record->kind() != RecordKind::Item)
        return;
    const auto &item = *static_cast<const Item *>(record);
    if (entryOf(item) == nullptr) {
        // Not one we counted: nothing here can say what it counted for.
        m_stale = true;
        return;
    }
    remove(item);
    add(item);
}

void LibraryCounts::recount(qint64 cutoff)
{
    m_entries.clear();
    m_freeEntries.clear();
    m_smartFolders.fill(0);
    m_tags.clear();
    m_cutoff = cutoff;
    m_holdsUntil = std::numeric_limits<qint64>::max();
    const std::vector<Item *> &items = m_store.items();
    m_entries.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        prefetchAhead(items, i);
        add(*items[i]);
    }
    m_stale = false;
}

void LibraryCounts::add(const Item &item)
{
    quint32 slot = 0;
    if (m_freeEntries.empty()) {
        slot = quint32(m_entries.size());
        m_entries.emplace_back();
    } else {
        slot = m_freeEntries.back();
        m_freeEntries.pop_back();
    }
    Entry &entry = m_entries[slot];
    entry.item = &item;
    for (SmartFolder folder : SmartFolder::allCases()) {
        if (folder.contains(item, m_cutoff))
            entry.smartFolders |= quint8(1u << unsigned(folder));
    }
    if (!item.isArchived())
        entry.tags = item.tags();
    item.layerSlots().counts = slot;
    apply(entry, 1);
    noteRecentTimes(item);
}

void LibraryCounts::remove(const Item &item)
{
    Entry *entry = entryOf(item);
    if (entry == nullptr)
        return;
    apply(*entry, -1);
    *entry = Entry();
    m_freeEntries.push_back(item.layerSlots().counts);
    item.layerSlots().counts = ~quint32(0);
}

LibraryCounts::Entry *LibraryCounts::entryOf(const Item &item)
{
    const quint32 slot = item.layerSlots().counts;
    if (slot >= m_entries.size() || m_entries[slot].item != &item)
        return nullptr;
    return &m_entries[slot];
}

void LibraryCounts::apply(const Entry &entry, int sign)
{
    for (size_t folder = 0; folder < m_smartFolders.size(); ++folder) {
        if (entry.smartFolders & (1u << folder))
            m_smartFolders[folder] += sign;
    }
    for (const Tag *tag : entry.tags)
        m_tags[tag] += sign;
}

void LibraryCounts::noteRecentTimes(const Item &item)
{
    const auto holdUntil = [this](qint64 time) {
        if (time >= m_cutoff)
            m_holdsUntil = std::min(m_holdsUntil, time);
    };
    holdUntil(item.createdAtMSecs());
    if (item.accessedAtMSecs())
        holdUntil(*item.accessedAtMSecs());
}

} // namespace quillory
