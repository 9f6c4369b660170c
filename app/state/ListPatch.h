#pragma once

#include <QtGlobal>
#include <algorithm>
#include <vector>

namespace quillory {

class Item;

// The shown list's stage that follows changes: the last list shown is patched with the items
// changed since (an add, a rename, a deletion) instead of being made again from the library.
class ListPatch final
{
public:
    ListPatch() = default;
    Q_DISABLE_COPY_MOVE(ListPatch)

    void remember(const std::vector<Item *> &shown) { m_last = shown; }
    const std::vector<Item *> &last() const { return m_last; }

    // The last list without the `touched` items, with `arrivals` (in the list's order, as
    // `before` compares) placed among the rest, into `shown`.
    template <typename Before>
    void patch(const std::vector<const Item *> &touched, const std::vector<Item *> &arrivals,
               const Before &before, std::vector<Item *> &shown)
    {
        copyWithout(m_last, touched, m_kept);
        if (arrivals.empty()) {
            shown.swap(m_kept); // a deletion, or an item that left the list: nothing to place
            return;
        }
        shown.clear();
        shown.reserve(m_kept.size() + arrivals.size());
        auto from = m_kept.cbegin();
        for (Item *item : arrivals) {
            const auto at = std::lower_bound(from, m_kept.cend(), item, before);
            shown.insert(shown.end(), from, at);
            shown.push_back(item);
            from = at;
        }
        shown.insert(shown.end(), from, m_kept.cend());
    }

private:
    static void copyWithout(const std::vector<Item *> &list, const std::vector<const Item *> &gone,
                            std::vector<Item *> &kept);

    std::vector<Item *> m_last;
    // Kept between patches, so that its pages are faulted in once.
    std::vector<Item *> m_kept;
};

} // namespace quillory
