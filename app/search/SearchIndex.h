#pragma once

#include <search/SearchFields.h>

#include <model/Item.h>
#include <model/TextArena.h>

#include <QHash>
#include <QtGlobal>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace quillory {

class SubstringFinder;
class Tag;

// The search texts of a list of items, read as a few long runs of text instead of a heap
// block per item: a search touches an item only when its text or one of its tags matches.
//
// The text is kept once. An item read from the store has its texts in a TextArena, laid end
// to end in load order; the index holds those blocks there (so they outlast an edit or a
// deletion while a scan runs) and reads them in the case they were typed, since the finder
// matches A to Z in either case. Only an item whose text lies elsewhere (made or changed
// since the store was read), or whose lower case is more than A to Z (its Unicode folding
// changes other characters), gets a lower-cased copy, in the index's own arena. Fields lie
// end to end without a separator, so a hit that runs past its field's end is no hit.
//
// follow() brings the index up to the list a search is given. While neither the list nor
// anything searchable (Item::searchChanges) has changed, that costs a comparison of the
// list; otherwise each item is visited once: one the index lacks, or whose text changed, is
// given a slot, and the text it had before stays behind, dead, until the index is built
// again. A slot counts as an item's only while the item's search revision is the one it was
// made from, so an index that fell behind is slower, never wrong.
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

    SearchIndex();
    ~SearchIndex();
    SearchIndex(const SearchIndex &) = delete;
    SearchIndex &operator=(const SearchIndex &) = delete;

    // Copies what changed.
    void follow(const std::vector<Item *> &items);
    // Forgets everything, as a new index.
    void clear();
    // Whether follow() would find nothing to do.
    bool follows(const std::vector<Item *> &items) const;
    // follow() a slice at a time, for a long list. startFollowing() takes the list, copied
    // into the room the last one left (a large list then costs no fresh memory, which the
    // interface thread would wait for page by page), and is true if the index follows it
    // already; or moved in, always walked. followSome() then walks on until the end or
    // `deadline`, and is true once the index follows the list (as far as changes made between
    // slices let it: then the next follow walks again). Until it is done nothing but
    // followSome() and follows() may use the index, and no item of the list may be destroyed;
    // a walk left unfinished is dropped by the next start, or by abandonWalk().
    bool startFollowing(const std::vector<Item *> &items);
    void startFollowing(std::vector<Item *> &&items);
    // As above, reading the list from where it lies as the walk goes instead of copying it
    // first; the index lets go of it once the walk is done or abandoned. No one may change it
    // meanwhile.
    bool startFollowing(std::shared_ptr<const std::vector<Item *>> items);
    bool followSome(std::chrono::steady_clock::time_point deadline);
    // Ends an unfinished walk where it is: the index lets go of the list it read from and
    // keeps the part walked, which it then follows at most.
    void abandonWalk();

    // For the list last followed (of an unfinished walk, only the part walked):
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
    // A bit for each tag the item at `position` carries, tagBit() of its index into tags();
    // tags share bits, so a bit says only that the item may carry the tag. A search asks this
    // before it reads an item's tags.
    quint16 tagBitsAt(size_t position) const { return m_tagBitsAt[position]; }
    static quint16 tagBit(size_t tag) { return quint16(1u << (tag % 16)); }

    size_t slotCount() const { return m_slots.size(); }
    // True once dead slots probably outnumber live ones: the next follow() builds the index
    // again, for its list alone.
    bool wantsRebuild() const;
    // The bytes of text the slots hold, dead ones included.
    // As typed, or lower-cased: compare them with a SubstringFinder.
    SearchFields fieldsOf(quint32 slot) const;
    // Asks the processor for what fieldsOf(slot) reads, for a walk that knows its next slots:
    // first where the text lies, then (once that has arrived) the text.
    void prefetchSlot(quint32 slot) const { __builtin_prefetch(&m_slots[slot]); }
    void prefetchText(quint32 slot) const { __builtin_prefetch(m_slots[slot].block); }

    // Sets, for every slot, bit 4 * n + field in `hits` for each field holding needle n.
    // Needles are not empty and hold no field separator; at most mostNeedles of them. Gives
    // up between blocks of text once `cancelled` is set, leaving `hits` incomplete.
    void scan(const std::vector<SubstringFinder> &needles, std::vector<quint32> &hits,
              const std::atomic<bool> *cancelled = nullptr) const;

