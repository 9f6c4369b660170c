// Export and import of a 100,000-item library without pictures: writing the export
// document, its peak memory, reading it back (parse, building the records, the whole import
// with its longest stretch on the interface thread), each beside a plain QJsonDocument parse
// of the same document from the same run.

#include "BenchMain.h"
#include "ProcessMemory.h"
#include "StallMeter.h"
#include "StoreFixture.h"

#include <exchange/ExportDocumentReader.h>
#include <exchange/ExportService.h>
#include <exchange/ImportJob.h>
#include <model/LibraryStore.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <memory>
#include <optional>

namespace quillory::bench {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr std::size_t itemCount = 100'000;

double millisecondsSince(SteadyClock::time_point begin)
{
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - begin).count();
}

LibraryStore *library()
{
    return StoreFixture::opened(itemCount);
}

QByteArray exportOf(LibraryStore &store)
{
    return ExportService::exportDocument(store.items(), store.folders(), store.tags(), false);
}

const QByteArray &document()
{
    static const QByteArray bytes = library() ? exportOf(*library()) : QByteArray();
    return bytes;
}

#define REQUIRE_LIBRARY(state)                                                                     \
    if (library() == nullptr) {                                                                    \
        (state).SkipWithError("the fixture store could not be opened");                            \
        return;                                                                                    \
    }

void exportDocument(benchmark::State &state)
{
    REQUIRE_LIBRARY(state)
    LibraryStore &store = *library();
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QByteArray written = exportOf(store);
        bytes = written.size();
        benchmark::DoNotOptimize(written.constData());
    }
    state.counters["document_mb"] = double(bytes) / 1e6;
}

// The export's peak resident memory above the open library, against the document's size.
void exportPeakMemory(benchmark::State &state)
{
    REQUIRE_LIBRARY(state)
    LibraryStore &store = *library();
    double above = 0;
    double documentMegabytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        malloc_trim(0);
        const double before = ProcessMemory::statusMegabytes("VmRSS");
        if (!ProcessMemory::resetPeak()) {
            state.SkipWithError("/proc/self/clear_refs cannot be written");
            return;
        }
        state.ResumeTiming();
        const QByteArray written = exportOf(store);
        state.PauseTiming();
        above = ProcessMemory::statusMegabytes("VmHWM") - before;
        documentMegabytes = double(written.size()) / (1024.0 * 1024.0);
        state.ResumeTiming();
    }
    state.counters["peak_above_library_mb"] = above;
    state.counters["document_mib"] = documentMegabytes;
    state.counters["peak_per_document"] = documentMegabytes > 0 ? above / documentMegabytes : 0;
}

void plainJsonParse(benchmark::State &state)
{
    REQUIRE_LIBRARY(state)
    const QByteArray &bytes = document();
    for (auto _ : state) {
        const QJsonDocument parsed = QJsonDocument::fromJson(bytes);
        benchmark::DoNotOptimize(parsed.isObject());
    }
    state.counters["document_mb"] = double(bytes.size()) / 1e6;
}

void importParse(benchmark::State &state)
{
    REQUIRE_LIBRARY(state)
    const QByteArray &bytes = document();
    for (auto _ : state) {
        const ExportDocumentReader::Result read = ExportDocumentReader::read(bytes);
        if (!read.data) {
            state.SkipWithError(qPrintable(read.error));
            return;
        }
        benchmark::DoNotOptimize(read.data->items.size());
    }
}

void importBuild(benchmark::State &state)
{
    REQUIRE_LIBRARY(state)
    const ExportDocumentReader::Result read = ExportDocumentReader::read(document());
    if (!read.data) {
        state.SkipWithError(qPrintable(read.error));
        return;
    }
    for (auto _ : state) {
        StoreFile::Contents contents = ExportService::importRecords(*read.data);
        state.PauseTiming();
        LibraryStore::discard(contents);
        contents = {};
        state.ResumeTiming();
    }
}

// The whole import into a new library, as Import Data runs it, in a real event loop that
// sleeps while it waits (a loop polling on the interface thread would take a core from the
// workers). The iteration time is from start to the records being in the library and its
// file. "longest_stall_ms" is the longest time the interface thread did not get back to its
// event loop.
void importWhole(benchmark::State &state)
{
    REQUIRE_LIBRARY(state)
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("export.json"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(document()) != document().size()) {
        state.SkipWithError("the export document could not be written");
        return;
    }
    file.close();
    double longestStall = 0;
    double readMs = 0;
    double savingMs = 0;
    int run = 0;
    for (auto _ : state) {
        QString error;
        auto target =
            LibraryStore::open(dir.filePath(QStringLiteral("library-%1.store").arg(++run)), &error);
        if (!target) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        ImportJob job(*target, path);
        QEventLoop loop;
        QString failure;
        QObject::connect(&job, &ImportJob::finished, &loop, &QEventLoop::quit);
        QObject::connect(&job, &ImportJob::failed, [&](const QString &message) {
            failure = message;
            loop.quit();
        });
        std::optional<SteadyClock::time_point> savingFrom;
        QObject::connect(&job, &ImportJob::progress, [&](ImportJob::Phase phase) {
            if (phase == ImportJob::Phase::Saving && !savingFrom)
                savingFrom = SteadyClock::now();
        });
        StallMeter stalls;
        const auto begin = SteadyClock::now();
        stalls.begin();
        job.start();
        loop.exec();
        const double longestGap = stalls.end();
        state.SetIterationTime(millisecondsSince(begin) / 1e3);
        if (!failure.isEmpty()) {
            state.SkipWithError(qPrintable(failure));
            return;
        }
        longestStall = std::max(longestStall, longestGap);
        if (savingFrom) {
            readMs += std::chrono::duration<double, std::milli>(*savingFrom - begin).count();
            savingMs += millisecondsSince(*savingFrom);
        }
        state.PauseTiming();
        target.reset();
        state.ResumeTiming();
    }
    state.counters["longest_stall_ms"] = longestStall;
    state.counters["read_and_build_ms"] = readMs / double(state.iterations());
    state.counters["save_ms"] = savingMs / double(state.iterations());
}

const bool registered = [] {
    const auto milliseconds = [](benchmark::internal::Benchmark *b) {
        return b->Unit(benchmark::kMillisecond);
    };
    milliseconds(benchmark::RegisterBenchmark("export_document/100000", exportDocument))
        ->UseRealTime()
        ->MinTime(2.0);
    milliseconds(benchmark::RegisterBenchmark("export_peak_memory/100000", exportPeakMemory))
        ->UseRealTime()
        ->Iterations(1);
    milliseconds(benchmark::RegisterBenchmark("qjsondocument_parse_anchor/100000", plainJsonParse))
        ->UseRealTime()
        ->MinTime(2.0);
    milliseconds(benchmark::RegisterBenchmark("import_parse/100000", importParse))
        ->UseRealTime()
        ->MinTime(2.0);
    milliseconds(benchmark::RegisterBenchmark("import_build_records/100000", importBuild))
        ->UseRealTime()
        ->Iterations(3);
    milliseconds(benchmark::RegisterBenchmark("import_whole/100000", importWhole))
        ->UseManualTime()
        ->Iterations(3);
    return true;
}();

} // namespace
} // namespace quillory::bench
