#include <pages/PageStore.h>

#include <model/Clock.h>
#include <model/SqliteDatabase.h>
#include <model/SqliteStatement.h>
#include <pages/PageCompression.h>
#include <pages/PageQuery.h>
#include <pages/PageSchema.h>

#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <sqlite3.h>

namespace quillory {

namespace {

QString idText(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

// The view page_text_source reads the text through this. Marked innocuous, as views may
// only call such functions on a connection that does not trust the file's schema: it reads
// its argument and nothing else, and what it makes is bounded by maxTextBytes.
void textOf(sqlite3_context *context, int, sqlite3_value **values)
{
    if (sqlite3_value_type(values[0]) != SQLITE_BLOB) {
        sqlite3_result_null(context);
        return;
    }
    const auto *bytes = static_cast<const char *>(sqlite3_value_blob(values[0]));
    const QByteArrayView frame(bytes, sqlite3_value_bytes(values[0]));
    const std::optional<QByteArray> text =
        PageCompression::decompress(frame, PageStore::maxTextBytes);
    if (!text)
        sqlite3_result_null(context);
    else
        sqlite3_result_text64(context, text->constData(), sqlite3_uint64(text->size()),
                              SQLITE_TRANSIENT, SQLITE_UTF8);
}

// The text as stored: UTF-8 within the limit, cut between characters, without control
// characters other than tabs and line breaks (so the marks snippets carry are unambiguous).
QByteArray storedText(const QString &text)
{
    QString clean = text;
    clean.removeIf(
        [](QChar c) { return c.category() == QChar::Other_Control && c != u'\n' && c != u'\t'; });
    QByteArray utf8 = clean.toUtf8();
    if (utf8.size() > PageStore::maxTextBytes) {
        qsizetype cut = PageStore::maxTextBytes;
        while (cut > 0 && (uchar(utf8[cut]) & 0xc0) == 0x80)
            --cut;
        utf8.truncate(cut);
    }
    return utf8;
}

const char markStart = '\x02';
const char markEnd = '\x03';

PageMatch matchOf(const QUuid &itemId, std::string_view marked)
{
    PageMatch match{itemId, {}, {}};
    qsizetype start = -1;
    const auto flush = [&match](std::string_view run) {
        match.snippet += QString::fromUtf8(run.data(), qsizetype(run.size()));
    };
    size_t from = 0;
    for (size_t at = 0; at < marked.size(); ++at) {
        if (marked[at] != markStart && marked[at] != markEnd)
            continue;
        flush(marked.substr(from, at - from));
        from = at + 1;
        if (marked[at] == markStart)
            start = match.snippet.size();
        else if (start >= 0) {
            match.marks.append({start, match.snippet.size() - start});
            start = -1;
        }
    }
    flush(marked.substr(from));
    return match;
}

} // namespace

struct PageStore::Statements
{
    SqliteStatement findDoc;
    SqliteStatement unindex;
    SqliteStatement index;
    SqliteStatement insertBody;
    SqliteStatement insertCopy;
    SqliteStatement deleteBody;
    SqliteStatement deleteCopy;
    SqliteStatement deleteAnswers;
    SqliteStatement read;
    SqliteStatement search;
    SqliteStatement snippet;
    SqliteStatement putAnswer;
    SqliteStatement trimAnswers;
    SqliteStatement answers;
};

PageStore::PageStore() : m_db(std::make_unique<SqliteDatabase>())
{
}

PageStore::~PageStore() = default;

std::unique_ptr<PageStore> PageStore::open(const QString &storePath, StoreFailure *failure)
{
    if (failure)
        *failure = {};
    // Opening creates a missing file; the copies never make a library of their own.
    if (!QFileInfo(storePath).isFile()) {
        if (failure)
            *failure = {StoreFailure::Cause::InputOutput,
                        QStringLiteral("There is no library store at %1.").arg(storePath)};
        return nullptr;
    }
    std::unique_ptr<PageStore> store(new PageStore);
    SqliteDatabase &db = *store->m_db;
    QString error;
    if (!db.open(storePath, SqliteDatabase::Mode::ReadWrite, &error) &&
        !db.open(storePath, SqliteDatabase::Mode::ReadOnly, &error)) {
        if (failure)
            *failure = {StoreFailure::causeOf(db.lastErrorCode()), error};
        return nullptr;
    }
    // A worker may wait longer than the window does for the library's saves to finish.
    sqlite3_busy_timeout(db.handle(), 2000);
    if (sqlite3_create_function_v2(db.handle(), "page_text_of", 1,
                                   SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                   &textOf, nullptr, nullptr, nullptr) != SQLITE_OK ||
        !PageSchema::prepare(db, failure) || !store->m_ranking.install(db.handle())) {
        if (failure && failure->message.isEmpty())
            store->failed(failure);
        return nullptr;
    }
    // The schema is now exactly ours, so its one view may be used. A copy lost to a power cut
    // is fetched again, so commits need not wait for the disk (the write-ahead log keeps the
    // file whole either way). A common word's position lists fill a few megabytes of pages.
    if (sqlite3_db_config(db.handle(), SQLITE_DBCONFIG_ENABLE_VIEW, 1, nullptr) != SQLITE_OK ||
        (!db.isReadOnly() &&
         !db.exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA cache_size=-8192")) ||
        !store->prepareStatements(failure)) {
        if (failure && failure->message.isEmpty())
            store->failed(failure);
        return nullptr;
    }
    store->m_queue = std::make_unique<PageQueue>(db);
    if (!store->m_queue->prepare(failure))
        return nullptr;
    return store;
}

bool PageStore::prepareStatements(StoreFailure *failure)
{
    m_s = std::make_unique<Statements>();
    Statements &s = *m_s;
    s.findDoc = m_db->prepare("SELECT doc FROM page_copies WHERE item_id = ?");
    s.unindex = m_db->prepare("INSERT INTO page_text(page_text, rowid, body)"
                              " SELECT 'delete', doc, body FROM page_text_source WHERE doc = ?");
    s.index = m_db->prepare("INSERT INTO page_text(rowid, body) VALUES(?, CAST(? AS TEXT))");
    s.insertBody = m_db->prepare("INSERT INTO page_bodies(text, page) VALUES(?, ?)");
    s.insertCopy = m_db->prepare(
        "INSERT INTO page_copies(fetched_at, final_url, http_status, page_size, text_size,"
        " stored_size, doc, item_id, content_type) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)");
    s.deleteBody = m_db->prepare("DELETE FROM page_bodies WHERE doc = ?");
    s.deleteCopy = m_db->prepare("DELETE FROM page_copies WHERE doc = ?");
    s.deleteAnswers = m_db->prepare("DELETE FROM page_answers WHERE item_id = ?");
    s.read = m_db->prepare(
        "SELECT c.fetched_at, c.final_url, c.http_status, c.page_size, c.text_size, b.text, b.page,"
        " c.content_type FROM page_copies c JOIN page_bodies b ON b.doc = c.doc WHERE c.item_id = "
        "?");
    // Snippets are made afterwards, for the pages returned only.
    s.search =
        m_db->prepare("SELECT c.item_id, m.doc FROM (SELECT rowid AS doc, page_rank(page_text) AS r"
                      " FROM page_text WHERE page_text MATCH ? ORDER BY r, doc LIMIT ?) AS m"
                      " JOIN page_copies c ON c.doc = m.doc ORDER BY m.r, m.doc");
    // One pass over the matches between the first and last page chosen: a statement per
    // page would look every word up again each time. The unary plus keeps the list a filter
    // of this pass instead of one lookup per page.
    s.snippet = m_db->prepare(
        "SELECT rowid, snippet(page_text, 0, char(2), char(3), char(8230), 12) FROM page_text"
        " WHERE page_text MATCH ?1 AND rowid BETWEEN ?2 AND ?3"
        " AND +rowid IN (SELECT value FROM json_each(?4))");
    s.putAnswer =
        m_db->prepare("INSERT OR REPLACE INTO page_answers(item_id, at, answer) VALUES(?, ?, ?)");
    s.trimAnswers = m_db->prepare(
        "DELETE FROM page_answers WHERE item_id = ?1 AND at < (SELECT at FROM page_answers"
        " WHERE item_id = ?1 ORDER BY at DESC LIMIT 1 OFFSET ?2) AND at IS NOT (SELECT max(at)"
        " FROM page_answers WHERE item_id = ?1 AND answer BETWEEN 100 AND 499"
        " AND answer NOT IN (404, 410))");
    s.answers = m_db->prepare("SELECT at, answer FROM page_answers WHERE item_id = ? ORDER BY at");
    for (const SqliteStatement *statement :
         {&s.findDoc, &s.unindex, &s.index, &s.insertBody, &s.insertCopy, &s.deleteBody,
          &s.deleteCopy, &s.deleteAnswers, &s.read, &s.search, &s.snippet, &s.putAnswer,
          &s.trimAnswers, &s.answers}) {
        if (!statement->isValid())
            return failed(failure);
    }
    return true;
}

bool PageStore::failed(StoreFailure *failure)
{
    return m_db->fail(failure);
}

bool PageStore::transaction(StoreFailure *failure, const std::function<bool()> &work)
{
    return m_db->writeTransaction(failure, work);
}

// Runs a statement that returns no rows, leaving it ready for the next run.
namespace {

bool run(SqliteStatement &s)
{
    s.step();
    const bool ok = !s.failed();
    if (ok)
        s.reset();
    return ok;
}

} // namespace

bool PageStore::removeCopy(const QString &id)
{
    Statements &s = *m_s;
    s.findDoc.reset();
    s.findDoc.bind(1, id);
    if (!s.findDoc.step())
        return !s.findDoc.failed();
    const qint64 doc = s.findDoc.int64(0);
    s.findDoc.reset();
    m_ranking.forget(doc);
    // The index forgets the words it is told the row held, read through the view.
    for (SqliteStatement *statement : {&s.unindex, &s.deleteBody, &s.deleteCopy}) {
        statement->reset();
        statement->bind(1, doc);
        if (!run(*statement))
            return false;
    }
    return true;
}

bool PageStore::writeCopy(const QString &id, const KeptCopy &copy, const Frames &frames)
{
    Statements &s = *m_s;
    if (!removeCopy(id))
        return false;
    s.insertBody.reset();
    s.insertBody.bind(1, frames.text);
    s.insertBody.bind(2, frames.page);
    if (!run(s.insertBody))
        return false;
    const qint64 doc = sqlite3_last_insert_rowid(m_db->handle());
    m_ranking.forget(doc);
    SqliteStatement &c = s.insertCopy;
    c.reset();
    c.bind(1, copy.fetchedAt);
    c.bind(2, copy.finalUrl);
    c.bind(3, qint64(copy.httpStatus));
    c.bind(4, frames.pageSize);
    c.bind(5, qint64(frames.plainText.size()));
    c.bind(6, qint64(frames.text.size() + frames.page.size()));
    c.bind(7, doc);
    c.bind(8, id);
    // Only printable ASCII names a type; anything else is no declaration at all.
    const QByteArray type =
        copy.contentType.first(std::min(copy.contentType.size(), contentTypeLimit));
    const bool printable =
        std::all_of(type.begin(), type.end(), [](char ch) { return ch >= 0x20 && ch < 0x7f; });
    c.bind(9, printable ? QString::fromLatin1(type) : QString());
    if (!run(c))
        return false;
    s.index.reset();
    s.index.bind(1, doc);
    s.index.bind(2, frames.plainText);
    return run(s.index);
}

bool PageStore::keep(const QUuid &itemId, const KeptCopy &copy, StoreFailure *failure)
{
    // Compressed before the write lock is taken, which the library's saves wait for.
    Frames frames;
    frames.plainText = storedText(copy.text);
    const QByteArrayView page =
        QByteArrayView(copy.page).first(std::min<qsizetype>(copy.page.size(), maxPageBytes));
    frames.pageSize = page.size();
    frames.text = PageCompression::compress(frames.plainText);
    frames.page = PageCompression::compress(page, frames.plainText);
    if (frames.text.isEmpty() || frames.page.isEmpty()) {
        if (failure)
            *failure = {StoreFailure::Cause::Other,
                        QStringLiteral("The page could not be compressed.")};
        return false;
    }
    return transaction(failure, [&] { return writeCopy(idText(itemId), copy, frames); });
}

std::optional<KeptCopy> PageStore::read(const QUuid &itemId, StoreFailure *failure)
{
    SqliteStatement &r = m_s->read;
    r.reset();
    r.bind(1, idText(itemId));
    if (!r.step()) {
        if (r.failed())
            failed(failure);
        r.reset();
        return std::nullopt;
    }
    KeptCopy copy;
    copy.fetchedAt = r.int64(0);
    copy.finalUrl = r.text(1);
    copy.httpStatus = int(r.int64(2));
    copy.contentType = r.text(7).left(contentTypeLimit).toLatin1();
    const qint64 pageSize = r.int64(3);
    const qint64 textSize = r.int64(4);
    const std::string_view textFrame = r.blobView(5);
    const std::string_view pageFrame = r.blobView(6);
    // The sizes the row states bound what is decoded; a frame claiming another size is
    // damage, as is a size beyond the limits.
    const auto view = [](std::string_view v) {
        return QByteArrayView(v.data(), qsizetype(v.size()));
    };
    std::optional<QByteArray> text;
    std::optional<QByteArray> page;
    if (textSize >= 0 && textSize <= maxTextBytes && pageSize >= 0 && pageSize <= maxPageBytes) {
        text = PageCompression::decompress(view(textFrame), textSize);
        if (text && text->size() == textSize)
            page = PageCompression::decompress(view(pageFrame), pageSize, *text);
    }
    r.reset();
    if (!page || page->size() != pageSize) {
        if (failure)
            *failure = {
                StoreFailure::Cause::Damaged,
                QStringLiteral("The kept copy of this page is damaged and cannot be read.")};
        return std::nullopt;
    }
    copy.text = QString::fromUtf8(*text);
    copy.page = std::move(*page);
    return copy;
}

bool PageStore::remove(const QUuid &itemId, StoreFailure *failure)
{
    return remove(QList<QUuid>{itemId}, failure);
}

bool PageStore::remove(const QList<QUuid> &itemIds, StoreFailure *failure)
{
    return transaction(failure, [&] {
        for (const QUuid &itemId : itemIds) {
            const QString id = idText(itemId);
            m_s->deleteAnswers.reset();
            m_s->deleteAnswers.bind(1, id);
            if (!removeCopy(id) || !run(m_s->deleteAnswers))
                return false;
        }
        return true;
    });
}

bool PageStore::removeAll(StoreFailure *failure)
{
    m_ranking.forgetAll();
    return transaction(failure, [&] {
        // Pages waiting only to be kept would bring the copies back.
        return m_db->exec("INSERT INTO page_text(page_text) VALUES('delete-all');"
                          " DELETE FROM page_bodies; DELETE FROM page_copies;"
                          " DELETE FROM page_queue WHERE task = 0;");
    });
}

std::optional<qint64> PageStore::totalSize(StoreFailure *failure)
{
    // length() of a column reads only the row's header, not the bytes themselves.
    SqliteStatement s = m_db->prepare("SELECT (SELECT total(stored_size) FROM page_copies)"
                                      " + (SELECT total(length(block)) FROM page_text_data)"
                                      " + (SELECT total(length(sz)) FROM page_text_docsize)");
    if (!s.isValid() || !s.step()) {
        failed(failure);
        return std::nullopt;
    }
    return s.int64(0);
}

std::optional<QSet<QUuid>> PageStore::itemsWithCopies(StoreFailure *failure)
{
    SqliteStatement s = m_db->prepare("SELECT item_id FROM page_copies");
    QSet<QUuid> ids;
    while (s.step()) {
        const std::string_view v = s.textView(0);
        const QUuid id = QUuid::fromString(QLatin1StringView(v.data(), qsizetype(v.size())));
        if (!id.isNull())
            ids.insert(id);
    }
    if (!s.isValid() || s.failed()) {
        failed(failure);
        return std::nullopt;
    }
    return ids;
}

std::optional<bool> PageStore::hasCopy(const QUuid &itemId, StoreFailure *failure)
{
    SqliteStatement &s = m_s->findDoc;
    s.reset();
    s.bind(1, idText(itemId));
    const bool found = s.step();
    const bool broke = s.failed();
    s.reset();
    if (broke) {
        failed(failure);
        return std::nullopt;
    }
    return found;
}

std::optional<std::vector<PageMatch>> PageStore::search(const QString &userText, int limit,
                                                        StoreFailure *failure)
{
    std::vector<PageMatch> matches;
    const QString query = PageQuery::fromUserText(userText);
    if (query.isEmpty())
        return matches;
    m_ranking.refresh();
    SqliteStatement &s = m_s->search;
    s.reset();
    s.bind(1, query);
    s.bind(2, qint64(std::clamp(limit, 1, 1000)));
    std::vector<std::pair<QUuid, qint64>> docs;
    while (s.step()) {
        const std::string_view v = s.textView(0);
        const QUuid id = QUuid::fromString(QLatin1StringView(v.data(), qsizetype(v.size())));
        if (!id.isNull())
            docs.emplace_back(id, s.int64(1));
    }
    if (s.failed()) {
        failed(failure);
        s.reset();
        return std::nullopt;
    }
    s.reset();
    if (docs.empty())
        return matches;
    QHash<qint64, QByteArray> snippets;
    QByteArray list = "[";
    qint64 first = docs.front().second;
    qint64 last = first;
    for (const auto &[id, doc] : docs) {
        list += QByteArray::number(doc) + ',';
        first = std::min(first, doc);
        last = std::max(last, doc);
    }
    list.back() = ']';
    SqliteStatement &snippet = m_s->snippet;
    snippet.reset();
    snippet.bind(1, query);
    snippet.bind(2, first);
    snippet.bind(3, last);
    snippet.bind(4, QString::fromLatin1(list));
    while (snippet.step()) {
        const std::string_view text = snippet.textView(1);
        snippets.insert(snippet.int64(0), QByteArray(text.data(), qsizetype(text.size())));
    }
    const bool ok = !snippet.failed();
    if (!ok)
        failed(failure);
    snippet.reset();
    if (!ok)
        return std::nullopt;
    for (const auto &[id, doc] : docs) {
        const QByteArray text = snippets.value(doc);
        matches.push_back(matchOf(id, std::string_view(text.constData(), size_t(text.size()))));
    }
    return matches;
}

bool PageStore::recordAnswer(const QUuid &itemId, int answer, StoreFailure *failure)
{
    const QString id = idText(itemId);
    const qint64 at = Clock::nowMSecs();
    return transaction(failure, [&] {
        Statements &s = *m_s;
        s.putAnswer.reset();
        s.putAnswer.bind(1, id);
        s.putAnswer.bind(2, at);
        s.putAnswer.bind(3, qint64(answer));
        s.trimAnswers.reset();
        s.trimAnswers.bind(1, id);
        s.trimAnswers.bind(2, qint64(answersKept - 1));
        return run(s.putAnswer) && run(s.trimAnswers);
    });
}

std::optional<std::vector<FetchAnswer>> PageStore::answers(const QUuid &itemId,
                                                           StoreFailure *failure)
{
    SqliteStatement &s = m_s->answers;
    s.reset();
    s.bind(1, idText(itemId));
    std::vector<FetchAnswer> found;
    while (s.step())
        found.push_back({s.int64(0), int(std::clamp<qint64>(s.int64(1), INT_MIN, INT_MAX))});
    const bool ok = !s.failed();
    if (!ok)
        failed(failure);
    s.reset();
    if (!ok)
        return std::nullopt;
    return found;
}

std::optional<std::vector<BrokenLink>> PageStore::brokenLinks(StoreFailure *failure)
{
    // In the order of the answers' key, so each item's answers come together.
    SqliteStatement s =
        m_db->prepare("SELECT a.item_id, a.at, a.answer,"
                      " EXISTS (SELECT 1 FROM page_copies c WHERE c.item_id = a.item_id)"
                      " FROM page_answers a ORDER BY a.item_id, a.at");
    std::vector<BrokenLink> broken;
    QString current;
    bool hasCopy = false;
    std::vector<FetchAnswer> answers;
    const auto flush = [&] {
        if (answers.empty())
            return;
        const LinkHealth health = LinkHealth::of(std::move(answers));
        answers = {};
        const QUuid id = QUuid::fromString(current);
        if (health.state() == LinkHealth::State::Broken && !id.isNull())
            broken.push_back({id, health.lastSeenAlive(), hasCopy});
    };
    while (s.step()) {
        const QString id = s.text(0);
        if (id != current) {
            flush();
            current = id;
        }
        hasCopy = s.int64(3) != 0;
        answers.push_back({s.int64(1), int(std::clamp<qint64>(s.int64(2), INT_MIN, INT_MAX))});
    }
    if (!s.isValid() || s.failed()) {
        failed(failure);
        return std::nullopt;
    }
    flush();
    return broken;
}

} // namespace quillory
