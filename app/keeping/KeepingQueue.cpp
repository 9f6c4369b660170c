#include <keeping/KeepingQueue.h>

#include <keeping/PageFetch.h>

#include <metadata/HttpDownload.h>
#include <metadata/MetadataService.h>
#include <model/Clock.h>
#include <model/Item.h>
#include <model/LibraryStore.h>
#include <pages/KeptPages.h>
#include <pages/PageStore.h>
#include <pages/PageWorker.h>
#include <util/ItemSlices.h>

namespace quillory {

namespace {

// Pages asked for are written in batches: one transaction each, short enough that the
// library's own saves barely wait for it.
constexpr size_t walkBatch = 2000;
// What one read of the list brings: enough that most pages start without another read,
// few enough per site that one site's thousands do not crowd out the rest.
constexpr int refillPages = 64;
constexpr int refillPerHost = 8;

// A site: its name and, when not the scheme's own, its port, as the Host header has it.
QString hostOf(const QUrl &url)
{
    QString host = url.host().toLower();
    if (url.port() != -1)
        host += u':' + QString::number(url.port());
    return host;
}

} // namespace

KeepingQueue::KeepingQueue(const QString &storePath, LibraryStore &store, KeptPages &pages,
                           MetadataService &metadata, Limits limits, QObject *parent)
    : QObject(parent), m_store(store), m_pages(pages), m_metadata(metadata), m_limits(limits),
      m_worker(std::make_unique<PageWorker>(storePath))
{
    m_wake.setSingleShot(true);
    connect(&m_wake, &QTimer::timeout, this, [this] {
        m_exhausted = false;
        pump();
    });
    // Copies removed all at once take the pages waiting only to be kept with them.
    connect(&m_pages, &KeptPages::removed, this, [this] {
        std::erase_if(m_buffer, [](const QueuedPage &p) { return p.task == PageTask::Keep; });
        ++m_generation;
        m_exhausted = false;
        ask([](PageStore &file) { return file.queue().progress(); }, [this](bool) { pump(); });
    });
    ask([](PageStore &file) { return file.queue().progress(); },
        [this](bool ok) {
            m_loaded = ok;
            pump();
        });
}

KeepingQueue::~KeepingQueue()
{
    // First, so that nothing it still runs answers to what is being taken apart.
    m_worker.reset();
    m_walk.reset();
    abandonAll();
}

void KeepingQueue::ask(std::function<std::optional<QueueProgress>(PageStore &)> work,
                       std::function<void(bool)> then)
{
    PageWorker *worker = m_worker.get();
    worker->post(
        [this, worker, work = std::move(work), then = std::move(then)](PageStore *store) mutable {
            std::optional<QueueProgress> progress;
            if (store != nullptr)
                progress = work(*store);
            const QString reason = store == nullptr ? worker->failure().message
                                   : progress       ? QString()
                                                    : QStringLiteral("The list of pages to keep "
                                                                           "could not be read or written.");
            QMetaObject::invokeMethod(
                this,
                [this, progress, reason, then = std::move(then)] {
                    apply(progress, reason);
                    if (then)
                        then(progress.has_value());
                },
                Qt::QueuedConnection);
        });
}

void KeepingQueue::apply(const std::optional<QueueProgress> &progress, const QString &failure)
{
    if (!failure.isEmpty() && m_failure.isEmpty()) {
        // A list that cannot be written would hand out the same pages again and again.
        m_failure = failure;
        abandonAll();
        m_buffer.clear();
    }
    if (progress)
        m_progress = *progress;
    emit changed();
}

void KeepingQueue::setKeepCopies(bool keep)
{
    m_keepCopies = keep;
    pump();
}

void KeepingQueue::setOnHold(bool onHold)
{
    m_onHold = onHold;
    emit changed();
    pump();
}

void KeepingQueue::keepMissing()
{
    walk(PageTask::Keep, true, false);
}

void KeepingQueue::keepMissingOnce()
{
    // Asked again while the first walk runs, the file does not yet say it was done.
    if (std::exchange(m_seedAsked, true))
        return;
    const auto seedIfNew = [this] {
        if (!m_progress.seeded)
            walk(PageTask::Keep, true, true);
    };
    if (m_loaded)
        seedIfNew();
    else
        ask([](PageStore &file) { return file.queue().progress(); },
            [seedIfNew](bool ok) {
                if (ok)
                    seedIfNew();
            });
}

void KeepingQueue::checkAll()
{
    walk(PageTask::Check, false, false);
}

void KeepingQueue::walk(PageTask task, bool withoutCopyOnly, bool seeding)
{
    if (!m_failure.isEmpty())
        return;
    if (m_walk) {
        m_nextWalk = [this, task, withoutCopyOnly, seeding] {
            walk(task, withoutCopyOnly, seeding);
        };
        return;
    }
    m_walkTask = task;
    m_walkWithoutCopyOnly = withoutCopyOnly;
    m_walkSeeding = seeding;
    m_walkTotalBefore = m_progress.waiting == 0 ? 0 : m_progress.total;
    m_walkAnnounced = false;
    m_walk = std::make_unique<ItemSlices>(m_store);
    emit changed();
    m_walk->start(
        64,
        [this](const Item &item) {
            const std::optional<QString> address = item.urlString();
            if (!address)
                return;
            const QUrl url = item.url();
            if (!HttpDownload::isFetchable(url))
                return;
            m_walkBatch.push_back({item.id(), hostOf(url)});
            if (m_walkBatch.size() >= walkBatch)
                flushWalk(false);
        },
        [this] { flushWalk(true); });
}

void KeepingQueue::flushWalk(bool last)
{
    std::vector<PageQueue::Entry> batch = std::exchange(m_walkBatch, {});
    const PageTask task = m_walkTask;
    const bool withoutCopyOnly = m_walkWithoutCopyOnly;
    const bool seeding = last && m_walkSeeding;
    ItemSlices *walk = m_walk.get();
    ask(
        [batch = std::move(batch), task, withoutCopyOnly,
         seeding](PageStore &file) -> std::optional<QueueProgress> {
            PageQueue &queue = file.queue();
            if (!queue.add(batch, task, withoutCopyOnly) || (seeding && !queue.setSeeded()))
                return std::nullopt;
            return queue.progress();
        },
        [this, last, walk](bool ok) {
            if (ok) {
                m_exhausted = false;
                if (!m_walkAnnounced && m_progress.total - m_walkTotalBefore >= largeRun) {
                    m_walkAnnounced = true;
                    emit largeRunStarted();
                }
            }
            // The walk counts as under way until its last pages are on the list; one stopped
            // meanwhile is gone already.
            if (last && m_walk.get() == walk) {
                m_walk.reset();
                emit changed();
                if (m_nextWalk)
                    std::exchange(m_nextWalk, nullptr)();
            }
            pump();
        });
}

void KeepingQueue::pause()
{
    if (m_progress.paused || !m_failure.isEmpty())
        return;
    m_progress.paused = true;
    emit changed();
    ask([](PageStore &file) -> std::optional<QueueProgress> {
        if (!file.queue().setPaused(true))
            return std::nullopt;
        return file.queue().progress();
    });
}

void KeepingQueue::resume()
{
    if (!m_progress.paused || !m_failure.isEmpty())
        return;
    m_progress.paused = false;
    m_exhausted = false;
    emit changed();
    ask(
        [](PageStore &file) -> std::optional<QueueProgress> {
            if (!file.queue().setPaused(false))
                return std::nullopt;
            return file.queue().progress();
        },
        [this](bool) { pump(); });
    pump();
}

void KeepingQueue::stop()
{
    m_walk.reset();
    m_walkBatch.clear();
    m_nextWalk = nullptr;
    abandonAll();
    m_buffer.clear();
    m_pageWaits.clear();
    ++m_generation;
    m_progress = {0, 0, 0, false, false, true};
    emit changed();
    // Stopped, the library's pages are not asked for again on the next start either.
    ask([](PageStore &file) -> std::optional<QueueProgress> {
        if (!file.queue().clear() || !file.queue().setSeeded())
            return std::nullopt;
        return file.queue().progress();
    });
}

void KeepingQueue::abandonAll()
{
    for (const Running &running : std::as_const(m_running))
        delete running.context;
    m_running.clear();
    m_busyHosts.clear();
}

void KeepingQueue::waitForIdle()
{
    m_worker->waitForIdle();
}

bool KeepingQueue::isActive() const
{
    return m_loaded && m_failure.isEmpty() && !m_progress.paused && !m_onHold;
}

bool KeepingQueue::hostFree(const QString &host) const
{
    if (m_busyHosts.contains(host))
        return false;
    const auto wait = m_waits.constFind(host);
    return wait == m_waits.constEnd() || wait->until.hasExpired();
}

void KeepingQueue::pump()
{
    if (!isActive())
        return;
    while (m_running.size() < m_limits.maxInFlight) {
        const auto next = std::find_if(m_buffer.begin(), m_buffer.end(),
                                       [this](const QueuedPage &p) { return hostFree(p.host); });
        if (next == m_buffer.end())
            break;
        const QueuedPage page = *next;
        m_buffer.erase(next);
        launch(page);
    }
    if (m_running.size() < m_limits.maxInFlight && !m_loading && !m_exhausted)
        refill();
    scheduleWake();
}

void KeepingQueue::refill()
{
    // Sites busy, resting or already with pages in hand are passed over, and so are the
    // pages in hand.
    QSet<QString> skipHosts = m_busyHosts;
    for (auto wait = m_waits.cbegin(); wait != m_waits.cend(); ++wait) {
        if (!wait->until.hasExpired())
            skipHosts.insert(wait.key());
    }
    QSet<QUuid> skipItems;
    for (const QueuedPage &page : m_buffer) {
        skipHosts.insert(page.host);
        skipItems.insert(page.itemId);
    }
    for (auto running = m_running.cbegin(); running != m_running.cend(); ++running)
        skipItems.insert(running.key());
    m_loading = true;
    auto found = std::make_shared<std::vector<QueuedPage>>();
    ask(
        [found, skipHosts, skipItems](PageStore &file) -> std::optional<QueueProgress> {
            auto pages = file.queue().next(refillPages, refillPerHost, skipHosts, skipItems);
            if (!pages)
                return std::nullopt;
            *found = std::move(*pages);
            return file.queue().progress();
        },
        [this, found, generation = m_generation](bool ok) {
            m_loading = false;
            if (!ok)
                return;
            // Read before pages left the list from outside: they may no longer be on it.
            if (generation != m_generation) {
                pump();
                return;
            }
            m_exhausted = found->empty();
            for (QueuedPage &page : *found) {
                if (!m_running.contains(page.itemId))
                    m_buffer.push_back(std::move(page));
            }
            pump();
        });
}

void KeepingQueue::launch(const QueuedPage &page)
{
    const Item *item = m_store.item(page.itemId);
    const QUrl url = item ? item->url() : QUrl();
    const bool keep = m_keepCopies && !page.hasCopy;
    // Gone, no longer a web page, or nothing left to do for it.
    if (!HttpDownload::isFetchable(url) || (page.task == PageTask::Keep && !keep)) {
        finishPage(page.itemId);
        return;
    }
    const QString host = hostOf(url);
    if (host != page.host && !hostFree(host)) {
        // Its address moved to a site that is busy: it waits for that one instead.
        QueuedPage moved = page;
        moved.host = host;
        m_buffer.push_back(moved);
        return;
    }
    auto *context = new QObject(this);
    m_running.insert(page.itemId, {host, context});
    m_busyHosts.insert(host);
    const QUuid id = page.itemId;
    PageFetch::run(
        m_metadata, &m_pages, id, url, keep ? PageFetch::Copy::Keep : PageFetch::Copy::Skip,
        context, [this, id] { return m_store.item(id) != nullptr; },
        [this, id, page](const PageOutcome &outcome) { completed(id, page, outcome.served); });
}

void KeepingQueue::completed(const QUuid &itemId, const QueuedPage &page, const ServedPage &served)
{
    const auto running = m_running.constFind(itemId);
    if (running == m_running.constEnd())
        return;
    const QString host = running->host;
    running->context->deleteLater();
    m_running.erase(running);
    m_busyHosts.remove(host);
    const int answer = PageFetch::answerOf(served);
    if (answer == 429 || answer == 503) {
        strike(host, served.retryAfter);
        // It keeps its place, unless the site has put it off too often.
        if (++m_pageWaits[itemId] <= m_limits.waitsPerPage) {
            QueuedPage again = page;
            again.host = host;
            m_buffer.push_front(again);
            hostFreed(host);
            pump();
            return;
        }
    } else if (answer == FetchAnswer::NoAnswer) {
        // Timed out or refused: a site that cannot answer now rests, and its other pages
        // make way for other sites.
        strike(host, {});
    } else {
        m_waits.remove(host);
    }
    m_pageWaits.remove(itemId);
    hostFreed(host);
    finishPage(itemId);
    pump();
}

void KeepingQueue::strike(const QString &host, const QByteArray &retryAfter)
{
    HostWait &wait = m_waits[host];
    ++wait.strikes;
    wait.until = QDeadlineTimer(
        HostBackoff::waitMs(wait.strikes, retryAfter, Clock::now(), m_limits.backoff));
}

void KeepingQueue::hostFreed(const QString &host)
{
    // Its pages beyond those in hand become eligible again.
    const bool inHand = std::any_of(m_buffer.begin(), m_buffer.end(),
                                    [&host](const QueuedPage &p) { return p.host == host; });
    if (!inHand)
        m_exhausted = false;
}

void KeepingQueue::finishPage(const QUuid &itemId)
{
    ask([itemId](PageStore &file) -> std::optional<QueueProgress> {
        if (!file.queue().finish(itemId))
            return std::nullopt;
        return file.queue().progress();
    });
}

void KeepingQueue::scheduleWake()
{
    std::optional<qint64> soonest;
    for (const HostWait &wait : std::as_const(m_waits)) {
        if (!wait.until.hasExpired())
            soonest =
                std::min(soonest.value_or(wait.until.remainingTime()), wait.until.remainingTime());
    }
    if (soonest && isActive())
        m_wake.start(int(std::min<qint64>(*soonest + 5, 24 * 60 * 60 * 1000)));
    else
        m_wake.stop();
}

} // namespace quillory
