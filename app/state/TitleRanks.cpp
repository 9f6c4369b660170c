#include <state/TitleRanks.h>

#include <model/ItemTexts.h>
#include <model/PrefetchAhead.h>
#include <model/ReleaseElsewhere.h>
#include <model/TextArena.h>
#include <util/SecondThread.h>

#include <QCollator>
#include <QObject>
#include <algorithm>
#include <iterator>

namespace quillory {

namespace {

void giveRank(const Item &item, quint32 ranking, qint64 rank)
{
    ItemSlots &kept = item.layerSlots();
    kept.titleRanking = ranking;
    kept.titleRank = rank;
}

// Room between two neighbouring ranks: twenty halvings before a full ranking is needed.
constexpr qint64 rankSpacing = qint64(1) << 20;
// More new or renamed items than this are ranked with the rest: each one placed on its own
// moves the keys after it.
constexpr size_t mostPlacedOneByOne = 256;
// Libraries at least this large are keyed and sorted on two threads.
constexpr size_t splitRanking = 4096;
// How many titles are keyed between two looks at whether the ranking is to stop.
constexpr size_t keyedBetweenLooks = 1024;

QCollatorSortKey titleKey(const QString &title)
{
    // One per thread: a collator may be used by one thread at a time. Keys of collators set
    // alike compare with each other wherever they were made.
    thread_local const QCollator collator = [] {
        QCollator c;
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setNumericMode(true);
        return c;
    }();
    // Folded first: in the C locale Qt's sort keys ignore the collator's case setting.
    return collator.sortKey(title.toCaseFolded());
}

// A title's key and the snapshot entry it is of.
using KeyedTitle = std::pair<QCollatorSortKey, quint32>;

bool keyedBefore(const KeyedTitle &a, const KeyedTitle &b)
{
    return a.first.compare(b.first) < 0;
}

} // namespace

// The titles of a library as they were at one moment, readable on any thread while the
// items change or go.
struct TitleRanks::Snapshot
{
    // What tells the item again later: its address alone may have gone to another item since.
    struct Entry
    {
        const Item *item;
        qint64 createdAt;
        quint64 sequence;
        quint64 revision;
    };

    explicit Snapshot(const std::vector<Record *> &library)
    {
        entries.reserve(library.size());
        blocks.reserve(library.size());
        for (size_t i = 0; i < library.size(); ++i) {
            prefetchAhead(library, i);
            const auto *item = static_cast<const Item *>(library[i]);
            entries.push_back(
                {item, item->createdAtMSecs(), item->sequence(), item->copiedSearchRevision()});
            const char *block = item->texts().arenaBlock();
            if (block == nullptr) {
                copied.emplace_back(i, item->title());
            } else if (held.blocks.empty() || !TextArena::sameChunk(held.blocks.back(), block)) {
                held.blocks.push_back(block);
                TextArena::retain(block);
            }
            blocks.push_back(block);
        }
    }
    Q_DISABLE_COPY_MOVE(Snapshot)

    QString title(size_t entry) const
    {
        if (blocks[entry] != nullptr)
            return ItemTexts::View(blocks[entry]).text(ItemTexts::Title);
        const auto at = std::lower_bound(copied.cbegin(), copied.cend(), entry,
                                         [](const auto &c, size_t e) { return c.first < e; });
        return at->second;
    }

    // The entries of library[first, last), keyed by title and in order; nothing when asked
    // to stop meanwhile.
    std::vector<KeyedTitle> sortedTitles(size_t first, size_t last,
                                         const std::stop_token &stop) const
    {
        std::vector<KeyedTitle> keyed;
        keyed.reserve(last - first);
        for (size_t i = first; i < last; ++i) {
            if ((i - first) % keyedBetweenLooks == 0 && stop.stop_requested())
                return {};
            keyed.emplace_back(titleKey(title(i)), quint32(i));
        }
        std::sort(keyed.begin(), keyed.end(), keyedBefore);
        return keyed;
    }

