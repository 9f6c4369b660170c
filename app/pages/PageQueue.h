#pragma once

#include <model/StoreFailure.h>

#include <QSet>
#include <QString>
#include <QUuid>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quillory {

class SqliteDatabase;

// What a waiting page is fetched for. A check also keeps a copy when the item has none.
enum class PageTask : int { Keep = 0, Check = 1 };

struct QueuedPage
{
    QUuid itemId;
    QString host; // as it was when the page was asked for
    PageTask task = PageTask::Keep;
    bool hasCopy = false;
};

// Where the waiting list stands. The counts are those of the run under way: everything
// asked for since the list was last empty.
struct QueueProgress
{
    qint64 waiting = 0;
    qint64 total = 0;
    qint64 done = 0;
    bool checking = false; // the run holds link checks
    bool paused = false;
    bool seeded = false; // the library's pages without a copy were asked for once

    bool operator==(const QueueProgress &) const = default;
};

// The pages waiting to be kept or checked, in the library's store file so that the list
// survives a restart. Part of PageStore: same connection, same thread.
class PageQueue final
{
public:
    struct Entry
    {
        QUuid itemId;
        QString host;
    };

    explicit PageQueue(SqliteDatabase &db);
    ~PageQueue();
    PageQueue(const PageQueue &) = delete;
    PageQueue &operator=(const PageQueue &) = delete;

    bool prepare(StoreFailure *failure);

    // In one transaction. A page already waiting stays in its place; asked to be checked,
    // it is checked. With `withoutCopyOnly`, pages that have a copy are left out.
    bool add(const std::vector<Entry> &entries, PageTask task, bool withoutCopyOnly,
             StoreFailure *failure = nullptr);
    // The first `limit` pages in order, at most `perHost` of each site, passing over the
    // sites and items named.
    std::optional<std::vector<QueuedPage>> next(int limit, int perHost,
                                                const QSet<QString> &skipHosts,
                                                const QSet<QUuid> &skipItems,
                                                StoreFailure *failure = nullptr);
    // The page is off the list and counts as done; the counts start again once it is empty.
    bool finish(const QUuid &itemId, StoreFailure *failure = nullptr);
    // Everything off the list, counts and pause included.
    bool clear(StoreFailure *failure = nullptr);
    bool setPaused(bool paused, StoreFailure *failure = nullptr);
    bool setSeeded(StoreFailure *failure = nullptr);
    std::optional<QueueProgress> progress(StoreFailure *failure = nullptr);

private:
    bool transaction(StoreFailure *failure, const std::function<bool()> &work);
    bool put(const char *key, qint64 value);
    bool failed(StoreFailure *failure);

    SqliteDatabase &m_db;
    struct Statements;
    std::unique_ptr<Statements> m_s;
};

} // namespace quillory
