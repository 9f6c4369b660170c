#pragma once

#include <keeping/HostBackoff.h>
#include <pages/PageQueue.h>

#include <QDeadlineTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QUuid>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace quillory {

class ItemSlices;
class KeptPages;
class LibraryStore;
class MetadataService;
class PageStore;
class PageWorker;
struct ServedPage;

struct KeepingLimits
{
    int maxInFlight = 4;
    HostBackoff::Limits backoff;
    // Times a page may find its site busy before it is given up for this run.
    int waitsPerPage = 4;
};

// Keeps and checks the pages of items already in the library, in the background: the list
// of pages waiting lives in the library's file (PageQueue), so it survives a restart and
// goes on where it stopped, paused or not. At most a few pages are fetched at a time and
// never two of one site; a site that says it is busy, or does not answer, is left alone
// for a while that grows with each time. Runs on the interface thread and never holds it:
// the list is read and written on a thread of its own, the library walked a slice at a time.
class KeepingQueue final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KeepingQueue)

public:
    using Limits = KeepingLimits;
    // A run this long shows its progress without being asked.
    static constexpr qint64 largeRun = 100;

    // The pages of `store`'s items are fetched with `metadata` and handed to `pages`; all
    // must outlive the queue. It reads its list from the file at once and, unless paused,
    // goes on with it.
    KeepingQueue(const QString &storePath, LibraryStore &store, KeptPages &pages,
                 MetadataService &metadata, Limits limits = {}, QObject *parent = nullptr);
    // Abandons the fetches under way; the list stays in the file.
    ~KeepingQueue() override;

    // Off: pages waiting only to be kept are passed over, and checks keep nothing.
    void setKeepCopies(bool keep);
    // While on hold (the library locked) nothing new starts. Not remembered.
    void setOnHold(bool onHold);

    // Every web item without a copy.
    void keepMissing();
    // keepMissing(), the first time it is asked of this library only.
    void keepMissingOnce();
    // Every web item, to record whether its link still answers.
    void checkAll();
    // Remembered by the file: a paused list stays paused after a restart.
    void pause();
    void resume();
    // Empties the list and abandons what is under way.
    void stop();

    bool isLoaded() const { return m_loaded; }
    const QueueProgress &progress() const { return m_progress; }
    bool isAdding() const { return m_walk != nullptr; }
    bool isOnHold() const { return m_onHold; }
    int inFlight() const { return int(m_running.size()); }
    // Why the list cannot be used, when it cannot.
    const QString &failure() const { return m_failure; }

    // Returns once the list's thread has done all it was asked; what it answered is then
    // queued for this thread.
    void waitForIdle();

signals:
    // The progress, the pause or the failure changed.
    void changed();
    // A run of at least largeRun pages was asked for.
    void largeRunStarted();

private:
    struct Running
    {
        QString host;
        QObject *context = nullptr; // deleting it abandons the fetch
    };
    struct HostWait
    {
        int strikes = 0;
        QDeadlineTimer until;
    };
    void ask(std::function<std::optional<QueueProgress>(PageStore &)> work,
             std::function<void(bool ok)> then = {});
    void apply(const std::optional<QueueProgress> &progress, const QString &failure);
    void walk(PageTask task, bool withoutCopyOnly, bool seeding);
    void flushWalk(bool last);
    bool isActive() const;
    void pump();
    bool hostFree(const QString &host) const;
    void refill();
    void launch(const QueuedPage &page);
    void completed(const QUuid &itemId, const QueuedPage &page, const ServedPage &served);
    void finishPage(const QUuid &itemId);
    void hostFreed(const QString &host);
    void strike(const QString &host, const QByteArray &retryAfter);
    void scheduleWake();
    void abandonAll();

    LibraryStore &m_store;
    KeptPages &m_pages;
    MetadataService &m_metadata;
    const Limits m_limits;
    std::unique_ptr<PageWorker> m_worker;
    QueueProgress m_progress;
    bool m_loaded = false;
    bool m_keepCopies = true;
    bool m_onHold = false;
    QString m_failure;
    std::deque<QueuedPage> m_buffer; // read from the list, not started
    QHash<QUuid, Running> m_running;
    QSet<QString> m_busyHosts;
    QHash<QString, HostWait> m_waits;
    QHash<QUuid, int> m_pageWaits;
    bool m_loading = false;
    quint64 m_generation = 0; // of the list, renewed when pages leave it from outside
    bool m_exhausted = false; // the list has nothing more the sites allow now
    QTimer m_wake;
    // A walk of the library asking for pages, and one asked for meanwhile.
    std::unique_ptr<ItemSlices> m_walk;
    PageTask m_walkTask = PageTask::Keep;
    bool m_walkWithoutCopyOnly = true;
    bool m_walkSeeding = false;
    qint64 m_walkTotalBefore = 0;
    bool m_walkAnnounced = false;
    std::vector<PageQueue::Entry> m_walkBatch;
    std::function<void()> m_nextWalk;
    bool m_seedAsked = false;
};

} // namespace quillory
