// Search over a synthetic library, against the cheapest conceivable pass over the same bytes.
//
// For each library size there is one "memchr floor" run, which scans every item's search
// text for a byte that never occurs, and one filter run per query shape. A filter run also
// measures the floor itself before it starts and reports its own time as a multiple of it
// (x_memchr), so the ratio can be read off one line.

#include "SyntheticLibrary.h"

#include <SearchService.h>

#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
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

// The service keeps recent searches in settings; give it a private file.
SearchService &service()
{
    static QTemporaryDir dir;
    static QSettings settings(dir.filePath(QStringLiteral("search.ini")), QSettings::IniFormat);
    static SearchService instance(&settings);
    return instance;
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

void memchrFloor(benchmark::State &state, std::size_t count)
{
    const Corpus &c = corpus(count);
    for (auto _ : state)
        benchmark::DoNotOptimize(memchrPass(c.items));
    state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(c.items.size()));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(c.bytes));
    state.counters["text_MB"] = double(c.bytes) / 1e6;
}

void filter(benchmark::State &state, std::size_t count, const QString &query)
{
    const Corpus &c = corpus(count);
    SearchService &search = service();
    const double floorSeconds = bestMemchrSeconds(c.items);

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
    state.counters["floor_ms"] = floorSeconds * 1e3;
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
        benchmark::RegisterBenchmark(name("memchr_floor", "").c_str(), memchrFloor, count)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        for (const Shape &shape : shapes) {
            // Real time: large lists are searched on two threads.
            benchmark::RegisterBenchmark(name("filter_", shape.name).c_str(), filter, count,
                                         QString::fromLatin1(shape.query))
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
    return true;
}();

} // namespace
} // namespace quillory::bench
