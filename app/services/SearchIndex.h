#pragma once

#include "SearchFields.h"

#include <Item.h>

#include <QHash>
#include <QtGlobal>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quillory {

class SubstringFinder;
class Tag;

// The search texts of a list of items laid end to end in one buffer, so that a search
// reads the text as one stream instead of following a pointer to a heap block per item,
// and touches an item only when its text or one of its tags matches.
//
// follow() brings the index up to the list a search is given. While neither the list nor
// anything searchable (Item::searchChanges) has changed, that costs a comparison of the
// list; otherwise each item is visited once: one the index lacks, or whose text changed, is
// appended, and the text it had before stays behind, dead, until the index is built again.
// A slot counts as an item's only while the item's search revision is the one it was made
// from, so an index that fell behind is slower, never wrong.
//
// Besides the text it keeps what the search filters ask of each item of the list (archived,
// favourite, kind, tags), so that a search of it reads no item: the getters and scan() may
// then run on another thread while the items change, as long as nothing follows meanwhile.
// follow() runs on the interface thread only.
class SearchIndex final
{
public:
    static constexpr quint32 noSlot = ~quint32(0);
    // scan() gives each needle four bits per slot, one per field.
    static constexpr size_t mostNeedles = 8;

    // Copies what changed.
    void follow(const std::vector<Item *> &items);
    // Forgets everything, as a new index.
    void clear() { *this = SearchIndex(); }
    // Whether follow() would find nothing to do.
    bool follows(const std::vector<Item *> &items) const;
    // follow() a slice at a time, for a long list: walks on from `cursor` until the end or
    // `deadline`, and is true once the index follows `items` (as far as changes made between
    // slices let it: then the next call walks again). A cursor of 0 starts over;
    // nothing but this may use the index until it is done, and no item of the list may be
    // destroyed meanwhile.
    bool followSome(const std::vector<Item *> &items, size_t &cursor,
                    std::chrono::steady_clock::time_point deadline);

    // For the list last followed:
    const std::vector<Item *> &list() const { return m_list; }
    quint32 slotAt(size_t position) const { return m_slotAt[position]; }
    // Indexes into tags() of the tags the item at `position` carries.
    std::span<const quint32> tagsAt(size_t position) const
    {
        return std::span<const quint32>(m_tagIds).subspan(
            m_tagStart[position], m_tagStart[position + 1] - m_tagStart[position]);
    }
    bool isArchivedAt(size_t position) const { return (m_flagsAt[position] & archivedFlag) != 0; }
    bool isFavoriteAt(size_t position) const { return (m_flagsAt[position] & favoriteFlag) != 0; }
    ItemType typeAt(size_t position) const
    {
        return ItemType::Value(m_flagsAt[position] >> typeShift);
    }
    // Every tag the list's items carry, once each.
    const std::vector<const Tag *> &tags() const { return m_tags; }

    size_t slotCount() const { return m_slots.size(); }
    // True once dead slots probably outnumber live ones: the next follow() builds the index
    // again, for its list alone.
    bool wantsRebuild() const;
    size_t byteCount() const { return m_text.size(); }
    SearchFields fieldsOf(quint32 slot) const;
    // Asks the processor for what fieldsOf(slot) reads, for a walk that knows its next slots:
    // first the offsets, then (once they have arrived) the start of the text.
    void prefetchSlot(quint32 slot) const { __builtin_prefetch(&m_slots[slot]); }
    void prefetchText(quint32 slot) const
    {
        __builtin_prefetch(m_text.data() + m_slots[slot].begin);
    }

    // Sets, for every slot, bit 4 * n + field in `hits` for each field holding needle n.
    // Needles are not empty and hold no field separator; at most mostNeedles of them. Gives
    // up between blocks of text once `cancelled` is set, leaving `hits` incomplete.
    void scan(const std::vector<SubstringFinder> &needles, std::vector<quint32> &hits,
              const std::atomic<bool> *cancelled = nullptr) const;

private:
    // A slot's text runs from its `begin` to the next slot's: slots are appended in order.
    // 32 bytes, as a large library keeps one per item.
    struct Slot
    {
        // Item::searchRevision() when copied. No two items, nor two texts of one item, share
        // a revision, so it tells the slot's item too, without a pointer to an item that may
        // be gone.
        quint64 revision;
        size_t begin;
        // Field starts, from `begin`, as in SearchText::all().
        quint32 noteAt;
        quint32 domainAt;
        quint32 urlAt;
        quint8 present; // bit 0 note, bit 1 domain, bit 2 url
    };
    static_assert(sizeof(Slot) == 32);

    // The slot holding `item`'s current text, or noSlot.
    quint32 slotOf(const Item &item) const
    {
        const quint32 slot = item.searchSlot();
        if (slot >= m_slots.size())
            return noSlot;
        return m_slots[slot].revision == item.searchRevision() ? slot : noSlot;
    }
    size_t endOf(size_t slot) const
    {
        return slot + 1 < m_slots.size() ? m_slots[slot + 1].begin : m_text.size();
    }
    // Appends `item`'s current text and returns its slot.
    quint32 add(const Item &item);
    void startFollowing(const std::vector<Item *> &items);
    // Forgets every slot, making room for `items`.
    void startRebuilding(const std::vector<Item *> &items);
    void recordAttributesAt(size_t position, const Item &item);

    void scanRange(size_t first, size_t last, const std::vector<SubstringFinder> &needles,
                   std::vector<quint32> &hits, const std::atomic<bool> *cancelled) const;
    void scanBlock(size_t first, size_t last, const SubstringFinder &needle, unsigned needleIndex,
                   std::vector<quint32> &hits) const;
    std::string_view field(const Slot &slot, size_t from, size_t next) const
    {
        return std::string_view(m_text).substr(slot.begin + from, next - from - 1);
    }

    std::string m_text;
    std::vector<Slot> m_slots;
    SearchText m_scratch;  // an item's text on its way into m_text
    size_t m_replaced = 0; // slots left behind by items appended again
    // From a rebuild until its walk is done, when the items' slot numbers are the old index's.
    bool m_rebuilding = false;
    quint64 m_destroyedAtBuild = 0; // Item::destroyedCount() when last built

    // The list last followed, and Item::searchChanges() then.
    std::vector<Item *> m_list;
    quint64 m_changesFollowed = 0;
    bool m_followedOnce = false;
    std::vector<quint32> m_slotAt;
    static constexpr quint8 archivedFlag = 1;
    static constexpr quint8 favoriteFlag = 2;
    static constexpr int typeShift = 2;
    std::vector<quint8> m_flagsAt;
    std::vector<quint32> m_tagStart; // one more than the list, into m_tagIds
    std::vector<quint32> m_tagIds;
    std::vector<const Tag *> m_tags;
    QHash<const Tag *, quint32> m_tagNumbers; // into m_tags
    int m_restartsLeft = 0;
    bool m_restarting = false;
};

} // namespace quillory
