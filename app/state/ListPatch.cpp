#include <state/ListPatch.h>

#include <QtGlobal>

namespace quillory {

namespace {

// A few pointers asked about once per item of a large list: a small open-addressed table
// answers in one or two probes.
class PointerSet final
{
public:
    explicit PointerSet(const std::vector<const Item *> &pointers)
    {
        while ((size_t(1) << m_bits) < 4 * pointers.size())
            ++m_bits;
        m_slots.assign(size_t(1) << m_bits, nullptr);
        for (const Item *p : pointers) {
            size_t at = slotOf(p);
            while (m_slots[at] != nullptr && m_slots[at] != p)
                at = (at + 1) & (m_slots.size() - 1);
            m_slots[at] = p;
        }
    }

    bool contains(const Item *p) const
    {
        for (size_t at = slotOf(p);; at = (at + 1) & (m_slots.size() - 1)) {
            if (m_slots[at] == p)
                return true;
            if (m_slots[at] == nullptr)
                return false;
        }
    }

private:
    size_t slotOf(const Item *p) const
    {
        return size_t((quint64(quintptr(p)) * 0x9E3779B97F4A7C15ull) >> (64 - m_bits));
    }

    int m_bits = 4;
    std::vector<const Item *> m_slots;
};

} // namespace

// The items of `list` but `gone`, in order, into `kept`. One or a few gone items (an add, a
// rename, a deletion) are found with a plain scan each and the runs between them copied
// whole, which is several times faster over a large list than asking the set per item.
void ListPatch::copyWithout(const std::vector<Item *> &list, const std::vector<const Item *> &gone,
                            std::vector<Item *> &kept)
{
    kept.clear();
    constexpr size_t fewGone = 4;
    if (gone.size() > fewGone) {
        const PointerSet set(gone);
        for (Item *item : list) {
            if (!set.contains(item))
                kept.push_back(item);
        }
        return;
    }
    std::vector<size_t> rows;
    rows.reserve(gone.size());
    for (const Item *item : gone) {
        const auto at = std::find(list.cbegin(), list.cend(), item);
        if (at != list.cend())
            rows.push_back(size_t(at - list.cbegin()));
    }
    std::sort(rows.begin(), rows.end());
    kept.reserve(list.size());
    size_t from = 0;
    for (const size_t row : rows) {
        if (row < from)
            continue; // the same item named twice
        kept.insert(kept.end(), list.cbegin() + qsizetype(from), list.cbegin() + qsizetype(row));
        from = row + 1;
    }
    kept.insert(kept.end(), list.cbegin() + qsizetype(from), list.cend());
}

} // namespace quillory
