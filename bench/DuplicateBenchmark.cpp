// Finding duplicates in a 100,000-item library, and those of the one link just added,
// beside a plain count of the addresses as they are written (what grouping costs without
// working out which addresses are one page).

#include "BenchMain.h"
#include "StoreFixture.h"

#include <duplicates/DuplicateFinder.h>
#include <model/Item.h>
#include <model/LibraryStore.h>

#include <QHash>
#include <benchmark/benchmark.h>
#include <memory>

namespace quillory::bench {
namespace {

constexpr std::size_t itemCount = 100'000;

LibraryStore *library()
{
    return StoreFixture::opened(itemCount);
}

void findDuplicates(benchmark::State &state)
{
    LibraryStore *store = library();
    if (store == nullptr) {
        state.SkipWithError("the fixture store could not be opened");
        return;
    }
    std::size_t groups = 0;
    std::size_t duplicated = 0;
    for (auto _ : state) {
        const auto found = DuplicateFinder::groups(store->items());
        groups = found.size();
        duplicated = 0;
        for (const auto &group : found)
            duplicated += group.size();
    }
    state.counters["groups"] = double(groups);
    state.counters["items_in_groups"] = double(duplicated);
}

void countAddressesAnchor(benchmark::State &state)
{
    LibraryStore *store = library();
    if (store == nullptr) {
        state.SkipWithError("the fixture store could not be opened");
        return;
    }
    for (auto _ : state) {
        QHash<QString, int> counts;
        counts.reserve(qsizetype(store->items().size()));
        for (const Item *item : store->items()) {
            if (item->urlString())
                ++counts[*item->urlString()];
        }
        benchmark::DoNotOptimize(counts.size());
    }
}

// What adding one link costs to learn whether the library had its page already: the
// duplicates of one item, looked up among all the others.
void duplicatesOfOne(benchmark::State &state)
{
    LibraryStore *store = library();
    if (store == nullptr || store->items().empty()) {
        state.SkipWithError("the fixture store could not be opened");
        return;
    }
    const Item &item = *store->items()[store->items().size() / 2];
    std::size_t found = 0;
    for (auto _ : state)
        found = DuplicateFinder::sameAs(item, store->items()).size();
    state.counters["found"] = double(found);
}

const bool registered = [] {
    benchmark::RegisterBenchmark("find_duplicates/100000", findDuplicates)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(2.0);
    benchmark::RegisterBenchmark("duplicates_of_one/100000", duplicatesOfOne)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(2.0);
    benchmark::RegisterBenchmark("count_addresses_anchor/100000", countAddressesAnchor)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(2.0);
    return true;
}();

} // namespace
} // namespace quillory::bench
