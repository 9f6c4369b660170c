#include <pages/PageSchema.h>

#include <model/SqliteDatabase.h>
#include <model/SqliteStatement.h>

#include <QSet>
#include <QStringList>
#include <array>
#include <sqlite3.h>

namespace quillory {

namespace {

// Each step takes the tables from the version before to its own. The text is compressed
// in page_bodies and read through the view, which decompresses it with page_text_of(), a
// function only PageStore's connection has: the index stores no second copy of the text,
// yet snippet() and bm25() work, and deleting from the index finds the old words there.
// The bodies sit apart from the copies' small columns, so that listing or counting the
// copies never walks through the pages themselves. A page's number is never used again: if
// a damaged text could not tell the index which words to forget, they stay with a number
// no page has, not with the next page kept.
const std::array<const char *, PageSchema::version> steps = {
    R"sql(
CREATE TABLE page_info(key TEXT PRIMARY KEY NOT NULL, value TEXT NOT NULL) WITHOUT ROWID;
CREATE TABLE page_copies(
    doc INTEGER PRIMARY KEY,
    item_id TEXT NOT NULL UNIQUE,
    fetched_at INTEGER NOT NULL,
    final_url TEXT NOT NULL,
    http_status INTEGER NOT NULL,
    page_size INTEGER NOT NULL,
    text_size INTEGER NOT NULL,
    stored_size INTEGER NOT NULL);
CREATE TABLE page_bodies(doc INTEGER PRIMARY KEY AUTOINCREMENT, text BLOB NOT NULL,
    page BLOB NOT NULL);
CREATE VIEW page_text_source AS SELECT doc, page_text_of(text) AS body FROM page_bodies;
CREATE VIRTUAL TABLE page_text USING fts5(body, content='page_text_source', content_rowid='doc',
    tokenize='unicode61 remove_diacritics 2');
CREATE TABLE page_answers(
    item_id TEXT NOT NULL,
    at INTEGER NOT NULL,
    answer INTEGER NOT NULL,
    PRIMARY KEY(item_id, at)) WITHOUT ROWID;
)sql",
    // The pages waiting to be kept or checked, in the order they were asked for; the host
    // is stored so that the next few of each site can be picked without the items. What the
    // waiting list has done so far, and whether it is paused, are rows of page_info. A copy
    // also keeps the type its server declared, whose character set may be the only one the
    // page has.
    R"sql(
CREATE TABLE page_queue(
    seq INTEGER PRIMARY KEY,
    item_id TEXT NOT NULL UNIQUE,
    host TEXT NOT NULL,
    task INTEGER NOT NULL);
ALTER TABLE page_copies ADD COLUMN content_type TEXT NOT NULL DEFAULT '';
)sql",
};

// Every object that belongs to the kept pages, by its name or by the table it hangs on.
const char *const objectsSql =
    "SELECT type, name, tbl_name, sql FROM sqlite_schema WHERE name LIKE 'page\\_%' ESCAPE '\\'"
    " OR tbl_name LIKE 'page\\_%' ESCAPE '\\'"
    " OR name LIKE 'sqlite\\_autoindex\\_page\\_%' ESCAPE '\\'";

QString objectKey(const SqliteStatement &s)
{
    return s.text(0) + QChar(0) + s.text(1) + QChar(0) + s.text(2) + QChar(0) +
           s.text(3).simplified();
}

bool fail(StoreFailure *failure, StoreFailure::Cause cause, const QString &message)
{
    if (failure)
        *failure = {cause, message};
    return false;
}

bool failFrom(SqliteDatabase &db, StoreFailure *failure, const QString &what)
{
    return fail(failure, StoreFailure::causeOf(db.lastErrorCode()), what + db.lastError());
}

QString damaged(const QString &detail)
{
    return QStringLiteral("The kept copies of pages in this library are damaged or were not "
                          "made by Quillory (%1). They are left as they are and not used; the "
                          "library itself is not affected.")
        .arg(detail);
}

// What the file holds after the steps up to `upTo`, read back from a scratch database.
QSet<QString> madeObjects(int upTo)
{
    QSet<QString> objects;
    SqliteDatabase reference;
    QString ignored;
    if (!reference.open(QStringLiteral(":memory:"), SqliteDatabase::Mode::ReadWrite, &ignored))
        return objects;
    for (int step = 0; step < upTo; ++step) {
        if (!reference.exec(steps[size_t(step)]))
            return {};
    }
    SqliteStatement all = reference.prepare(objectsSql);
    while (all.step())
        objects.insert(objectKey(all));
    return objects;
}

