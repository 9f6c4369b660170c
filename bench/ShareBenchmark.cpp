// Sharing: how long Quillory's interface thread spends turning an inbox full of records into
// items, and how long a `dropslip --yes URL` takes from start to exit, beside the cost of
// starting any process at all on the same machine.
//
// - inbox_scan/1000: 1,000 link records written (untimed) into the inbox; the timed part is
//   one PendingItemsService::processPendingItems() on a fresh store: reading and checking
//   every record, inserting the items through the intake (which queues their enrichment),
//   saving, and deleting the records. It all runs on the interface thread.
// - process_start/true: starting /bin/true and waiting for it to end.
// - dropslip_help: the dropslip executable printing its help (Qt's start-up, nothing written).
// - dropslip_yes_url: `dropslip --yes https://...` writing one record and ringing the bus.

#include <inbox/InboxLayout.h>
#include <inbox/PendingItemRecord.h>
#include <intake/ItemEnricher.h>
#include <intake/ItemIntake.h>
#include <intake/PendingItemsService.h>
#include <metadata/MetadataService.h>
#include <model/LibraryStore.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace quillory::bench {
namespace {

void writeLinkRecords(const QString &inbox, int count)
{
    for (int i = 0; i < count; ++i) {
        PendingItemRecord record;
        record.type = QStringLiteral("web_link");
        record.title = QStringLiteral("Shared link %1").arg(i);
        record.createdAt = QDateTime::currentDateTimeUtc();
        // Refused at once on the discard port: the queued enrichment costs no waiting.
        record.url = QStringLiteral("http://127.0.0.1:9/article/%1").arg(i);
        QFile file(inbox + QLatin1Char('/') + InboxLayout::uniqueName(InboxLayout::recordSuffix));
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write(record.toJson());
    }
}

void inbox_scan(benchmark::State &state)
{
    const int count = int(state.range(0));
    const auto inbox = InboxLayout::ensureInbox();
    if (!inbox) {
        state.SkipWithError("no inbox");
        return;
    }
    for (auto _ : state) {
        QTemporaryDir dir;
        QString error;
        auto store = LibraryStore::open(dir.filePath(QStringLiteral("library.store")), &error);
        if (!store) {
            state.SkipWithError(error.toStdString().c_str());
            return;
        }
        ItemEnricher enricher(*store, MetadataService::shared());
        ItemIntake intake(*store, enricher);
        PendingItemsService service(*store, intake);
        writeLinkRecords(*inbox, count);

        QElapsedTimer clock;
        clock.start();
        service.processPendingItems();
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);

        if (store->items().size() != std::size_t(count) ||
            !QDir(*inbox).entryList({QStringLiteral("*.json")}, QDir::Files).isEmpty()) {
            state.SkipWithError("the scan did not import every record");
            return;
        }
    }
    state.counters["records_per_s"] =
        benchmark::Counter(double(count), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(inbox_scan)->Arg(1000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void runToEnd(benchmark::State &state, const QString &program, const QStringList &arguments)
{
    for (auto _ : state) {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer clock;
        clock.start();
        process.start(program, arguments);
        if (!process.waitForFinished(10000) || process.exitCode() != 0) {
            state.SkipWithError("the program did not end well");
            return;
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        process.readAllStandardOutput();
    }
}

void process_start(benchmark::State &state)
{
    runToEnd(state, QStringLiteral("/bin/true"), {});
}
BENCHMARK(process_start)
    ->Name("process_start/true")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void dropslip_help(benchmark::State &state)
{
    runToEnd(state, QStringLiteral(DROPSLIP_PATH), {QStringLiteral("--help")});
}
BENCHMARK(dropslip_help)->UseManualTime()->Unit(benchmark::kMillisecond);

void dropslip_yes_url(benchmark::State &state)
{
    runToEnd(state, QStringLiteral(DROPSLIP_PATH),
             {QStringLiteral("--yes"), QStringLiteral("https://example.org/read/later")});
    if (const auto inbox = InboxLayout::inboxPath())
        QDir(*inbox).removeRecursively();
}
BENCHMARK(dropslip_yes_url)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quillory::bench
