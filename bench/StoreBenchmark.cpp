// The library store at 100,000 items: inserting them in one batch and saving, and opening
// an existing store file and building the lists the main window shows.

#include "BenchMain.h"
#include "ProcessMemory.h"
#include "StoreFixture.h"
#include "SyntheticLibrary.h"

#include <model/LibraryStore.h>
#include <model/LiveList.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>

namespace quillory::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t storeItemCount = 100'000;

double secondsSince(Clock::time_point begin)
{
    return std::chrono::duration<double>(Clock::now() - begin).count();
}

// Taken from the first open in the process, which is what starting the application costs:
// later opens reuse heap pages that earlier ones freed, so they fault in less memory and
// would understate both the time and the memory.
struct FirstOpen
{
    double seconds = 0;
    double rssBefore = 0;
    double rssAfter = 0;
    double peakRss = 0;
};

// The time is the mean over repeated opens of a file in the file cache. first_open_ms is the
// first open in the process, which also faults in fresh heap pages, as an application start
// does; rss_MB is VmRSS after it, rss_increase_MB its growth during it, peak_rss_MB VmHWM.
void storeOpen(benchmark::State &state)
{
    const QString &path = StoreFixture::path(storeItemCount);
    if (path.isEmpty()) {
        state.SkipWithError("the fixture store could not be written");
        return;
    }
    static FirstOpen first;
    static bool measured = false;

    std::size_t rows = 0;
    for (auto _ : state) {
        if (!measured) {
            state.PauseTiming();
            malloc_trim(0);
            first.rssBefore = ProcessMemory::statusMegabytes("VmRSS");
            state.ResumeTiming();
        }
        const auto begin = Clock::now();
        QString error;
        auto store = LibraryStore::open(path, &error);
        if (!store) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        auto items = LiveList::itemsByCreatedAt(*store, Qt::DescendingOrder);
        auto folders = LiveList::foldersBySortOrder(*store);
        auto tags = LiveList::tagsBySortOrder(*store);
        rows = items->records().size();
        benchmark::DoNotOptimize(rows);

        state.PauseTiming();
        if (!measured) {
            first.seconds = secondsSince(begin);
            first.rssAfter = ProcessMemory::statusMegabytes("VmRSS");
            first.peakRss = ProcessMemory::statusMegabytes("VmHWM");
            measured = true;
        }
        tags.reset();
        folders.reset();
        items.reset();
        store.reset();
        state.ResumeTiming();
    }
    state.counters["items"] = double(rows);
    state.counters["first_open_ms"] = first.seconds * 1e3;
    state.counters["rss_MB"] = first.rssAfter;
    state.counters["rss_increase_MB"] = first.rssAfter - first.rssBefore;
    state.counters["peak_rss_MB"] = first.peakRss;
}

void storeInsertAndSave(benchmark::State &state)
{
    QTemporaryDir dir;
    double insertSeconds = 0;
    double saveSeconds = 0;
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString path = dir.filePath(QStringLiteral("round%1.store").arg(++round));
        QString error;
        auto store = LibraryStore::open(path, &error);
        if (!store) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        SyntheticLibrary library = SyntheticLibrary::generate(storeItemCount);
        std::vector<std::unique_ptr<Item>> items =
            StoreFixture::adoptTagsAndFolders(*store, library);
        if (!store->save(&error)) { // the tags and folders, so the timed save is the items'
            state.SkipWithError(qPrintable(error));
            return;
        }
        state.ResumeTiming();

        const auto begin = Clock::now();
        const std::size_t inserted = store->insertItems(std::move(items)).size();
        const auto saving = Clock::now();
        const bool saved = store->save(&error);
        saveSeconds += secondsSince(saving);
        insertSeconds += std::chrono::duration<double>(saving - begin).count();

        state.PauseTiming();
        if (!saved || inserted != storeItemCount) {
            state.SkipWithError(saved ? "items were refused" : qPrintable(error));
            return;
        }
        store.reset();
        for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(path + suffix);
        state.ResumeTiming();
    }
    const double n = double(state.iterations());
    state.counters["insert_ms"] = n > 0 ? insertSeconds / n * 1e3 : 0;
    state.counters["save_ms"] = n > 0 ? saveSeconds / n * 1e3 : 0;
    state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(storeItemCount));
}

// The open benchmark goes first so its memory figures see a fresh process.
const bool registered = [] {
    benchmark::RegisterBenchmark("store_open_and_lists/100000", storeOpen)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(3.0);
    benchmark::RegisterBenchmark("store_insert_and_save/100000", storeInsertAndSave)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(3);
    return true;
}();

} // namespace
} // namespace quillory::bench
