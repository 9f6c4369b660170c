// Full-text search over kept pages, beside a bare FTS5 table holding the same text.
//
// The library is generated once per size and kept under TMPDIR for later runs
// (quillory-bench-pages-<count>.store, and -bare.db for the anchor): each page is about
// 7,500 characters of text (4,000 to 11,000) in paragraphs, words drawn with a Zipf-like
// frequency (the word of rank r about 1/r as often as the first) from 60,000 generated
// words of one to four syllables, wrapped in a modest page of markup. Pages are kept one
// PageStore::keep at a time, as the keeping queue keeps them; the anchor gets the same text
// in one transaction per page too, so both indexes are merged alike.
//
// - pages_two_words/<count>: two words of middle frequency (ranks 200 to 3,000), the 50
//   best by bm25 with their snippets; median_ms over 200 queries, bare_median_ms the same
//   queries on the bare table.
// - pages_common_word/<count>: one of the ten most frequent words (in nearly every page),
//   the 50 best; the same counters.
// Both also print the sizes: index_ratio (the index's pages in the file over the text it
// indexes), copies_ratio (the compressed page and text over the raw page and text),
// bare_index_ratio (the bare table's index alone, without its copy of the text).
//
// - startup_with_kept_pages/<count>: a library of <count> generated items opened as the
//   application opens it at start (the store, then the kept pages' two connections), in a
//   fresh process each time; startup_ms and rss_mb with a kept page for every item,
//   beside plain_startup_ms and plain_rss_mb for the same library without them. Medians of
//   five runs of each, alternated. The pages are those of the search benchmarks, copied in.
//
// QUILLORY_BENCH_PAGES sets the count (default 100,000).

#include "BenchMain.h"
#include "ProcessMemory.h"
#include "StoreFixture.h"

#include <model/LibraryStore.h>
#include <pages/KeptPages.h>
#include <pages/PageQuery.h>
#include <pages/PageStore.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <sqlite3.h>

namespace quillory::bench {
namespace {

constexpr int vocabularySize = 60000;

const QStringList &vocabulary()
{
    static const QStringList words = [] {
        const char *const syllables[] = {"ka",  "lo",  "mi",  "ren", "tas", "vo",  "der", "un",
                                         "pel", "sor", "ti",  "na",  "bre", "gan", "os",  "qui",
                                         "mar", "el",  "ost", "ri",  "fen", "da",  "ul",  "ber"};
        QRandomGenerator random(17);
        QSet<QString> seen;
        QStringList list;
        while (list.size() < vocabularySize) {
            QString word;
            for (int n = 1 + int(random.bounded(4)); n > 0; --n)
                word += QLatin1String(syllables[random.bounded(int(std::size(syllables)))]);
            if (!seen.contains(word)) {
                seen.insert(word);
                list.append(word);
            }
        }
        return list;
    }();
    return words;
}

// Rank r (from 0) with probability about proportional to 1 / (r + 1).
qsizetype zipfRank(QRandomGenerator &random)
{
    const double rank = std::pow(double(vocabularySize), random.generateDouble()) - 1.0;
    return std::min<qsizetype>(qsizetype(rank), vocabularySize - 1);
}

QString pageText(QRandomGenerator &random)
{
    const int length = 4000 + int(random.bounded(7001));
    QString text;
    text.reserve(length + 64);
    int inSentence = 0;
    int inParagraph = 0;
    while (text.size() < length) {
        QString word = vocabulary()[zipfRank(random)];
        if (inSentence == 0)
            word[0] = word[0].toUpper();
        text += word;
        if (++inSentence < 8 + int(random.bounded(12))) {
            text += u' ';
            continue;
        }
        inSentence = 0;
        text += u'.';
        text += (++inParagraph % 6 == 0) ? u'\n' : u' ';
    }
    return text;
}

QByteArray pageAround(const QString &text, int n)
{
    QByteArray page = "<!doctype html><html lang=en><head><meta charset=utf-8><title>Page " +
                      QByteArray::number(n) +
                      "</title><link rel=stylesheet href=/assets/site.css><script "
                      "src=/assets/app.js defer></script></head><body><header><nav><a "
                      "href=/>Home</a> <a href=/topics>Topics</a> <a href=/about>About</a> <a "
                      "href=/contact>Contact</a></nav></header><main><article><h1>Page " +
                      QByteArray::number(n) + "</h1>";
    for (const QString &paragraph : text.split(u'\n'))
        page += "<p class=\"article-text\">" + paragraph.toUtf8() + "</p>\n";
    return page + "</article></main><footer><p>All rights reserved.</p><a "
                  "href=/privacy>Privacy</a></footer></body></html>";
}

struct Sqlite
{
    sqlite3 *db = nullptr;
    explicit Sqlite(const QString &path) { sqlite3_open(path.toUtf8().constData(), &db); }
    ~Sqlite() { sqlite3_close(db); }
    Sqlite(const Sqlite &) = delete;
    Sqlite &operator=(const Sqlite &) = delete;