private:
    struct Slot
    {
        // Item::searchRevision() when made. No two items, nor two texts of one item, share a
        // revision, so it tells the slot's item too, without a pointer to an item that may
        // be gone.
        quint64 revision;
        // An ItemTexts block in a TextArena, held by the index.
        const char *block;
    };
    static_assert(sizeof(Slot) == 16, "a large library keeps one per item");
    using Placed = ItemTexts::View::Searched;
    static Placed placed(const char *block) { return ItemTexts::View(block).searched(); }
    static const char *endOf(const Placed &text) { return text.begin + text.ends[3]; }

    // The slot holding `item`'s current text, or noSlot.
    quint32 slotOf(const Item &item) const
    {
        const quint32 slot = item.layerSlots().searchIndex;
        if (slot >= m_slots.size())
            return noSlot;
        return m_slots[slot].revision == item.searchRevision() ? slot : noSlot;
    }
    // Gives `item`'s current text a slot and returns it.
    quint32 add(const Item &item);
    void placeUnplaced();
    // The item's own block, when a search may read it as it is. `folded` is left at the
    // item's lower-cased text when that had to be built to tell.
    const char *readableAsTyped(const Item &item, const SearchText *&folded);
    const char *lowerCasedCopy(const SearchText &text);
    void extendRuns(const char *block);
    void releaseSlots();
    // Every slot and what only slots need, with the copies they held.
    void forgetSlots();
    // Readies a walk of the list from its start.
    void startWalk();
    const std::vector<Item *> &walked() const { return m_source ? *m_source : m_list; }
    // Forgets every slot, making room for m_list.
    void startRebuilding();
    void reserveTagIds();
    void recordAttributesAt(size_t position, const Item &item);

    void scanRange(size_t first, size_t last, const std::vector<SubstringFinder> &needles,
                   std::vector<quint32> &hits, const std::atomic<bool> *cancelled) const;
    // Slots first to last - 1, of one run.
    void scanPiece(size_t first, size_t last, const SubstringFinder &needle, unsigned needleIndex,
                   std::vector<quint32> &hits) const;

    std::vector<Slot> m_slots;
    // Where runs of slots begin whose texts lie one after the other in memory, with little
    // between them: each run is scanned as one text.
    std::vector<quint32> m_runStarts;
    // Positions of the list followed that want a slot, given one a batch at a time.
    struct Unplaced
    {
        const char *block; // where the item's texts lie, if in an arena
        size_t position;
    };
    std::vector<Unplaced> m_unplaced;
    const char *m_lastBlock = nullptr; // the last slot's, for the runs
    size_t m_bytes = 0;
    // Lower-cased copies of the texts that cannot be read as typed.
    std::unique_ptr<TextArena> m_copies;
    SearchText m_scratch;  // an item's lower-cased text on its way into m_copies
    size_t m_replaced = 0; // slots left behind by items given a slot again
    // From a rebuild until its walk is done, when the items' slot numbers are the old index's.
    bool m_rebuilding = false;
    quint64 m_destroyedAtBuild = 0; // Item::destroyedCount() when last built

    // The list last followed (or being walked), and Item::searchChanges() then.
    std::vector<Item *> m_list;
    // Where a walk reads the list from, when not m_list itself: copied into m_list as it goes.
    std::shared_ptr<const std::vector<Item *>> m_source;
    quint64 m_changesFollowed = 0;
    bool m_followedOnce = false;
    size_t m_cursor = 0; // where the walk of m_list goes on
    std::vector<quint32> m_slotAt;
    static constexpr quint8 archivedFlag = 1;
    static constexpr quint8 favoriteFlag = 2;
    static constexpr int typeShift = 2;
    std::vector<quint8> m_flagsAt;
    std::vector<quint16> m_tagBitsAt;
    std::vector<quint32> m_tagStart; // one more than the list, into m_tagIds
    std::vector<quint32> m_tagIds;
    std::vector<const Tag *> m_tags;
    QHash<const Tag *, quint32> m_tagNumbers; // into m_tags
    int m_restartsLeft = 0;
};

} // namespace quillory
