// Search over a synthetic library, against the cheapest conceivable pass over the same bytes
// and against SQLite's own substring search.
//
// For each library size there is one "memchr floor" run, which scans every item's search
// text for a byte that never occurs, and one filter run per query shape. A filter run also
// measures, from the same run and before it starts, the floor itself (x_memchr is its own
// time as a multiple of it), one memchr pass over the same texts laid end to end in one
// buffer (contiguous_memchr_ms: what the bytes cost without the walk from item to item), and
// an in-memory FTS5 table with the trigram tokenizer, built untimed, answering the same words
// (fts5_ms: every word somewhere in the item; words shorter than three letters, which the
// trigram index cannot look up, through LIKE; fts5_index_mb the size of its trigram index,
// without the text). FTS5 does not rank; the filter ranks every match by its relevance score.

#include "SyntheticLibrary.h"

#include <model/LibraryStore.h>
#include <model/LiveList.h>
#include <model/SearchText.h>
#include <search/SearchService.h>

#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <sqlite3.h>
#include <string>

namespace quillory::bench {
namespace {

using Clock = std::chrono::steady_clock;

// Every search text is lower-cased UTF-8 of printable text; a control byte never occurs.
constexpr char absentByte = '\x01';

struct Corpus
{
    SyntheticLibrary library;
    std::vector<Item *> items;
    std::size_t bytes = 0;
};

// Built once per size and kept for the whole run: generating a million items takes seconds.
const Corpus &corpus(std::size_t count)
{
    static std::map<std::size_t, std::unique_ptr<Corpus>> built;
    auto &slot = built[count];
    if (!slot) {
        slot = std::make_unique<Corpus>();
        slot->library = SyntheticLibrary::generate(count);
        slot->items = slot->library.itemPointers();
        slot->bytes = slot->library.searchTextBytes();
    }
    return *slot;
}

// The same library as the application holds it: saved to a store file and opened again,
// newest first. Records read back in one go lie close together on the heap, unlike the
// generated ones, whose allocations interleave with everything made while generating.
struct LoadedCorpus
{
    QTemporaryDir dir;
    std::unique_ptr<LibraryStore> store;
    std::vector<Item *> items;
    std::size_t bytes = 0;
};

const LoadedCorpus &loadedCorpus(std::size_t count)
{
    static std::map<std::size_t, std::unique_ptr<LoadedCorpus>> built;
    auto &slot = built[count];
    if (!slot) {
        slot = std::make_unique<LoadedCorpus>();
        const QString path = slot->dir.filePath(LibraryStore::fileName);
        QString error;
        {
            auto writer = LibraryStore::open(path, &error);
            SyntheticLibrary library = SyntheticLibrary::generate(count);
            for (auto &tag : library.tags)
                writer->insert(std::move(tag));
            for (auto &folder : library.folders)
                writer->insert(std::move(folder));
            library.tags.clear();
            library.folders.clear();
            writer->insertItems(std::move(library.items));
        }
        slot->store = LibraryStore::open(path, &error);
        const auto newestFirst = LiveList::itemsByCreatedAt(*slot->store, Qt::DescendingOrder);
        for (Record *record : newestFirst->records()) {
            auto *item = static_cast<Item *>(record);
            slot->items.push_back(item);
            slot->bytes += item->searchText().all().size();
        }
    }
    return *slot;
}

// Every item's search text laid end to end, each ended by its NUL, in list order.
std::string contiguousText(const std::vector<Item *> &items)
{
    std::string text;
    std::size_t size = 0;
    for (const Item *item : items)
        size += item->searchText().all().size() + 1;
    text.reserve(size);
    for (const Item *item : items)
        text.append(item->searchText().all()).push_back('\0');
    return text;
}

double bestContiguousSeconds(const std::string &text)
{
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        const auto begin = Clock::now();
        benchmark::DoNotOptimize(std::memchr(text.data(), absentByte, text.size()));
        best = std::min(best, std::chrono::duration<double>(Clock::now() - begin).count());
    }
    return best;
}

// The items' fields in an in-memory FTS5 table with the trigram tokenizer, rowid the item's
// place in the list.
class Fts5Anchor
{
public:
    explicit Fts5Anchor(const std::vector<Item *> &items)
    {
        sqlite3_open(":memory:", &m_db);
        sqlite3_exec(m_db,
                     "CREATE VIRTUAL TABLE t USING fts5(title, note, domain, url,"
                     " tokenize='trigram'); BEGIN",
                     nullptr, nullptr, nullptr);
        sqlite3_stmt *insert = nullptr;
        sqlite3_prepare_v2(m_db, "INSERT INTO t(rowid, title, note, domain, url) VALUES(?,?,?,?,?)",
                           -1, &insert, nullptr);
        sqlite3_int64 row = 0;
        for (const Item *item : items) {
            const SearchText &text = item->searchText();
            sqlite3_bind_int64(insert, 1, ++row);
            const auto bind = [insert](int column, const std::optional<std::string_view> &field) {
                if (field)
                    sqlite3_bind_text(insert, column, field->data(), int(field->size()),
                                      SQLITE_STATIC);
                else
                    sqlite3_bind_null(insert, column);
            };
            bind(2, text.title());
            bind(3, text.note());
            bind(4, text.domain());
            bind(5, text.url());
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    }
    ~Fts5Anchor() { sqlite3_close(m_db); }
    Fts5Anchor(const Fts5Anchor &) = delete;
    Fts5Anchor &operator=(const Fts5Anchor &) = delete;

    // The rows holding every word of `query`.
    std::size_t count(const QString &query) const
    {
        const QStringList words = query.toLower().split(u' ', Qt::SkipEmptyParts);
        QStringList phrases;
        QStringList likes;
        for (const QString &word : words) {
            if (word.size() >= 3)
                phrases.append(QStringLiteral("\"%1\"").arg(word));
            else
                likes.append(word);
        }
        QString sql = QStringLiteral("SELECT rowid FROM t WHERE 1");
        if (!phrases.isEmpty())
            sql += QStringLiteral(" AND t MATCH ?1");
        for (qsizetype i = 0; i < likes.size(); ++i) {
            const QString p = QStringLiteral("?%1").arg(i + 2);
            sql += QStringLiteral(" AND (title LIKE %1 OR note LIKE %1 OR domain LIKE %1 OR "
                                  "url LIKE %1)")
                       .arg(p);
        }
        sqlite3_stmt *select = nullptr;
        const QByteArray sqlText = sql.toUtf8();
        sqlite3_prepare_v2(m_db, sqlText.constData(), -1, &select, nullptr);
        const QByteArray match = phrases.join(u' ').toUtf8();
        if (!phrases.isEmpty())
            sqlite3_bind_text(select, 1, match.constData(), int(match.size()), SQLITE_TRANSIENT);
        for (qsizetype i = 0; i < likes.size(); ++i) {
            const QByteArray pattern = QByteArray("%") + likes[i].toUtf8() + QByteArray("%");
            sqlite3_bind_text(select, int(i + 2), pattern.constData(), int(pattern.size()),
                              SQLITE_TRANSIENT);
        }
        std::size_t rows = 0;
        while (sqlite3_step(select) == SQLITE_ROW)
            ++rows;
        sqlite3_finalize(select);
        return rows;
    }

    // The trigram index alone, without the text it indexes: what a search keeping such an
    // index would hold beside the text.
    double indexMegabytes() const
    {
        sqlite3_stmt *size = nullptr;
        sqlite3_prepare_v2(m_db, "SELECT sum(length(block)) FROM t_data", -1, &size, nullptr);
        double bytes = 0;
        if (sqlite3_step(size) == SQLITE_ROW)
            bytes = sqlite3_column_double(size, 0);
        sqlite3_finalize(size);
        return bytes / 1e6;
    }

private:
    sqlite3 *m_db = nullptr;
};

// The anchors of one list, built once: the FTS5 table of a million items takes a while.
struct Anchors
{
    std::string contiguous;
    std::unique_ptr<Fts5Anchor> fts5;
};

const Anchors &anchorsOf(const std::vector<Item *> &items)
{
    static std::map<const std::vector<Item *> *, std::unique_ptr<Anchors>> built;
    auto &slot = built[&items];
    if (!slot) {
        slot = std::make_unique<Anchors>();
        slot->contiguous = contiguousText(items);
        slot->fts5 = std::make_unique<Fts5Anchor>(items);
    }
    return *slot;
}

// One service per list, as the application has one per library: the service keeps an index
// of the list it searches. It keeps recent searches in settings; give it a private file.
SearchService &service(const std::vector<Item *> &items)
{
    static QTemporaryDir dir;
    static QSettings settings(dir.filePath(QStringLiteral("search.ini")), QSettings::IniFormat);
    static std::map<const std::vector<Item *> *, std::unique_ptr<SearchService>> built;
    auto &slot = built[&items];
    if (!slot)
        slot = std::make_unique<SearchService>(&settings);
    return *slot;
}

std::size_t memchrPass(const std::vector<Item *> &items)
{
    std::size_t found = 0;
    for (const Item *item : items) {
        const std::string_view text = item->searchText().all();
        found += std::memchr(text.data(), absentByte, text.size()) != nullptr ? 1 : 0;
    }
    return found;
}

double bestMemchrSeconds(const std::vector<Item *> &items)
{
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        const auto begin = Clock::now();
        benchmark::DoNotOptimize(memchrPass(items));
        best = std::min(best, std::chrono::duration<double>(Clock::now() - begin).count());
    }
    return best;
}

template <typename CorpusType> void memchrFloor(benchmark::State &state, const CorpusType &c)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(memchrPass(c.items));
    state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(c.items.size()));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(c.bytes));
    state.counters["text_MB"] = double(c.bytes) / 1e6;
}