    std::vector<Entry> entries;
    // Per entry, the block of a TextArena its title lies in, or null when it was copied.
    std::vector<const char *> blocks;
    std::vector<std::pair<size_t, QString>> copied; // by entry
    // A block of each chunk the blocks lie in, held so that the chunks outlast their items;
    // let go of also when the snapshot's making throws halfway.
    struct Held
    {
        Held() = default;
        ~Held()
        {
            for (const char *block : blocks)
                TextArena::release(block);
        }
        Q_DISABLE_COPY_MOVE(Held)
        std::vector<const char *> blocks;
    } held;
};

// A snapshot's ranks, one per entry, and the distinct keys they were given for.
struct TitleRanks::Ranking
{
    std::unique_ptr<Snapshot> snapshot;
    std::vector<qint64> ranks;
    std::vector<std::pair<QCollatorSortKey, qint64>> keys;
};

TitleRanks::TitleRanks() : m_receiver(std::make_unique<QObject>())
{
}

TitleRanks::~TitleRanks()
{
    // Before the receiver goes, which drops a result already on its way.
    m_worker.request_stop();
    if (m_worker.joinable())
        m_worker.join();
}

std::shared_ptr<TitleRanks::Ranking> TitleRanks::ranked(std::unique_ptr<Snapshot> snapshot,
                                                        const std::stop_token &stop)
{
    // Half the library each on both cores, then merged.
    const size_t count = snapshot->entries.size();
    std::vector<KeyedTitle> keyed;
    if (count < splitRanking || !SecondThread::helps()) {
        keyed = snapshot->sortedTitles(0, count, stop);
    } else {
        const size_t half = count / 2;
        std::vector<KeyedTitle> first;
        std::vector<KeyedTitle> second;
        SecondThread::runBoth([&] { first = snapshot->sortedTitles(0, half, stop); },
                              [&] { second = snapshot->sortedTitles(half, count, stop); });
        keyed.reserve(count);
        std::merge(std::make_move_iterator(first.begin()), std::make_move_iterator(first.end()),
                   std::make_move_iterator(second.begin()), std::make_move_iterator(second.end()),
                   std::back_inserter(keyed), keyedBefore);
    }
    if (stop.stop_requested())
        return nullptr;
    // Equal titles share a rank, which keeps the sort stable for them.
    auto done = std::make_shared<Ranking>();
    done->ranks.resize(count);
    done->keys.reserve(keyed.size());
    qint64 rank = 0;
    for (size_t i = 0; i < keyed.size(); ++i) {
        if (i == 0 || keyed[i - 1].first.compare(keyed[i].first) != 0) {
            rank += rankSpacing;
            done->keys.emplace_back(keyed[i].first, rank);
        }
        done->ranks[keyed[i].second] = rank;
    }
    done->snapshot = std::move(snapshot);
    return done;
}

quint32 TitleRanks::adoptKeys(Ranking &done)
{
    // Made again from a whole library, so that deleted items leave no keys behind. The old
    // keys are many small blocks: freed elsewhere.
    releaseElsewhere(std::exchange(m_keys, std::move(done.keys)));
    m_ranking = ++s_rankings;
    return m_ranking;
}

void TitleRanks::rankAll(const std::vector<Record *> &library)
{
    // Older than this one: one still running would replace its keys, and leave the items
    // ranked by this one unranked.
    m_done.reset();
    m_superseded = m_running;
    const std::shared_ptr<Ranking> done = ranked(std::make_unique<Snapshot>(library), {});
    const quint32 ranking = adoptKeys(*done);
    const std::vector<Snapshot::Entry> &entries = done->snapshot->entries;
    for (size_t i = 0; i < entries.size(); ++i)
        giveRank(*entries[i].item, ranking, done->ranks[i]);
}

void TitleRanks::rankInBackground(const std::vector<Record *> &library,
                                  std::function<void()> onRanked)
{
    m_onRanked = std::move(onRanked);
    if (m_running)
        return;
    if (m_failed) {
        // The last one failed (out of memory, most likely): this thread ranks as it did before
        // rankings moved off it, and whatever it throws shows where it happens.
        m_failed = false;
        rankAll(library);
        QMetaObject::invokeMethod(
            m_receiver.get(), [this] { finished(nullptr); }, Qt::QueuedConnection);
        m_running = true; // until the caller hears of it, from the event loop as always
        return;
    }
    auto snapshot = std::make_unique<Snapshot>(library);
    m_worker = std::jthread([this, receiver = m_receiver.get(),
                             snapshot = std::move(snapshot)](std::stop_token stop) mutable {
        std::shared_ptr<Ranking> done;
        bool failed = false;
        try {
            done = ranked(std::move(snapshot), stop);
        } catch (...) {
            failed = true; // out of memory, or no thread for the second half
        }
        if (stop.stop_requested())
            return;
        try {
            QMetaObject::invokeMethod(
                receiver,
                [this, done = std::move(done), failed]() mutable {
                    m_failed = failed;
                    finished(std::move(done));
                },
                Qt::QueuedConnection);
        } catch (...) {
            // No room left even to say so: the window keeps the list it shows.
        }
    });
    m_done.reset();
    m_superseded = false;
    m_running = true;
}

void TitleRanks::finished(std::shared_ptr<Ranking> done)
{
    m_running = false;
    if (!std::exchange(m_superseded, false))
        m_done = std::move(done);
    if (std::function<void()> onRanked = std::exchange(m_onRanked, {}))
        onRanked();
}

bool TitleRanks::place(const std::vector<Item *> &items, const std::vector<Record *> &library)
{
    if (m_done)
        takeOver(std::exchange(m_done, nullptr), library);
    std::vector<const Item *> unranked; // new items and changed titles
    for (const Item *item : items) {
        if (isRanked(*item))
            continue;
        if (m_ranking == 0 || unranked.size() == mostPlacedOneByOne)
            return false;
        unranked.push_back(item);
    }
    if (m_keys.size() > 2 * library.size() + mostPlacedOneByOne && !unranked.empty())
        return false; // mostly keys of titles gone since
    for (const Item *item : unranked) {
        if (!placeOne(*item))
            return false;
    }
    return true;
}

void TitleRanks::takeOver(std::shared_ptr<Ranking> done, const std::vector<Record *> &library)
{
    const quint32 ranking = adoptKeys(*done);
    // The snapshot is in the library's order, newest first and then by sequence, as the
    // library still is: one walk over both finds each item's entry, if it still has one. Only
    // the live item is read; an entry's address is compared, never followed.
    const std::vector<Snapshot::Entry> &entries = done->snapshot->entries;
    size_t at = 0;
    for (size_t i = 0; i < library.size() && at < entries.size(); ++i) {
        prefetchAhead(library, i);
        const auto *item = static_cast<const Item *>(library[i]);
        const qint64 created = item->createdAtMSecs();
        const quint64 sequence = item->sequence();
        while (at < entries.size() &&
               (entries[at].createdAt != created ? entries[at].createdAt > created
                                                 : entries[at].sequence < sequence))
            ++at;
        if (at < entries.size() && entries[at].item == item && entries[at].sequence == sequence &&
            entries[at].revision == item->searchRevision()) {
            giveRank(*item, ranking, done->ranks[at]);
            ++at;
        }
    }
    releaseElsewhere(std::move(done));
}

bool TitleRanks::placeOne(const Item &item)
{
    QCollatorSortKey key = titleKey(item.title());
    const auto at = std::lower_bound(
        m_keys.begin(), m_keys.end(), key,
        [](const auto &entry, const QCollatorSortKey &k) { return entry.first.compare(k) < 0; });
    qint64 rank = 0;
    if (at != m_keys.end() && at->first.compare(key) == 0) {
        rank = at->second;
    } else {
        const qint64 above = at != m_keys.end() ? at->second
                             : m_keys.empty()   ? 2 * rankSpacing
                                                : m_keys.back().second + 2 * rankSpacing;
        const qint64 below = at != m_keys.begin() ? std::prev(at)->second : above - 2 * rankSpacing;
        if (above - below < 2)
            return false;
        rank = below + (above - below) / 2;
        m_keys.emplace(at, std::move(key), rank);
    }
    giveRank(item, m_ranking, rank);
    return true;
}

} // namespace quillory
