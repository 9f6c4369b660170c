#pragma once

#include <pages/LinkHealth.h>
#include <pages/PageStore.h>
#include <readable/ReadableText.h>

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUuid>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace quillory {

class PageWorker;

// A page as one fetch served it, before its readable text is made.
struct ServedCopy
{
    qint64 fetchedAt = 0; // milliseconds since 1970 UTC
    QString finalUrl;
    int httpStatus = 0;
    QByteArray page;
    QByteArray contentType; // as the server declared it, for the page's character set
    bool truncated = false;
};

// A kept copy made ready to read: its readable text is made again from the page kept, so
// that headings and links come back as the page had them.
struct KeptReading
{
    qint64 fetchedAt = 0;
    QString finalUrl;
    int httpStatus = 0;
    ReadableText text;
};

// The kept copies for the interface thread. Every call returns at once; its work runs on
// one of two threads of this object's own, one writing (keeping, removing) and one reading
// (reading, searching, sizes), each with its own connection to the store file, so that a
// search never waits behind pages being kept. Answers come on the interface thread to a
// context object, and never once that object is destroyed.
class KeptPages final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KeptPages)

public:
    explicit KeptPages(QString storePath, QObject *parent = nullptr);
    // Waits for the work under way and drops what still waits.
    ~KeptPages() override;

    // Makes the page's readable text and keeps both, replacing any copy the item had.
    void keep(const QUuid &itemId, ServedCopy served);
    // A fetch's answer, as FetchAnswer counts them.
    void recordAnswer(const QUuid &itemId, int answer);
    void remove(const QList<QUuid> &itemIds);
    void removeAll(const QObject *context, std::function<void(bool removed)> done);

    void read(const QUuid &itemId, const QObject *context,
              std::function<void(std::optional<KeptReading>)> done);
    // A search still waiting when a newer one is asked for is dropped, its `done` never
    // called: a person typing wants the answer to what the field says now.
    void search(const QString &text, int limit, const QObject *context,
                std::function<void(std::vector<PageMatch>)> done);
    void totalSize(const QObject *context, std::function<void(std::optional<qint64>)> done);
    void itemsWithCopies(const QObject *context, std::function<void(QSet<QUuid>)> done);
    // False too when the copies cannot be read.
    void hasCopy(const QUuid &itemId, const QObject *context, std::function<void(bool)> done);
    void health(const QUuid &itemId, const QObject *context, std::function<void(LinkHealth)> done);
    void brokenLinks(const QObject *context, std::function<void(std::vector<BrokenLink>)> done);

    // Returns once everything asked before has run and its answers are queued.
    void waitForIdle();

signals:
    void kept(const QUuid &itemId);
    // After remove() and removeAll().
    void removed();
    // Once, the first time the copies cannot be opened; everything asked of them then
    // answers with nothing.
    void unavailable(const QString &reason);

private:
    template <typename Result>
    void ask(PageWorker &worker, const QObject *context, std::function<Result(PageStore *)> work,
             std::function<void(Result)> done);
    void reportUnavailable(const QString &reason);
    // Answers come back through a standard mutex rather than only Qt's event queue, so that
    // the thread checker sees the hand-over.
    void deliverLater(std::function<void()> answer);
    // Called by name: a queued call made with a functor would hand the thread checker an
    // object the worker made and Qt's uninstrumented queue passed on.
    Q_INVOKABLE void deliver();

    // Used by the workers' tasks, so these outlive the workers.
    std::atomic<quint64> m_latestSearch = 0;
    std::mutex m_answersMutex;
    std::vector<std::function<void()>> m_answers;
    std::unique_ptr<PageWorker> m_writer;
    std::unique_ptr<PageWorker> m_reader;
    bool m_reportedUnavailable = false;
};

} // namespace quillory
