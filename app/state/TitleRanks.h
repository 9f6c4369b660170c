#pragma once

#include <model/Item.h>

#include <QCollatorSortKey>
#include <QtGlobal>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

class QObject;

namespace quillory {

class Record;

// Ranks the library's items by title, so that sorting a shown list by title is a sort of
// integers kept on the items instead of collation keys scattered over the heap. Ranks leave
// room between them: a new or renamed item takes one between its neighbours' without the
// library being ranked again.
//
// Ranking a large library takes long (keying the titles of 100,000 items and sorting the keys
// took 124 ms on one core; 1,000,000 items, 1.75 s), so it may run on worker threads from a
// snapshot of the titles while the window goes on. Its ranks are given to the items when next
// asked for, to those still as they were in the snapshot; the others are placed one by one.
// Interface thread only, but for the workers it starts itself.
class TitleRanks final
{
public:
    // Libraries this large are ranked on worker threads when the caller can wait.
    static constexpr size_t defaultBackgroundThreshold = 10000;

    TitleRanks();
    // Waits for a ranking still running: one still keying titles stops at once, one sorting
    // them when it is done (hundreds of milliseconds for a million items).
    ~TitleRanks();
    Q_DISABLE_COPY_MOVE(TitleRanks)

    size_t backgroundThreshold() const { return m_backgroundThreshold; }
    void setBackgroundThreshold(size_t items) { m_backgroundThreshold = items; }

    // Whether the item carries a rank of this ranking, which a rename takes away.
    bool isRanked(const Item &item) const
    {
        return m_ranking != 0 && item.layerSlots().titleRanking == m_ranking;
    }
    // Gives every item of `items` a rank, placing the unranked ones among the ranked (after
    // taking over a ranking done in the background, if one waits). False, with some items
    // perhaps left unranked, when the library must first be ranked as a whole: it never was,
    // too many items are new or renamed, or their neighbours left no room.
    bool place(const std::vector<Item *> &items, const std::vector<Record *> &library);
    // Ranks every item of `library` now, on this thread and perhaps one more.
    void rankAll(const std::vector<Record *> &library);
    // Starts ranking `library` on worker threads, reading it now, unless a ranking is running
    // already (then the library it read is the one ranked); either way `ranked` is called on
    // this thread once one is done, instead of whatever was asked before. The ranks wait for
    // place() to give them to the items, with the library as it is then. A ranking never
    // taken over keeps its snapshot until the next one.
    void rankInBackground(const std::vector<Record *> &library, std::function<void()> ranked);

private:
    struct Snapshot;
    struct Ranking;

    static std::shared_ptr<Ranking> ranked(std::unique_ptr<Snapshot> snapshot,
                                           const std::stop_token &stop);
    // Gives the ranks of a done ranking to the items of `library` still as they were in its
    // snapshot; items added, renamed or read again since are left unranked.
    void takeOver(std::shared_ptr<Ranking> done, const std::vector<Record *> &library);
    // Takes the keys of `done` as this ranking's, and returns the ranking's new number.
    quint32 adoptKeys(Ranking &done);
    bool placeOne(const Item &item);
    void finished(std::shared_ptr<Ranking> done);

    size_t m_backgroundThreshold = defaultBackgroundThreshold;
    // Which ranking the items' ranks must carry to be this one's (0: none yet).
    quint32 m_ranking = 0;
    static inline std::atomic<quint32> s_rankings{0};
    // Every distinct title key ranked, in order, with its rank.
    std::vector<std::pair<QCollatorSortKey, qint64>> m_keys;

    // A ranking done in the background, until place() takes it over.
    std::shared_ptr<Ranking> m_done;
    std::function<void()> m_onRanked;
    bool m_running = false;
    // The one running is older than a ranking made since on this thread: its ranks are dropped.
    bool m_superseded = false;
    // The last ranking in the background ran out of memory: the next is made on this thread.
    bool m_failed = false;
    // Receives the workers' results on this thread; destroyed only once they are stopped.
    std::unique_ptr<QObject> m_receiver;
    std::jthread m_worker;
};

} // namespace quillory
