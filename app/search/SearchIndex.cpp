#include <search/SearchIndex.h>

#include <search/SubstringFinder.h>
#include <util/SecondThread.h>

#include <model/Item.h>

#include <QHash>
#include <algorithm>
#include <utility>

namespace quillory {

namespace {

// Below this much text a second thread costs more than it saves.
constexpr size_t parallelBytes = size_t(4) << 20;
// Walks of a long list started over because something changed between its slices.
constexpr int mostRestarts = 2;
// Small indexes are cheap to keep, dead slots and all.
constexpr size_t smallestRebuilt = 4096;
// What may lie between two texts of one run and be scanned for nothing: the fields a search
// does not read (page metadata, mostly) and the next block's header.
constexpr size_t mostSkipped = 256;
// Items given slots at once, in the order of their texts in memory: enough for long runs
// in a list roughly the reverse of load order, few enough to keep a slice of the walk short.
constexpr size_t placedTogether = 8192;

bool isAscii(std::string_view text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// Whether `typed`, with only A to Z lower-cased, reads as `folded`.
bool foldsToAscii(std::string_view typed, std::string_view folded)
{
    if (typed.size() != folded.size())
        return false;
    for (size_t i = 0; i < typed.size(); ++i) {
        const char c = typed[i];
        if (((c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c) != folded[i])
            return false;
    }
    return true;
}

} // namespace

SearchIndex::SearchIndex() : m_copies(std::make_unique<TextArena>())
{
}

SearchIndex::~SearchIndex()
{
    releaseSlots();
}

void SearchIndex::clear()
{
    forgetSlots();
    m_rebuilding = false;
    m_destroyedAtBuild = 0;
    m_list.clear();
    m_changesFollowed = 0;
    m_followedOnce = false;
    m_source.reset();
    m_slotAt.clear();
    m_flagsAt.clear();
    m_tagBitsAt.clear();
    m_tagStart.clear();
    m_tagIds.clear();
    m_tags.clear();
    m_tagNumbers.clear();
    m_restartsLeft = 0;
    m_cursor = 0;
}

void SearchIndex::releaseSlots()
{
    for (const Slot &slot : m_slots)
        TextArena::release(slot.block);
    m_slots.clear();
}

void SearchIndex::forgetSlots()
{
    releaseSlots();
    m_runStarts.clear();
    m_unplaced.clear();
    m_lastBlock = nullptr;
    m_bytes = 0;
    m_copies = std::make_unique<TextArena>();
    m_replaced = 0;
}

void SearchIndex::follow(const std::vector<Item *> &items)
{
    if (startFollowing(items))
        return;
    while (!followSome(std::chrono::steady_clock::time_point::max())) {
    }
}

bool SearchIndex::follows(const std::vector<Item *> &items) const
{
    return m_followedOnce && Item::searchChanges() == m_changesFollowed && items == m_list;
}

bool SearchIndex::startFollowing(const std::vector<Item *> &items)
{
    if (follows(items))
        return true;
    m_source.reset();
    if (&items != &m_list)
        m_list.assign(items.begin(), items.end());
    m_restartsLeft = mostRestarts;
    startWalk();
    return false;
}

void SearchIndex::startFollowing(std::vector<Item *> &&items)
{
    m_source.reset();
    m_list = std::move(items);
    m_restartsLeft = mostRestarts;
    startWalk();
}

bool SearchIndex::startFollowing(std::shared_ptr<const std::vector<Item *>> items)
{
    if (follows(*items))
        return true;
    // Only sized here: each slice of the walk copies what it reads.
    m_list.resize(items->size());
    m_source = std::move(items);
    m_restartsLeft = mostRestarts;
    startWalk();
    return false;
}

void SearchIndex::abandonWalk()
{
    if (m_followedOnce)
        return;
    m_source.reset();
    m_list.resize(m_cursor);
}

bool SearchIndex::followSome(std::chrono::steady_clock::time_point deadline)
{
    constexpr size_t clockEvery = 64;
    const size_t from = m_cursor;
    for (; m_cursor < m_list.size(); ++m_cursor) {
        if ((m_cursor - from) % clockEvery == clockEvery - 1 &&
            std::chrono::steady_clock::now() >= deadline) {
            placeUnplaced();
            return false;
        }
        if (m_source)
            m_list[m_cursor] = (*m_source)[m_cursor];
        const Item &item = *m_list[m_cursor];
        const quint32 slot = slotOf(item);
        m_slotAt[m_cursor] = slot;
        if (slot == noSlot) {
            m_unplaced.push_back({nullptr, m_cursor});
            if (m_unplaced.size() == placedTogether)
                placeUnplaced();
        }
        recordAttributesAt(m_cursor, item);
    }
    placeUnplaced();
    m_tagStart[m_list.size()] = quint32(m_tagIds.size());
    // Something searchable changed between two slices: what was recorded before it may be
    // stale, so the walk starts over, a few times at most (items made on another thread move
    // the count too, for as long as an import runs). Otherwise the index stands as walked;
    // the count it keeps is the one from before, so the next search walks again.
    if (Item::searchChanges() != m_changesFollowed &&
        deadline != std::chrono::steady_clock::time_point::max() && m_restartsLeft > 0) {
        --m_restartsLeft;
        startWalk();
        return false;
    }
    m_source.reset();
    m_followedOnce = true;
    m_rebuilding = false;
    return true;
}

void SearchIndex::startWalk()
{
    // Read before the walk: a change made meanwhile elsewhere is then seen by the next call.
    m_changesFollowed = Item::searchChanges();
    m_followedOnce = false;
    m_cursor = 0;
    m_unplaced.clear();
    if (m_slots.empty() || wantsRebuild())
        startRebuilding();
    m_slotAt.resize(m_list.size());
    m_flagsAt.resize(m_list.size());
    m_tagBitsAt.resize(m_list.size());
    m_tagStart.resize(m_list.size() + 1);
    m_tagIds.clear();
    m_tags.clear();
    m_tagNumbers.clear();
}

void SearchIndex::reserveTagIds()
{
    const std::vector<Item *> &items = walked();
    // Judged from the first few items, so that a large list's tags are not copied over and
    // over as they grow: each copy would leave the one before as free memory the process
    // keeps. Room that is never written costs nothing. Later walks keep the room, already
    // paged in, and grow it only if they must.
    constexpr size_t sampled = 256;
    const size_t sample = std::min(items.size(), sampled);
    size_t tags = 0;
    for (size_t i = 0; i < sample; ++i)
        tags += size_t(items[i]->tags().size());
    if (sample > 0)
        m_tagIds.reserve((tags + 1) * items.size() / sample * 5 / 4);
}

void SearchIndex::recordAttributesAt(size_t position, const Item &item)
{
    m_flagsAt[position] =
        quint8((item.isArchived() ? archivedFlag : 0) | (item.isFavorite() ? favoriteFlag : 0) |
               (int(ItemType::Value(item.type())) << typeShift));
    m_tagStart[position] = quint32(m_tagIds.size());
    quint16 bits = 0;
    for (const Tag *tag : item.tags()) {
        auto it = m_tagNumbers.find(tag);
        if (it == m_tagNumbers.end()) {
            it = m_tagNumbers.insert(tag, quint32(m_tags.size()));
            m_tags.push_back(tag);
        }
        m_tagIds.push_back(*it);
        bits |= tagBit(*it);
    }
    m_tagBitsAt[position] = bits;
}

void SearchIndex::placeUnplaced()
{
    const std::vector<Item *> &items = walked();
    // In the order their texts lie in memory, whatever the list's: the slots of a library
    // read from its store then make long runs even when it is listed newest first.
    for (Unplaced &entry : m_unplaced)
        entry.block = items[entry.position]->texts().arenaBlock();
    std::sort(m_unplaced.begin(), m_unplaced.end(), [](const Unplaced &a, const Unplaced &b) {
        return std::less<const char *>()(a.block, b.block);
    });
    for (const Unplaced &entry : m_unplaced) {
        const Item &item = *items[entry.position];
        const quint32 slot = slotOf(item); // a list may hold an item twice
        m_slotAt[entry.position] = slot != noSlot ? slot : add(item);
    }
    m_unplaced.clear();
}

quint32 SearchIndex::add(const Item &item)
{
    // An item seen before leaves its old slot dead. The slot number may be another index's,
    // which at worst builds this one again a little early.
    if (!m_rebuilding && item.layerSlots().searchIndex < m_slots.size())
        ++m_replaced;
    const SearchText *folded = nullptr;
    const char *block = readableAsTyped(item, folded);
    if (block != nullptr)
        TextArena::retain(block);
    else
        block = lowerCasedCopy(folded != nullptr ? *folded : item.searchText(m_scratch));
    const Placed text = placed(block);
    m_bytes += text.ends[3];
    extendRuns(block);
    const auto at = quint32(m_slots.size());
    m_slots.push_back({item.copiedSearchRevision(), block});
    item.layerSlots().searchIndex = at;
    return at;
}

const char *SearchIndex::readableAsTyped(const Item &item, const SearchText *&folded)
{
    const char *block = item.texts().arenaBlock();
    if (block == nullptr)
        return nullptr;
    const ItemTexts::View texts(block);
    const Placed text = placed(block);
    if (isAscii(std::string_view(text.begin, text.ends[3])))
        return block;
    // Other characters may fold to other bytes: only the folding itself can tell.
    folded = &item.searchText(m_scratch);
    const auto same = [&](ItemTexts::Field field, std::optional<std::string_view> to) {
        const std::optional<std::string_view> from = texts.optionalUtf8(field);
        return from.has_value() == to.has_value() && (!from || foldsToAscii(*from, *to));
    };
    return same(ItemTexts::Title, folded->title()) && same(ItemTexts::Note, folded->note()) &&
                   same(ItemTexts::SourceDomain, folded->domain()) &&
                   same(ItemTexts::Url, folded->url())
               ? block
               : nullptr;
}

const char *SearchIndex::lowerCasedCopy(const SearchText &text)
{
    ItemTexts::Parts parts;
    parts[ItemTexts::Title] = text.title();
    parts[ItemTexts::Note] = text.note();
    parts[ItemTexts::SourceDomain] = text.domain();
    parts[ItemTexts::Url] = text.url();
    return ItemTexts::write(parts, *m_copies);
}

void SearchIndex::extendRuns(const char *block)
{
    // As addresses: the two blocks may lie in different chunks.
    const char *previous = std::exchange(m_lastBlock, block);
    const auto end = previous != nullptr ? reinterpret_cast<uintptr_t>(endOf(placed(previous))) : 0;
    const auto start = reinterpret_cast<uintptr_t>(block);
    const bool follows = previous != nullptr && TextArena::sameChunk(previous, block) &&
                         start >= end && start - end <= mostSkipped;
    if (!follows)
        m_runStarts.push_back(quint32(m_slots.size()));
}

void SearchIndex::startRebuilding()
{
    forgetSlots();
    std::vector<Slot>().swap(m_slots);
    m_slots.reserve(m_list.size());
    m_rebuilding = true;
    m_destroyedAtBuild = Item::destroyedCount();
    reserveTagIds();
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
    const Placed text = placed(m_slots[slot].block);
    const auto field = [&](size_t f) {
        const uint32_t from = f == 0 ? 0 : text.ends[f - 1];
        return std::string_view(text.begin + from, text.ends[f] - from);
    };
    const auto optionalField = [&](size_t f) {
        return (text.present & (1u << f)) ? std::optional<std::string_view>(field(f))
                                          : std::nullopt;
    };
    return {field(SearchText::Title), optionalField(SearchText::Note),
            optionalField(SearchText::Domain), optionalField(SearchText::Url)};
}

void SearchIndex::scan(const std::vector<SubstringFinder> &needles, std::vector<quint32> &hits,
                       const std::atomic<bool> *cancelled) const
{
    hits.assign(m_slots.size(), 0);
    if (m_slots.empty())
        return;
    if (m_bytes < parallelBytes || !SecondThread::helps()) {
        scanRange(0, m_slots.size(), needles, hits, cancelled);
        return;
    }
    // Each thread writes only its own slots' hits.
    const size_t middle = m_slots.size() / 2;
    SecondThread::runBoth([&] { scanRange(0, middle, needles, hits, cancelled); },
                          [&] { scanRange(middle, m_slots.size(), needles, hits, cancelled); });
}

void SearchIndex::scanRange(size_t first, size_t last, const std::vector<SubstringFinder> &needles,
                            std::vector<quint32> &hits, const std::atomic<bool> *cancelled) const
{
    // Every needle over one piece of text before the next, so the second needle finds the
    // text still in the cache instead of reading the whole index from memory again.
    constexpr size_t pieceBytes = size_t(128) << 10;
    // The run after the one `first` lies in (the first run starts at slot 0).
    auto nextRun = std::upper_bound(m_runStarts.begin(), m_runStarts.end(), quint32(first));
    size_t pieceFirst = first;
    while (pieceFirst < last) {
        if (cancelled != nullptr && cancelled->load(std::memory_order_relaxed))
            return;
        const size_t runEnd = nextRun == m_runStarts.end() ? m_slots.size() : *nextRun;
        const size_t limit = std::min(last, runEnd);
        const char *start = m_slots[pieceFirst].block;
        size_t pieceLast = pieceFirst + 1;
        while (pieceLast < limit && size_t(m_slots[pieceLast].block - start) < pieceBytes)
            ++pieceLast;
        for (size_t n = 0; n < needles.size(); ++n)
            scanPiece(pieceFirst, pieceLast, needles[n], unsigned(n), hits);
        pieceFirst = pieceLast;
        if (pieceFirst == runEnd)
            ++nextRun;
    }
}

void SearchIndex::scanPiece(size_t first, size_t last, const SubstringFinder &needle,
                            unsigned needleIndex, std::vector<quint32> &hits) const
{
    Placed text = placed(m_slots[first].block);
    const char *from = text.begin;
    const char *stop = endOf(placed(m_slots[last - 1].block));
    const size_t length = needle.needle().size();
    size_t at = first; // the slot `from` lies in, or one before it
    while (from < stop) {
        const size_t hit = needle.find(std::string_view(from, size_t(stop - from)));
        if (hit == std::string_view::npos)
            break;
        const char *found = from + hit;
        if (at + 1 < last && m_slots[at + 1].block <= found) {
            do
                ++at;
            while (at + 1 < last && m_slots[at + 1].block <= found);
            text = placed(m_slots[at].block);
        }
        if (found < text.begin) { // in the block's header
            from = text.begin;
            continue;
        }
        const size_t inText = size_t(found - text.begin);
        unsigned field = 0;
        while (field < 4 && inText >= text.ends[field])
            ++field;
        if (field == 4) { // in the fields no search reads
            from = at + 1 < last ? m_slots[at + 1].block : stop;
            continue;
        }
        if (inText + length > text.ends[field]) { // runs into the next field
            from = found + 1;
            continue;
        }
        hits[at] |= 1u << (4 * needleIndex + field);
        // One hit is enough: the rest of this field can be skipped.
        from = text.begin + text.ends[field];
    }
}

} // namespace quillory
