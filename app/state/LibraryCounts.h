#pragma once

#include <model/Record.h>
#include <model/SmartFolder.h>

#include <QHash>
#include <QList>
#include <QObject>
#include <array>
#include <limits>
#include <vector>

namespace quillory {

class Item;
class LibraryStore;
class Tag;

// The sidebar's counts over the whole library, independent of search and filters: each
// smart folder's members and each tag's unarchived items. They follow the store's notices,
// so that adding, changing or deleting one item costs what that item counted for instead
// of a walk over the library. Everything is counted again only when that would not hold:
// a folder or tag comes or goes (their deletion unlinks items without a notice each), or
// time has moved an item out of the seven-day window, or the clock went back.
class LibraryCounts final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LibraryCounts)

public:
    explicit LibraryCounts(LibraryStore &store, QObject *parent = nullptr);

    // Brings the counts to `nowMSecs`; the getters answer for the last time given.
    void update(qint64 nowMSecs);
    // Member counts in SmartFolder case order.
    const std::array<int, 6> &smartFolderCounts() const { return m_smartFolders; }
    int tagCount(const Tag &tag) const { return m_tags.value(&tag); }

private:
    // What one item counted for when it was last seen: a bit per smart folder, and the tags
    // whose counts it raised (none while archived). The tags are only compared, never
    // followed: a deleted tag makes everything counted again.
    struct Entry
    {
        const Item *item = nullptr;
        QList<Tag *> tags;
        quint8 smartFolders = 0;
    };

    void recordsInserted(RecordKind kind, const QList<Record *> &records);
    void recordsAboutToBeRemoved(RecordKind kind, const QList<Record *> &records);
    void recordChanged(Record *record);
    // Items arriving or leaving go through `step`; anything else makes the counts stale.
    void follow(RecordKind kind, const QList<Record *> &records,
                void (LibraryCounts::*step)(const Item &));

    void recount(qint64 cutoff);
    void add(const Item &item);
    void remove(const Item &item);
    // The item's entry, or null when these counts do not hold it.
    Entry *entryOf(const Item &item);
    void apply(const Entry &entry, int sign);
    // Counts hold for later cut-offs only while no item counted as recent falls out.
    void noteRecentTimes(const Item &item);

    LibraryStore &m_store;
    std::vector<Entry> m_entries;
    std::vector<quint32> m_freeEntries;
    std::array<int, 6> m_smartFolders{};
    QHash<const Tag *, int> m_tags;
    bool m_stale = true;
    // The seven-day window's start the entries were counted against, and the latest start
    // for which they still hold.
    qint64 m_cutoff = 0;
    qint64 m_holdsUntil = std::numeric_limits<qint64>::max();
};

} // namespace quillory