template <typename CorpusType>
void filter(benchmark::State &state, const CorpusType &c, const QString &query)
{
    SearchService &search = service(c.items);
    // The first search of a list copies its text into the index, as the application's first
    // search does; it is timed apart (first_call_ms), and the figures are for the searches
    // typed after it.
    const auto firstBegin = Clock::now();
    benchmark::DoNotOptimize(
        search.filter(c.items, query, {}, std::nullopt, false, nullptr, false).data());
    const double firstSeconds = std::chrono::duration<double>(Clock::now() - firstBegin).count();
    const double floorSeconds = bestMemchrSeconds(c.items);
    const Anchors &anchors = anchorsOf(c.items);
    const double contiguousSeconds = bestContiguousSeconds(anchors.contiguous);
    double fts5Seconds = 1e9;
    std::size_t fts5Matches = 0;
    for (int round = 0; round < 3; ++round) {
        const auto start = Clock::now();
        fts5Matches = anchors.fts5->count(query);
        fts5Seconds =
            std::min(fts5Seconds, std::chrono::duration<double>(Clock::now() - start).count());
    }

    std::size_t matches = 0;
    const auto begin = Clock::now();
    for (auto _ : state) {
        const std::vector<Item *> result =
            search.filter(c.items, query, {}, std::nullopt, false, nullptr, false);
        matches = result.size();
        benchmark::DoNotOptimize(result.data());
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();

    const auto iterations = std::int64_t(state.iterations());
    state.SetItemsProcessed(iterations * std::int64_t(c.items.size()));
    state.SetBytesProcessed(iterations * std::int64_t(c.bytes));
    state.counters["matches"] = double(matches);
    state.counters["first_call_ms"] = firstSeconds * 1e3;
    state.counters["floor_ms"] = floorSeconds * 1e3;
    state.counters["contiguous_memchr_ms"] = contiguousSeconds * 1e3;
    state.counters["fts5_ms"] = fts5Seconds * 1e3;
    state.counters["fts5_matches"] = double(fts5Matches);
    state.counters["fts5_index_mb"] = anchors.fts5->indexMegabytes();
    state.counters["x_memchr"] = iterations > 0 ? seconds / double(iterations) / floorSeconds : 0.0;
}

struct Shape
{
    const char *name;
    const char *query;
};

// Two words that both occur in the word list, one word, and the first two letters of a
// word as typed (a prefix shared by many words, so most items match and get ranked).
constexpr Shape shapes[] = {
    {"two_words", "garden tools"},
    {"one_word", "travel"},
    {"two_letters", "re"},
};

const bool registered = [] {
    for (const std::size_t count : {std::size_t(100'000), std::size_t(1'000'000)}) {
        // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "literal" + string.
        const auto name = [count](const char *first, const char *second) {
            std::string text(first);
            text.append(second).append("/").append(std::to_string(count));
            return text;
        };
        benchmark::RegisterBenchmark(
            name("memchr_floor", "").c_str(),
            [count](benchmark::State &state) { memchrFloor(state, corpus(count)); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        for (const Shape &shape : shapes) {
            const QString query = QString::fromLatin1(shape.query);
            // Real time: large lists are searched on two threads.
            benchmark::RegisterBenchmark(
                name("filter_", shape.name).c_str(),
                [count, query](benchmark::State &state) { filter(state, corpus(count), query); })
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
    // The library as the running application has it, read back from its store.
    const std::size_t loaded = 100'000;
    benchmark::RegisterBenchmark(
        "memchr_floor_loaded/100000",
        [loaded](benchmark::State &state) { memchrFloor(state, loadedCorpus(loaded)); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    for (const Shape &shape : shapes) {
        const QString query = QString::fromLatin1(shape.query);
        benchmark::RegisterBenchmark(
            (std::string("filter_loaded_") + shape.name + "/100000").c_str(),
            [loaded, query](benchmark::State &state) {
                filter(state, loadedCorpus(loaded), query);
            })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    return true;
}();

} // namespace
} // namespace quillory::bench
