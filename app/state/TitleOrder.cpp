#include <state/TitleOrder.h>

#include <model/Item.h>

#include <array>
#include <utility>

namespace quillory {

void TitleOrder::sort(std::vector<Item *> &items, bool ascending,
                      const std::vector<Record *> &library)
{
    if (!m_ranks.place(items, library))
        m_ranks.rankAll(library);
    std::vector<RankedItem> &ranked = m_ranked;
    ranked.clear();
    ranked.reserve(items.size());
    for (Item *item : items) {
        // Signed ranks in unsigned order; the descending order is the complement's ascending
        // one, so equal titles keep their order either way.
        const quint64 key = quint64(item->layerSlots().titleRank) ^ (quint64(1) << 63);
        ranked.push_back({ascending ? key : ~key, item});
    }
    sortByKey(ranked, m_scratch);
    for (size_t i = 0; i < items.size(); ++i)
        items[i] = ranked[i].item;
}

void TitleOrder::sortByKey(std::vector<RankedItem> &ranked, std::vector<RankedItem> &scratch)
{
    // A stable radix sort, 11 bits at a time (the counts stay in the first-level cache): a
    // few passes over the list instead of a merge sort's comparisons. Passes where every key
    // has the same digit (the low bits of ranks spaced far apart, the high bits of a small
    // library's) are skipped.
    constexpr int digitBits = 11;
    constexpr size_t buckets = size_t(1) << digitBits;
    std::array<size_t, buckets> starts;
    scratch.resize(ranked.size());
    for (int shift = 0; shift < 64; shift += digitBits) {
        std::fill(starts.begin(), starts.end(), 0);
        for (const RankedItem &r : ranked)
            ++starts[(r.key >> shift) & (buckets - 1)];
        if (ranked.empty() ||
            starts[(ranked.front().key >> shift) & (buckets - 1)] == ranked.size())
            continue;
        size_t at = 0;
        for (size_t &start : starts)
            at += std::exchange(start, at);
        for (const RankedItem &r : ranked)
            scratch[starts[(r.key >> shift) & (buckets - 1)]++] = r;
        ranked.swap(scratch);
    }
}

} // namespace quillory
