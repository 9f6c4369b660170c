#include <pages/PageQueue.h>

#include <model/SqliteDatabase.h>
#include <model/SqliteStatement.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <sqlite3.h>

namespace quillory {

namespace {

QString idText(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

bool run(SqliteStatement &s)
{
    s.step();
    const bool ok = !s.failed();
    s.reset();
    return ok;
}

QString jsonList(const QStringList &values)
{
    return QString::fromUtf8(
        QJsonDocument(QJsonArray::fromStringList(values)).toJson(QJsonDocument::Compact));
}

const char *const totalKey = "queue_total";
const char *const doneKey = "queue_done";
const char *const checkingKey = "queue_checking";
const char *const pausedKey = "queue_paused";
const char *const seededKey = "queue_seeded";

} // namespace

struct PageQueue::Statements
{
    SqliteStatement insert;
    SqliteStatement upgrade;
    SqliteStatement next;
    SqliteStatement remove;
    SqliteStatement count;
    SqliteStatement get;
    SqliteStatement put;
};

PageQueue::PageQueue(SqliteDatabase &db) : m_db(db)
{
}

PageQueue::~PageQueue() = default;

bool PageQueue::prepare(StoreFailure *failure)
{
    m_s = std::make_unique<Statements>();
    Statements &s = *m_s;
    s.insert =
        m_db.prepare("INSERT OR IGNORE INTO page_queue(item_id, host, task) SELECT ?1, ?2, ?3"
                     " WHERE NOT ?4 OR NOT EXISTS (SELECT 1 FROM page_copies WHERE item_id = ?1)");
    s.upgrade = m_db.prepare("UPDATE page_queue SET task = ?2 WHERE item_id = ?1 AND task < ?2");
    // The window numbers each site's pages, so that one site with thousands of pages does
    // not fill the list the other sites are picked from.
    s.next = m_db.prepare("SELECT q.item_id, q.host, q.task,"
                          " EXISTS (SELECT 1 FROM page_copies c WHERE c.item_id = q.item_id)"
                          " FROM (SELECT seq, item_id, host, task,"
                          " row_number() OVER (PARTITION BY host ORDER BY seq) AS n FROM page_queue"
                          " WHERE host NOT IN (SELECT value FROM json_each(?1))"
                          " AND item_id NOT IN (SELECT value FROM json_each(?2))) AS q"
                          " WHERE q.n <= ?3 ORDER BY q.seq LIMIT ?4");
    s.remove = m_db.prepare("DELETE FROM page_queue WHERE item_id = ?");
    s.count = m_db.prepare("SELECT count(*) FROM page_queue");
    s.get = m_db.prepare("SELECT value FROM page_info WHERE key = ?");
    s.put = m_db.prepare("INSERT OR REPLACE INTO page_info(key, value) VALUES(?, ?)");
    for (const SqliteStatement *statement :
         {&s.insert, &s.upgrade, &s.next, &s.remove, &s.count, &s.get, &s.put}) {
        if (!statement->isValid())
            return failed(failure);
    }
    return true;
}

bool PageQueue::failed(StoreFailure *failure)
{
    return m_db.fail(failure);
}

bool PageQueue::transaction(StoreFailure *failure, const std::function<bool()> &work)
{
    return m_db.writeTransaction(failure, work);
}

bool PageQueue::put(const char *key, qint64 value)
{
    m_s->put.reset();
    m_s->put.bind(1, QString::fromLatin1(key));
    m_s->put.bind(2, QString::number(value));
    return run(m_s->put);
}

bool PageQueue::add(const std::vector<Entry> &entries, PageTask task, bool withoutCopyOnly,
                    StoreFailure *failure)
{
    if (entries.empty())
        return true;
    const std::optional<QueueProgress> before = progress(failure);
    if (!before)
        return false;
    return transaction(failure, [&] {
        Statements &s = *m_s;
        qint64 added = 0;
        bool upgraded = false;
        for (const Entry &entry : entries) {
            const QString id = idText(entry.itemId);
            s.insert.reset();
            s.insert.bind(1, id);
            s.insert.bind(2, entry.host);
            s.insert.bind(3, qint64(task));
            s.insert.bind(4, qint64(withoutCopyOnly ? 1 : 0));
            if (!run(s.insert))
                return false;
            if (sqlite3_changes(m_db.handle()) > 0) {
                ++added;
                continue;
            }
            s.upgrade.reset();
            s.upgrade.bind(1, id);
            s.upgrade.bind(2, qint64(task));
            if (!run(s.upgrade))
                return false;
            upgraded = upgraded || sqlite3_changes(m_db.handle()) > 0;
        }
        // A list that ran empty starts a new run.
        const bool fresh = before->waiting == 0;
        const bool checking = task == PageTask::Check && (added > 0 || upgraded);
        return put(totalKey, (fresh ? 0 : before->total) + added) &&
               put(doneKey, fresh ? 0 : before->done) &&
               put(checkingKey, (checking || (!fresh && before->checking)) ? 1 : 0);
    });
}

std::optional<std::vector<QueuedPage>> PageQueue::next(int limit, int perHost,
                                                       const QSet<QString> &skipHosts,
                                                       const QSet<QUuid> &skipItems,
                                                       StoreFailure *failure)
{
    QStringList items;
    items.reserve(skipItems.size());
    for (const QUuid &id : skipItems)
        items.append(idText(id));
    SqliteStatement &s = m_s->next;
    s.reset();
    s.bind(1, jsonList(QStringList(skipHosts.cbegin(), skipHosts.cend())));
    s.bind(2, jsonList(items));
    s.bind(3, qint64(std::max(perHost, 1)));
    s.bind(4, qint64(std::clamp(limit, 1, 1000)));
    std::vector<QueuedPage> pages;
    while (s.step()) {
        const QUuid id = QUuid::fromString(s.text(0));
        if (id.isNull())
            continue;
        const PageTask task =
            s.int64(2) == qint64(PageTask::Check) ? PageTask::Check : PageTask::Keep;
        pages.push_back({id, s.text(1).left(300), task, s.int64(3) != 0});
    }
    const bool ok = !s.failed();
    if (!ok)
        failed(failure);
    s.reset();
    if (!ok)
        return std::nullopt;
    return pages;
}

bool PageQueue::finish(const QUuid &itemId, StoreFailure *failure)
{
    const std::optional<QueueProgress> before = progress(failure);
    if (!before)
        return false;
    return transaction(failure, [&] {
        m_s->remove.reset();
        m_s->remove.bind(1, idText(itemId));
        if (!run(m_s->remove))
            return false;
        if (sqlite3_changes(m_db.handle()) == 0)
            return true;
        if (before->waiting <= 1)
            return put(totalKey, 0) && put(doneKey, 0) && put(checkingKey, 0);
        return put(doneKey, before->done + 1);
    });
}

bool PageQueue::clear(StoreFailure *failure)
{
    return transaction(failure, [&] {
        return m_db.exec("DELETE FROM page_queue") && put(totalKey, 0) && put(doneKey, 0) &&
               put(checkingKey, 0) && put(pausedKey, 0);
    });
}

bool PageQueue::setPaused(bool paused, StoreFailure *failure)
{
    return transaction(failure, [&] { return put(pausedKey, paused ? 1 : 0); });
}

bool PageQueue::setSeeded(StoreFailure *failure)
{
    return transaction(failure, [&] { return put(seededKey, 1); });
}

std::optional<QueueProgress> PageQueue::progress(StoreFailure *failure)
{
    Statements &s = *m_s;
    QueueProgress p;
    s.count.reset();
    if (!s.count.step()) {
        failed(failure);
        s.count.reset();
        return std::nullopt;
    }
    p.waiting = s.count.int64(0);
    s.count.reset();
    // The file may come from anywhere: a count that is no number, or a negative or absurd
    // one, reads as nothing done.
    const auto number = [&s](const char *key) -> qint64 {
        s.get.reset();
        s.get.bind(1, QString::fromLatin1(key));
        qint64 value = 0;
        if (s.get.step()) {
            bool ok = false;
            value = s.get.text(0).left(20).toLongLong(&ok);
            if (!ok || value < 0 || value > (qint64(1) << 40))
                value = 0;
        }
        s.get.reset();
        return value;
    };
    p.done = number(doneKey);
    p.total = std::max(number(totalKey), p.done + p.waiting);
    p.checking = number(checkingKey) != 0;
    p.paused = number(pausedKey) != 0;
    p.seeded = number(seededKey) != 0;
    return p;
}

} // namespace quillory
