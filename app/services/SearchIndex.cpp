#include "SearchIndex.h"

#include "SubstringFinder.h"

#include <Item.h>

#include <QHash>
#include <thread>
#include <utility>

namespace quillory {

namespace {

// Below this much text a second thread costs more than it saves.
constexpr size_t parallelBytes = size_t(4) << 20;
// Walks of a long list started over because something changed between its slices.
constexpr int mostRestarts = 2;
// Small indexes are cheap to keep, dead slots and all.
constexpr size_t smallestRebuilt = 4096;

} // namespace

void SearchIndex::follow(const std::vector<Item *> &items)
{
    size_t cursor = 0;
    while (!followSome(items, cursor, std::chrono::steady_clock::time_point::max())) {
    }
}

bool SearchIndex::follows(const std::vector<Item *> &items) const
{
    return m_followedOnce && Item::searchChanges() == m_changesFollowed && items == m_list;
}

bool SearchIndex::followSome(const std::vector<Item *> &items, size_t &cursor,
                             std::chrono::steady_clock::time_point deadline)
{
    if (cursor == 0) {
        if (follows(items))
            return true;
        if (!std::exchange(m_restarting, false))
            m_restartsLeft = mostRestarts;
        startFollowing(items);
    }
    constexpr size_t clockEvery = 64;
    const size_t from = cursor;
    for (; cursor < items.size(); ++cursor) {
        if ((cursor - from) % clockEvery == clockEvery - 1 &&
            std::chrono::steady_clock::now() >= deadline)
            return false;
        const Item &item = *items[cursor];
        const quint32 slot = slotOf(item);
        m_slotAt[cursor] = slot != noSlot ? slot : add(item);
        recordAttributesAt(cursor, item);
    }
    m_tagStart[items.size()] = quint32(m_tagIds.size());
    // Something searchable changed between two slices: what was recorded before it may be
    // stale, so the walk starts over, a few times at most (items made on another thread move
    // the count too, for as long as an import runs). Otherwise the index stands as walked;
    // the count it keeps is the one from before, so the next search walks again.
    if (Item::searchChanges() != m_changesFollowed &&
        deadline != std::chrono::steady_clock::time_point::max() && m_restartsLeft > 0) {
        --m_restartsLeft;
        m_restarting = true;
        cursor = 0;
        return false;
    }
    m_list = items;
    m_followedOnce = true;
    m_rebuilding = false;
    return true;
}

void SearchIndex::startFollowing(const std::vector<Item *> &items)
{
    // Read before the walk: a change made meanwhile elsewhere is then seen by the next call.
    m_changesFollowed = Item::searchChanges();
    m_followedOnce = false;
    if (m_slots.empty() || wantsRebuild())
        startRebuilding(items);
    m_slotAt.resize(items.size());
    m_flagsAt.resize(items.size());
    m_tagStart.resize(items.size() + 1);
    m_tagIds.clear();
    m_tags.clear();
    m_tagNumbers.clear();
}

void SearchIndex::recordAttributesAt(size_t position, const Item &item)
{
    m_flagsAt[position] =
        quint8((item.isArchived() ? archivedFlag : 0) | (item.isFavorite() ? favoriteFlag : 0) |
               (int(ItemType::Value(item.type())) << typeShift));
    m_tagStart[position] = quint32(m_tagIds.size());
    for (const Tag *tag : item.tags()) {
        auto it = m_tagNumbers.find(tag);
        if (it == m_tagNumbers.end()) {
            it = m_tagNumbers.insert(tag, quint32(m_tags.size()));
            m_tags.push_back(tag);
        }
        m_tagIds.push_back(*it);
    }
}

quint32 SearchIndex::add(const Item &item)
{
    // The text is built for the copy only: the index is where a large library keeps it.
    const SearchText &text = item.searchText(m_scratch);
    const std::string_view all = text.all();
    // An item seen before leaves its old slot dead. The slot number may be another index's,
    // which at worst builds this one again a little early.
    if (!m_rebuilding && item.searchSlot() < m_slots.size())
        ++m_replaced;
    Slot slot;
    slot.revision = item.searchRevision();
    slot.begin = m_text.size();
    slot.noteAt = quint32(text.endOf(SearchText::Title));
    slot.domainAt = quint32(text.endOf(SearchText::Note));
    slot.urlAt = quint32(text.endOf(SearchText::Domain));
    slot.present = quint8((text.note() ? 1 : 0) | (text.domain() ? 2 : 0) | (text.url() ? 4 : 0));
    m_text.append(all);
    const auto at = quint32(m_slots.size());
    item.setSearchSlot(at);
    m_slots.push_back(slot);
    return at;
}

void SearchIndex::startRebuilding(const std::vector<Item *> &items)
{
    std::string().swap(m_text);
    std::vector<Slot>().swap(m_slots);
    // Room for all, judged from the first few texts, so that the text is not moved as it
    // grows: a long list is copied a slice at a time, and moving it would cost what the
    // slices spare.
    constexpr size_t sampled = 256;
    size_t bytes = 0;
    const size_t sample = std::min(items.size(), sampled);
    for (size_t i = 0; i < sample; ++i)
        bytes += items[i]->searchText(m_scratch).all().size();
    if (sample > 0)
        m_text.reserve(bytes / sample * items.size() * 5 / 4);
    m_slots.reserve(items.size());
    m_replaced = 0;
    m_rebuilding = true;
    m_destroyedAtBuild = Item::destroyedCount();
}

bool SearchIndex::wantsRebuild() const
{
    if (m_slots.size() < smallestRebuilt)
        return false;
    // Items destroyed elsewhere may never have been here: an estimate on the safe side,
    // which at worst builds the index once too often.
    const size_t dead = m_replaced + size_t(Item::destroyedCount() - m_destroyedAtBuild);
    return dead * 2 > m_slots.size();
}

SearchFields SearchIndex::fieldsOf(quint32 slot) const
{
    const Slot &s = m_slots[slot];
    SearchFields fields;
    fields.title = field(s, 0, s.noteAt);
    if (s.present & 1)
        fields.note = field(s, s.noteAt, s.domainAt);
    if (s.present & 2)
        fields.domain = field(s, s.domainAt, s.urlAt);
    if (s.present & 4)
        fields.url = field(s, s.urlAt, endOf(slot) - s.begin);
    return fields;
}

void SearchIndex::scan(const std::vector<SubstringFinder> &needles, std::vector<quint32> &hits,
                       const std::atomic<bool> *cancelled) const
{
    hits.assign(m_slots.size(), 0);
    if (m_slots.empty())
        return;
    if (m_text.size() < parallelBytes || std::thread::hardware_concurrency() < 2) {
        scanRange(0, m_slots.size(), needles, hits, cancelled);
        return;
    }
    // Halves by bytes, cut at a slot boundary; each thread writes only its own slots' hits.
    size_t middle = 0;
    {
        size_t low = 0;
        size_t high = m_slots.size();
        while (low < high) {
            const size_t mid = (low + high) / 2;
            if (m_slots[mid].begin < m_text.size() / 2)
                low = mid + 1;
            else
                high = mid;
        }
        middle = low;
    }
    std::thread helper([&] { scanRange(middle, m_slots.size(), needles, hits, cancelled); });
    scanRange(0, middle, needles, hits, cancelled);
    helper.join();
}

void SearchIndex::scanRange(size_t first, size_t last, const std::vector<SubstringFinder> &needles,
                            std::vector<quint32> &hits, const std::atomic<bool> *cancelled) const
{
    // Every needle over one block before the next, so the second needle finds the text
    // still in the cache instead of reading the whole index from memory again.
    constexpr size_t blockBytes = size_t(128) << 10;
    size_t blockFirst = first;
    while (blockFirst < last) {
        if (cancelled != nullptr && cancelled->load(std::memory_order_relaxed))
            return;
        size_t blockLast = blockFirst + 1;
        const size_t limit = m_slots[blockFirst].begin + blockBytes;
        while (blockLast < last && m_slots[blockLast].begin < limit)
            ++blockLast;
        for (size_t n = 0; n < needles.size(); ++n)
            scanBlock(blockFirst, blockLast, needles[n], unsigned(n), hits);
        blockFirst = blockLast;
    }
}

void SearchIndex::scanBlock(size_t first, size_t last, const SubstringFinder &needle,
                            unsigned needleIndex, std::vector<quint32> &hits) const
{
    const char *base = m_text.data();
    const size_t stop = last < m_slots.size() ? m_slots[last].begin : m_text.size();
    size_t from = m_slots[first].begin;
    size_t at = first; // the slot `from` lies in, or one before it
    while (from < stop) {
        const size_t hit = needle.find(std::string_view(base + from, stop - from));
        if (hit == std::string_view::npos)
            break;
        const size_t offset = from + hit;
        while (endOf(at) <= offset)
            ++at;
        const Slot &slot = m_slots[at];
        const size_t inSlot = offset - slot.begin;
        // No needle holds a separator, so a hit never crosses into the next field: the rest
        // of this field can be skipped.
        size_t fieldEnd = 0;
        unsigned field = 0;
        if (inSlot < slot.noteAt) {
            field = SearchText::Title;
            fieldEnd = slot.noteAt;
        } else if (inSlot < slot.domainAt) {
            field = SearchText::Note;
            fieldEnd = slot.domainAt;
        } else if (inSlot < slot.urlAt) {
            field = SearchText::Domain;
            fieldEnd = slot.urlAt;
        } else {
            field = SearchText::Url;
            fieldEnd = endOf(at) - slot.begin;
        }
        hits[at] |= 1u << (4 * needleIndex + field);
        from = slot.begin + fieldEnd;
    }
}

} // namespace quillory
