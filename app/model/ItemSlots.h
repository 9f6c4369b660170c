#pragma once

#include <QtGlobal>

namespace quillory {

// Room the layers above keep on each item, so that each finds its own record of the item in
// one step instead of through a hash table of a million entries. The model only stores them
// (and forgets the title's rank when the title changes); each owner sets and checks its own,
// since a slot may be stale.
struct ItemSlots
{
    // The search index (SearchIndex): the row of its columns that holds this item's text,
    // trusted only while the item's search revision matches the row's.
    quint32 searchIndex = ~quint32(0);
    // The title order (TitleRanks): which of its rankings gave titleRank (0: none).
    quint32 titleRanking = 0;
    // The sidebar's counts (LibraryCounts): the entry recording what this item counted for.
    quint32 counts = ~quint32(0);
    // The title order: where this item's title falls among the library's titles.
    qint64 titleRank = 0;
};

} // namespace quillory
