#pragma once

#include <model/StoreFailure.h>
#include <pages/LinkHealth.h>
#include <pages/PageQueue.h>
#include <pages/PageRanking.h>

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quillory {

class SqliteDatabase;
class SqliteStatement;

// What one fetch of a page left to keep.
struct KeptCopy
{
    qint64 fetchedAt = 0; // milliseconds since 1970 UTC
    QString finalUrl;     // after redirects
    int httpStatus = 0;
    QByteArray page;        // as served
    QString text;           // its readable text
    QByteArray contentType; // as the server declared it; cut at contentTypeLimit
};

// A kept page whose text holds every word of a query.
struct PageMatch
{
    QUuid itemId;
    QString snippet; // a few words around the matches
    // Where the query's words stand in the snippet: start and length.
    QList<std::pair<qsizetype, qsizetype>> marks;
};

// A link that has died, as its answers tell.
struct BrokenLink
{
    QUuid itemId;
    std::optional<qint64> lastSeenAlive;
    bool hasCopy = false;
};

// The kept copies of web pages, in the library's store file but apart from the item rows,
// through a connection of its own: nothing here is read when the library opens, and a
// worker thread can keep, read and search copies while the interface thread saves items.
// One thread at a time may use an object; it may be made on one thread and used on another.
class PageStore final
{
public:
    static constexpr qint64 maxPageBytes = 10 * 1024 * 1024;
    // Readable text beyond this is cut: indexing it would hold the file's write lock long
    // enough to make the library's own saves wait.
    static constexpr qint64 maxTextBytes = 2 * 1024 * 1024;
    static constexpr int answersKept = 6;
    static constexpr qsizetype contentTypeLimit = 200;

    // Opens the store file the library uses, sets up or upgrades the page tables. Null, with
    // `failure` set, when the copies cannot be used; the library is untouched then.
    static std::unique_ptr<PageStore> open(const QString &storePath, StoreFailure *failure);
    ~PageStore();
    PageStore(const PageStore &) = delete;
    PageStore &operator=(const PageStore &) = delete;

    // Replaces any copy kept for the item. A page or text over its limit is cut to it, and
    // control characters other than tabs and line breaks are left out of the text.
    bool keep(const QUuid &itemId, const KeptCopy &copy, StoreFailure *failure = nullptr);
    // Nothing, without a failure, when the item has no copy.
    std::optional<KeptCopy> read(const QUuid &itemId, StoreFailure *failure = nullptr);
    // For an item leaving the library: its copy and its fetches' answers.
    bool remove(const QUuid &itemId, StoreFailure *failure = nullptr);
    // Many items in one transaction: deleting a thousand costs one commit, not a thousand.
    bool remove(const QList<QUuid> &itemIds, StoreFailure *failure = nullptr);
    // Every copy, and the pages waiting only to be kept; the answers stay, as they are about
    // the links.
    bool removeAll(StoreFailure *failure = nullptr);
    // Bytes the copies and their index take in the file.
    std::optional<qint64> totalSize(StoreFailure *failure = nullptr);
    std::optional<QSet<QUuid>> itemsWithCopies(StoreFailure *failure = nullptr);
    std::optional<bool> hasCopy(const QUuid &itemId, StoreFailure *failure = nullptr);

    // The kept pages holding every word the person typed, best first by bm25, at most
    // `limit` of them (1 to 1,000).
    std::optional<std::vector<PageMatch>> search(const QString &userText, int limit,
                                                 StoreFailure *failure = nullptr);

    // Notes what a fetch of the item's address answered, at Clock's now; the last
    // `answersKept` are kept, and the last answer from the page itself however old.
    bool recordAnswer(const QUuid &itemId, int answer, StoreFailure *failure = nullptr);
    std::optional<std::vector<FetchAnswer>> answers(const QUuid &itemId,
                                                    StoreFailure *failure = nullptr);
    // Every item whose answers say its link is broken, in no particular order.
    std::optional<std::vector<BrokenLink>> brokenLinks(StoreFailure *failure = nullptr);

    // The pages waiting to be kept or checked.
    PageQueue &queue() { return *m_queue; }

private:
    PageStore();
    bool prepareStatements(StoreFailure *failure);
    bool transaction(StoreFailure *failure, const std::function<bool()> &work);
    bool removeCopy(const QString &id);
    struct Frames
    {
        QByteArray plainText;
        QByteArray text;
        QByteArray page;
        qint64 pageSize = 0;
    };
    bool writeCopy(const QString &id, const KeptCopy &copy, const Frames &frames);
    bool failed(StoreFailure *failure);

    std::unique_ptr<SqliteDatabase> m_db;
    struct Statements;
    std::unique_ptr<Statements> m_s;
    std::unique_ptr<PageQueue> m_queue;
    PageRanking m_ranking;
};

} // namespace quillory