    void exec(const char *sql) { sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }
    double number(const char *sql)
    {
        sqlite3_stmt *s = nullptr;
        double value = -1;
        if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW)
            value = sqlite3_column_double(s, 0);
        sqlite3_finalize(s);
        return value;
    }
};

struct Fixture
{
    QString storePath;
    QString barePath;
    std::unique_ptr<PageStore> pages;
    std::unique_ptr<Sqlite> bare;
    sqlite3_stmt *bareQuery = nullptr;
    double indexRatio = 0;
    double copiesRatio = 0;
    double bareIndexRatio = 0;
};

bool build(const QString &storePath, const QString &barePath, int count)
{
    for (const QString &path : {storePath, barePath}) {
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(path + QLatin1String(suffix));
    }
    {
        QString error;
        if (!LibraryStore::open(storePath, &error))
            return false;
    }
    StoreFailure failure;
    auto pages = PageStore::open(storePath, &failure);
    if (!pages)
        return false;
    Sqlite bare(barePath);
    bare.exec(
        "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
        "CREATE VIRTUAL TABLE bare USING fts5(body, tokenize='unicode61 remove_diacritics 2');"
        "CREATE TABLE built(count INTEGER)");
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(bare.db, "INSERT INTO bare(rowid, body) VALUES(?, ?)", -1, &insert, nullptr);
    QRandomGenerator random(23);
    const auto start = std::chrono::steady_clock::now();
    for (int n = 1; n <= count; ++n) {
        const QString text = pageText(random);
        const QByteArray utf8 = text.toUtf8();
        const KeptCopy copy{1'700'000'000'000 + n,
                            QStringLiteral("https://example.org/%1").arg(n),
                            200,
                            pageAround(text, n),
                            text,
                            "text/html; charset=utf-8"};
        if (!pages->keep(QUuid::createUuid(), copy, &failure)) {
            std::fprintf(stderr, "keeping failed: %s\n", qPrintable(failure.message));
            return false;
        }
        sqlite3_bind_int64(insert, 1, n);
        sqlite3_bind_text(insert, 2, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
        if (n % 10000 == 0)
            std::fprintf(
                stderr, "%d pages kept, %.0f s\n", n,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    sqlite3_finalize(insert);
    bare.exec(QStringLiteral("INSERT INTO built VALUES(%1)").arg(count).toUtf8().constData());
    return true;
}

Fixture &fixture(int count)
{
    static std::map<int, std::unique_ptr<Fixture>> made;
    auto &slot = made[count];
    if (slot)
        return *slot;
    slot = std::make_unique<Fixture>();
    Fixture &f = *slot;
    const QString base = QDir::tempPath() + QStringLiteral("/quillory-bench-pages-%1").arg(count);
    f.storePath = base + QStringLiteral(".store");
    f.barePath = base + QStringLiteral("-bare.db");
    const bool complete = QFile::exists(f.storePath) && QFile::exists(f.barePath) &&
                          Sqlite(f.barePath).number("SELECT count FROM built") == count;
    if (!complete && !build(f.storePath, f.barePath, count))
        return f;
    StoreFailure failure;
    f.pages = PageStore::open(f.storePath, &failure);
    Sqlite store(f.storePath);
    const double text = store.number("SELECT total(text_size) FROM page_copies");
    f.indexRatio =
        store.number(
            "SELECT total(pgsize) FROM dbstat WHERE name LIKE 'page\\_text\\_%' ESCAPE '\\'") /
        text;
    f.copiesRatio = store.number("SELECT total(stored_size) FROM page_copies") /
                    store.number("SELECT total(page_size + text_size) FROM page_copies");
    f.bare = std::make_unique<Sqlite>(f.barePath);
    f.bareIndexRatio = f.bare->number("SELECT total(pgsize) FROM dbstat WHERE name IN ('bare_data',"
                                      " 'bare_idx', 'bare_docsize', 'bare_config')") /
                       text;
    sqlite3_prepare_v2(f.bare->db,
                       "SELECT rowid, snippet(bare, 0, char(2), char(3), char(8230), 12) FROM bare"
                       " WHERE bare MATCH ? ORDER BY rank LIMIT 50",
                       -1, &f.bareQuery, nullptr);
    return f;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::nth_element(values.begin(), values.begin() + qsizetype(values.size() / 2), values.end());
    return values[values.size() / 2];
}

void search(benchmark::State &state, const QStringList &queries)
{
    Fixture &f = fixture(int(state.range(0)));
    if (!f.pages || f.bareQuery == nullptr) {
        state.SkipWithError("the library could not be generated");
        return;
    }
    using Clock = std::chrono::steady_clock;
    std::vector<double> ours;
    qsizetype next = 0;
    std::size_t matches = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const auto found = f.pages->search(queries[next], 50);
        ours.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        matches += found ? found->size() : 0;
        next = (next + 1) % queries.size();
    }
    // The anchor answers the same queries, as PageStore would put them.
    std::vector<double> bare;
    for (qsizetype i = 0; i < std::max<qsizetype>(next, queries.size()); ++i) {
        const QByteArray query = PageQuery::fromUserText(queries[i % queries.size()]).toUtf8();
        const auto start = Clock::now();
        sqlite3_bind_text(f.bareQuery, 1, query.constData(), int(query.size()), SQLITE_TRANSIENT);
        while (sqlite3_step(f.bareQuery) == SQLITE_ROW)
            benchmark::DoNotOptimize(sqlite3_column_text(f.bareQuery, 1));
        sqlite3_reset(f.bareQuery);
        bare.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    state.counters["median_ms"] = median(ours);
    state.counters["bare_median_ms"] = median(bare);
    state.counters["matches_per_query"] =
        ours.empty() ? 0.0 : double(matches) / double(ours.size());
    state.counters["index_ratio"] = f.indexRatio;
    state.counters["bare_index_ratio"] = f.bareIndexRatio;
    state.counters["copies_ratio"] = f.copiesRatio;
}

constexpr const char *openLibraryCommand = "open-library";

// open-library <path>: opens a library and its kept pages as the application does at start,
// then prints the milliseconds that took and the resident megabytes after.
int openLibrary(const QStringList &arguments)
{
    if (arguments.size() != 1)
        return 2;
    const auto start = std::chrono::steady_clock::now();
    QString error;
    const auto store = LibraryStore::open(arguments.front(), &error);
    if (!store)
        return 1;
    KeptPages pages(store->filePath());
    pages.waitForIdle();
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.3f %.1f %zu\n", ms, ProcessMemory::statusMegabytes("VmRSS"),
                store->items().size());
    return 0;
}

const bool openLibraryRegistered = registerCommand(openLibraryCommand, openLibrary);

// A copy of the generated library, and one with the search benchmarks' pages kept for its
// items: the same page tables and index, each page given to one item.
bool copyLibraries(const QString &items, const QString &pagesStore, const QString &plain,
                   const QString &kept)
{
    for (const QString &path : {plain, kept}) {
        QFile::remove(path);
        if (!QFile::copy(items, path))
            return false;
    }
    StoreFailure failure;
    if (!PageStore::open(kept, &failure))
        return false;
    Sqlite db(kept);
    const QByteArray attach = "ATTACH DATABASE '" + pagesStore.toUtf8() + "' AS src";
    db.exec(attach.constData());
    db.exec("BEGIN");
    db.exec("CREATE TEMP TABLE owners(n INTEGER PRIMARY KEY, id TEXT NOT NULL)");
    db.exec("INSERT INTO owners(id) SELECT id FROM items ORDER BY rowid");
    db.exec("INSERT INTO page_bodies SELECT * FROM src.page_bodies");
    db.exec("INSERT INTO page_text_data SELECT * FROM src.page_text_data WHERE id > 10");
    db.exec("INSERT OR REPLACE INTO page_text_data SELECT * FROM src.page_text_data"
            " WHERE id <= 10");
    db.exec("INSERT INTO page_text_idx SELECT * FROM src.page_text_idx");
    db.exec("INSERT INTO page_text_docsize SELECT * FROM src.page_text_docsize");
    db.exec("INSERT INTO page_copies(doc, item_id, fetched_at, final_url, http_status,"
            " page_size, text_size, stored_size) SELECT c.doc, o.id, c.fetched_at, c.final_url,"
            " c.http_status, c.page_size, c.text_size, c.stored_size"
            " FROM src.page_copies c JOIN owners o ON o.n = c.doc");
    db.exec("COMMIT");
    db.exec("DETACH DATABASE src");
    return db.number("SELECT count(*) FROM page_copies") > 0 &&
           db.number("SELECT count(*) FROM page_text WHERE page_text MATCH 'ka'") > 0;
}

// Runs the open-library command on `path`: milliseconds and resident megabytes.
std::optional<std::pair<double, double>> startOnce(const QString &path)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QString::fromLatin1(openLibraryCommand), path});
    if (!child.waitForFinished(600000) || child.exitCode() != 0)
        return std::nullopt;
    const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
    if (fields.size() != 3)
        return std::nullopt;
    return std::pair(fields[0].toDouble(), fields[1].toDouble());
}