bool isLibrary(SqliteDatabase &db)
{
    SqliteStatement version =
        db.prepare("SELECT value FROM store_info WHERE key = 'schemaVersion'");
    return version.isValid() && version.step() && version.text(0).startsWith(u"1.");
}

// The version the file's page_info states; 0 when it holds none of the tables.
bool storedVersion(SqliteDatabase &db, bool hasObjects, int &found, StoreFailure *failure)
{
    found = 0;
    if (!hasObjects)
        return true;
    SqliteStatement s = db.prepare("SELECT value FROM page_info WHERE key = 'version'");
    bool ok = false;
    if (s.isValid() && s.step())
        found = s.text(0).toInt(&ok);
    if (!ok || found < 1)
        return fail(failure, StoreFailure::Cause::Damaged, damaged(QStringLiteral("no version")));
    if (found > PageSchema::version)
        return fail(failure, StoreFailure::Cause::Other,
                    QStringLiteral("The kept copies of pages in this library were made by a "
                                   "newer version of Quillory and are not used."));
    return true;
}

// The engine's settings for the index live in a table of the file too; only its version
// row may be there, so that nothing in a file from elsewhere changes how results are ranked
// or how large the index's pages grow.
bool checkIndexSettings(SqliteDatabase &db, StoreFailure *failure)
{
    SqliteStatement s = db.prepare("SELECT k, v FROM page_text_config");
    int rows = 0;
    while (s.step()) {
        ++rows;
        if (s.text(0) != QLatin1String("version") || s.int64(1) != 4)
            return fail(failure, StoreFailure::Cause::Damaged,
                        damaged(QStringLiteral("index setting \"%1\"").arg(s.text(0).left(100))));
    }
    if (!s.isValid() || s.failed() || rows != 1)
        return fail(failure, StoreFailure::Cause::Damaged,
                    damaged(QStringLiteral("index settings")));
    return true;
}

// The version the file holds, when everything under the page tables' names is what that
// version makes.
bool inspect(SqliteDatabase &db, int &found, StoreFailure *failure)
{
    QSet<QString> present;
    SqliteStatement all = db.prepare(objectsSql);
    while (all.step())
        present.insert(objectKey(all));
    if (!all.isValid() || all.failed())
        return failFrom(db, failure,
                        QStringLiteral("The library store's schema could not be read: "));
    if (!storedVersion(db, !present.isEmpty(), found, failure))
        return false;
    const QSet<QString> made = madeObjects(found);
    if (present != made) {
        QStringList odd;
        for (const QString &key : std::as_const(present)) {
            if (!made.contains(key))
                odd.append(key.section(QChar(0), 1, 1).left(100));
        }
        if (odd.isEmpty())
            odd.append(QStringLiteral("missing tables"));
        odd.sort();
        return fail(failure, StoreFailure::Cause::Damaged, damaged(odd.join(QStringLiteral(", "))));
    }
    return found == 0 || checkIndexSettings(db, failure);
}

// Inside the write lock the file is looked at again: another connection may have set the
// tables up meanwhile.
bool upgrade(SqliteDatabase &db, StoreFailure *failure)
{
    if (!db.exec("BEGIN IMMEDIATE"))
        return failFrom(db, failure, QStringLiteral("The kept pages could not be set up: "));
    int found = 0;
    if (!inspect(db, found, failure)) {
        db.exec("ROLLBACK");
        return false;
    }
    bool ok = true;
    for (int step = found; ok && step < PageSchema::version; ++step)
        ok = db.exec(steps[size_t(step)]);
    if (ok) {
        SqliteStatement v =
            db.prepare("INSERT OR REPLACE INTO page_info(key, value) VALUES('version', ?)");
        v.bind(1, QString::number(PageSchema::version));
        v.step();
        ok = v.isValid() && !v.failed();
    }
    if (!ok || !db.exec("COMMIT")) {
        failFrom(db, failure, QStringLiteral("The kept pages could not be set up: "));
        db.exec("ROLLBACK");
        return false;
    }
    return true;
}

} // namespace

bool PageSchema::prepare(SqliteDatabase &db, StoreFailure *failure)
{
    if (!isLibrary(db))
        return fail(failure, StoreFailure::Cause::Other,
                    QStringLiteral("The file is not a Quillory library store."));
    int found = 0;
    if (!inspect(db, found, failure))
        return false;
    if (found == version)
        return true;
    if (db.isReadOnly())
        return fail(failure, StoreFailure::Cause::ReadOnly,
                    QStringLiteral("The library cannot be written to, so no copies of pages can "
                                   "be kept in it."));
    return upgrade(db, failure);
}

} // namespace quillory
