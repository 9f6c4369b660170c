#include <pages/KeptPages.h>

#include <pages/PageWorker.h>

#include <html/HtmlDecoding.h>
#include <model/Clock.h>
#include <readable/ReadableExtractor.h>

#include <QPointer>
#include <QUrl>
#include <cstdio>

namespace quillory {

namespace {

ReadableText readableOf(const QByteArray &page, const QByteArray &contentType, bool truncated,
                        const QString &address)
{
    const QString html = HtmlDecoding::decodePage(page, contentType, truncated);
    return ReadableExtractor::extract(html, QUrl(address));
}

} // namespace

KeptPages::KeptPages(QString storePath, QObject *parent)
    : QObject(parent), m_writer(std::make_unique<PageWorker>(storePath)),
      m_reader(std::make_unique<PageWorker>(storePath))
{
    // The writer makes the tables; the reader must not race it to make them.
    m_writer->post([](PageStore *) {});
    m_writer->waitForIdle();
}

KeptPages::~KeptPages() = default;

template <typename Result>
void KeptPages::ask(PageWorker &worker, const QObject *context,
                    std::function<Result(PageStore *)> work, std::function<void(Result)> done)
{
    QPointer<const QObject> receiver(context);
    worker.post([this, &worker, receiver, work = std::move(work),
                 done = std::move(done)](PageStore *store) mutable {
        Result result = work(store);
        const QString reason = store ? QString() : worker.failure().message;
        // The context is checked on the interface thread, where it is destroyed.
        deliverLater(
            [this, receiver, reason, result = std::move(result), done = std::move(done)]() mutable {
                if (!reason.isEmpty())
                    reportUnavailable(reason);
                if (receiver && done)
                    done(std::move(result));
            });
    });
}

void KeptPages::deliverLater(std::function<void()> answer)
{
    bool first = false;
    {
        const std::lock_guard lock(m_answersMutex);
        first = m_answers.empty();
        m_answers.push_back(std::move(answer));
    }
    // Posted to this object, which outlives its workers; one wake-up serves every answer
    // that arrives before it is handled.
    if (first)
        QMetaObject::invokeMethod(this, "deliver", Qt::QueuedConnection);
}

void KeptPages::deliver()
{
    std::vector<std::function<void()>> answers;
    {
        const std::lock_guard lock(m_answersMutex);
        answers.swap(m_answers);
    }
    for (std::function<void()> &answer : answers)
        answer();
}

void KeptPages::reportUnavailable(const QString &reason)
{
    if (std::exchange(m_reportedUnavailable, true))
        return;
    emit unavailable(reason);
}

void KeptPages::keep(const QUuid &itemId, ServedCopy served)
{
    // What went wrong, or nothing.
    ask<std::optional<QString>>(
        *m_writer, this,
        [itemId, served = std::move(served)](PageStore *store) -> std::optional<QString> {
            if (store == nullptr)
                return QString();
            const ReadableText readable =
                readableOf(served.page, served.contentType, served.truncated, served.finalUrl);
            const KeptCopy copy{served.fetchedAt, served.finalUrl,      served.httpStatus,
                                served.page,      readable.plainText(), served.contentType};
            StoreFailure failure;
            if (!store->keep(itemId, copy, &failure))
                return failure.message;
            return std::nullopt;
        },
        [this, itemId](std::optional<QString> failure) {
            if (!failure) {
                emit kept(itemId);
            } else if (!failure->isEmpty()) {
                const QByteArray line = "Could not keep a page: " + failure->toUtf8() + '\n';
                std::fputs(line.constData(), stderr);
            }
        });
}

void KeptPages::recordAnswer(const QUuid &itemId, int answer)
{
    m_writer->post([itemId, answer](PageStore *store) {
        if (store)
            store->recordAnswer(itemId, answer);
    });
}

void KeptPages::remove(const QList<QUuid> &itemIds)
{
    ask<bool>(
        *m_writer, this,
        [itemIds](PageStore *store) { return store != nullptr && store->remove(itemIds); },
        [this](bool) { emit removed(); });
}

void KeptPages::removeAll(const QObject *context, std::function<void(bool)> done)
{
    QPointer<const QObject> receiver(context);
    ask<bool>(
        *m_writer, this, [](PageStore *store) { return store != nullptr && store->removeAll(); },
        [this, receiver, done = std::move(done)](bool ok) {
            emit removed();
            if (receiver && done)
                done(ok);
        });
}

void KeptPages::read(const QUuid &itemId, const QObject *context,
                     std::function<void(std::optional<KeptReading>)> done)
{
    ask<std::optional<KeptReading>>(
        *m_reader, context,
        [itemId](PageStore *store) -> std::optional<KeptReading> {
            if (store == nullptr)
                return std::nullopt;
            const std::optional<KeptCopy> copy = store->read(itemId);
            if (!copy)
                return std::nullopt;
            return KeptReading{copy->fetchedAt, copy->finalUrl, copy->httpStatus,
                               readableOf(copy->page, copy->contentType, false, copy->finalUrl)};
        },
        std::move(done));
}

void KeptPages::search(const QString &text, int limit, const QObject *context,
                       std::function<void(std::vector<PageMatch>)> done)
{
    const quint64 mine = ++m_latestSearch;
    ask<std::vector<PageMatch>>(
        *m_reader, context,
        [this, mine, text, limit](PageStore *store) {
            if (store == nullptr || m_latestSearch.load() != mine)
                return std::vector<PageMatch>();
            return store->search(text, limit).value_or(std::vector<PageMatch>());
        },
        [this, mine, done = std::move(done)](std::vector<PageMatch> found) {
            if (m_latestSearch.load() == mine)
                done(std::move(found));
        });
}

void KeptPages::totalSize(const QObject *context, std::function<void(std::optional<qint64>)> done)
{
    ask<std::optional<qint64>>(
        *m_reader, context,
        [](PageStore *store) { return store ? store->totalSize() : std::nullopt; },
        std::move(done));
}

void KeptPages::itemsWithCopies(const QObject *context, std::function<void(QSet<QUuid>)> done)
{
    ask<QSet<QUuid>>(
        *m_reader, context,
        [](PageStore *store) {
            return store ? store->itemsWithCopies().value_or(QSet<QUuid>()) : QSet<QUuid>();
        },
        std::move(done));
}

void KeptPages::hasCopy(const QUuid &itemId, const QObject *context, std::function<void(bool)> done)
{
    ask<bool>(
        *m_reader, context,
        [itemId](PageStore *store) { return store && store->hasCopy(itemId).value_or(false); },
        std::move(done));
}

void KeptPages::health(const QUuid &itemId, const QObject *context,
                       std::function<void(LinkHealth)> done)
{
    ask<LinkHealth>(
        *m_reader, context,
        [itemId](PageStore *store) {
            if (store == nullptr)
                return LinkHealth();
            return LinkHealth::of(store->answers(itemId).value_or(std::vector<FetchAnswer>()));
        },
        std::move(done));
}

void KeptPages::brokenLinks(const QObject *context,
                            std::function<void(std::vector<BrokenLink>)> done)
{
    ask<std::vector<BrokenLink>>(
        *m_reader, context,
        [](PageStore *store) {
            return store ? store->brokenLinks().value_or(std::vector<BrokenLink>())
                         : std::vector<BrokenLink>();
        },
        std::move(done));
}

void KeptPages::waitForIdle()
{
    m_writer->waitForIdle();
    m_reader->waitForIdle();
}

} // namespace quillory