void startupWithKeptPages(benchmark::State &state)
{
    const int count = int(state.range(0));
    Fixture &f = fixture(count);
    const QString &items = StoreFixture::path(std::size_t(count));
    const QString plain = QDir::tempPath() + QStringLiteral("/quillory-bench-startup-plain.store");
    const QString kept = QDir::tempPath() + QStringLiteral("/quillory-bench-startup-kept.store");
    if (!f.pages || items.isEmpty() || !copyLibraries(items, f.storePath, plain, kept)) {
        state.SkipWithError("the libraries could not be generated");
        return;
    }
    std::vector<double> keptMs, keptMb, plainMs, plainMb;
    for (auto _ : state) {
        const auto withPages = startOnce(kept);
        const auto without = startOnce(plain);
        if (!withPages || !without) {
            state.SkipWithError("the library did not open");
            break;
        }
        keptMs.push_back(withPages->first);
        keptMb.push_back(withPages->second);
        plainMs.push_back(without->first);
        plainMb.push_back(without->second);
        state.SetIterationTime(withPages->first / 1000.0);
    }
    state.counters["startup_ms"] = median(keptMs);
    state.counters["rss_mb"] = median(keptMb);
    state.counters["plain_startup_ms"] = median(plainMs);
    state.counters["plain_rss_mb"] = median(plainMb);
    QFile::remove(plain);
    QFile::remove(kept);
}

QStringList twoWordQueries()
{
    QRandomGenerator random(31);
    QStringList queries;
    for (int i = 0; i < 200; ++i)
        queries.append(vocabulary()[200 + random.bounded(2800)] + u' ' +
                       vocabulary()[200 + random.bounded(2800)]);
    return queries;
}

QStringList commonWordQueries()
{
    return vocabulary().mid(0, 10);
}

int pageCount()
{
    bool ok = false;
    const int count = qEnvironmentVariableIntValue("QUILLORY_BENCH_PAGES", &ok);
    return ok && count > 0 ? count : 100000;
}

const bool registered = [] {
    const int count = pageCount();
    benchmark::RegisterBenchmark("pages_two_words",
                                 [](benchmark::State &state) { search(state, twoWordQueries()); })
        ->Arg(count)
        ->Iterations(200)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(
        "pages_common_word", [](benchmark::State &state) { search(state, commonWordQueries()); })
        ->Arg(count)
        ->Iterations(30)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("startup_with_kept_pages", startupWithKeptPages)
        ->Arg(count)
        ->Iterations(5)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    return true;
}();

} // namespace
} // namespace quillory::bench
