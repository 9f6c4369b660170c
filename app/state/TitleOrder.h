#pragma once

#include <state/TitleRanks.h>

#include <QtGlobal>
#include <vector>

namespace quillory {

class Item;
class Record;

// The shown list's title stage: the library's titles ranked once (TitleRanks), and a list
// sorted by those ranks with a radix sort instead of comparing collation keys.
class TitleOrder final
{
public:
    TitleOrder() = default;
    Q_DISABLE_COPY_MOVE(TitleOrder)

    TitleRanks &ranks() { return m_ranks; }
    const TitleRanks &ranks() const { return m_ranks; }
    // Sorts `items` of `library` by title, stable on their order as given.
    void sort(std::vector<Item *> &items, bool ascending, const std::vector<Record *> &library);

private:
    struct RankedItem
    {
        quint64 key;
        Item *item;
    };
    static void sortByKey(std::vector<RankedItem> &ranked, std::vector<RankedItem> &scratch);

    TitleRanks m_ranks;
    // Kept between sorts, so that their pages are faulted in once.
    std::vector<RankedItem> m_ranked;
    std::vector<RankedItem> m_scratch;
};

} // namespace quillory
