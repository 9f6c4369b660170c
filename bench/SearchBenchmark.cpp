// Search over a synthetic library, against the cheapest conceivable pass over the same bytes.
//
// For each library size there is one "memchr floor" run, which scans every item's search
// text for a byte that never occurs, and one filter run per query shape. A filter run also
// measures the floor itself before it starts and reports its own time as a multiple of it
// (x_memchr), so the ratio can be read off one line.

#include "SyntheticLibrary.h"

#include <LibraryStore.h>
#include <LiveList.h>
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
