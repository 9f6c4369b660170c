// A browser's bookmark file of 100,000 bookmarks in 1,000 folders, written as Chromium and
// Firefox write theirs (dates, an icon on every link, tags on a third, notes on a quarter):
// reading it, the whole import into a new library with its longest stretch on the
// interface thread, and exporting that library as a bookmark file again.

#include "BenchMain.h"
#include "StallMeter.h"
#include "SyntheticLibrary.h"

#include <bookmarks/BookmarkExportJob.h>
#include <bookmarks/BookmarkFileReader.h>
#include <bookmarks/BookmarkFileWriter.h>
#include <bookmarks/BookmarkImportJob.h>
#include <model/LibraryStore.h>

#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <memory>
#include <optional>
#include <random>

namespace quillory::bench {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr int bookmarkCount = 100'000;
constexpr int topFolders = 20;
constexpr int foldersEach = 49; // 20 + 20 * 49 = 1,000 folders

double millisecondsSince(SteadyClock::time_point begin)
{
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - begin).count();
}

QByteArray words(std::mt19937_64 &random, int count, char separator)
{
    const QStringList &list = SyntheticLibrary::words();
    QByteArray out;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            out += separator;
        out += list[qsizetype(random() % quint64(list.size()))].toUtf8();
    }
    return out;
}

QByteArray generateFile()
{
    std::mt19937_64 random(SyntheticLibrary::defaultSeed);
    const QByteArray icon = "data:image/png;base64," + QByteArray(120, 'A');
    QByteArray out = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                     "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                     "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n";
    out.reserve(40 * 1024 * 1024);
    const int perFolder = bookmarkCount / (topFolders * (1 + foldersEach));
    int made = 0;
    const auto links = [&](int indent) {
        const QByteArray pad(indent, ' ');
        for (int i = 0; i < perFolder; ++i, ++made) {
            const QByteArray date = QByteArray::number(1'600'000'000 + made * 300);
            out += pad + "<DT><A HREF=\"https://site" + QByteArray::number(random() % 5000) +
                   ".example/" + words(random, 3, '-') + "?id=" + QByteArray::number(made) +
                   "\" ADD_DATE=\"" + date + "\" LAST_MODIFIED=\"" + date + "\" ICON=\"" + icon +
                   "\"";
            if (made % 3 == 0)
                out += " TAGS=\"" + words(random, 2, ',') + "\"";
            out += ">" + words(random, 6, ' ') + "</A>\n";
            if (made % 4 == 0)
                out += pad + "<DD>" + words(random, 12, ' ') + "\n";
        }
    };
    for (int top = 0; top < topFolders; ++top) {
        out += "    <DT><H3 ADD_DATE=\"1600000000\">" + words(random, 2, ' ') + " " +
               QByteArray::number(top) + "</H3>\n    <DL><p>\n";
        for (int child = 0; child < foldersEach; ++child) {
            out += "        <DT><H3 ADD_DATE=\"1600000000\">" + words(random, 2, ' ') + " " +
                   QByteArray::number(child) + "</H3>\n        <DL><p>\n";
            links(12);
            out += "        </DL><p>\n";
        }
        links(8);
        out += "    </DL><p>\n";
    }
    out += "</DL><p>\n";
    return out;
}

const QByteArray &bookmarkFile()
{
    static const QByteArray file = generateFile();
    return file;
}

QTemporaryDir &workDir()
{
    static QTemporaryDir dir;
    return dir;
}

const QString &bookmarkPath()
{
    static const QString path = [] {
        const QString p = workDir().filePath(QStringLiteral("bookmarks.html"));
        QFile file(p);
        if (!file.open(QIODevice::WriteOnly) || file.write(bookmarkFile()) != bookmarkFile().size())
            return QString();
        return p;
    }();
    return path;
}

struct ImportRun
{
    QString failure;
    double milliseconds = 0;
    double longestStall = 0;
};

// As Import Bookmarks... runs it, in a real event loop that sleeps while it waits.
ImportRun importInto(LibraryStore &store)
{
    BookmarkImportJob job(store, bookmarkPath());
    QEventLoop loop;
    ImportRun run;
    QObject::connect(&job, &BookmarkImportJob::finished, &loop, &QEventLoop::quit);
    QObject::connect(&job, &BookmarkImportJob::failed, [&](const QString &message) {
        run.failure = message;
        loop.quit();
    });
    StallMeter stalls;
    const auto begin = SteadyClock::now();
    stalls.begin();
    job.start();
    loop.exec();
    run.longestStall = stalls.end();
    run.milliseconds = millisecondsSince(begin);
    return run;
}

void readFile(benchmark::State &state)
{
    std::size_t bookmarks = 0;
    for (auto _ : state) {
        auto read = BookmarkFileReader::read(bookmarkFile());
        bookmarks = read.tree ? read.tree->bookmarks.size() : 0;
        benchmark::DoNotOptimize(read);
    }
    state.counters["bookmarks"] = double(bookmarks);
    state.counters["file_mb"] = double(bookmarkFile().size()) / 1e6;
}

// From start to the records being in the library and its file.
void importWhole(benchmark::State &state)
{
    if (bookmarkPath().isEmpty()) {
        state.SkipWithError("the bookmark file could not be written");
        return;
    }
    double longestStall = 0;
    int run = 0;
    for (auto _ : state) {
        QString error;
        auto target = LibraryStore::open(
            workDir().filePath(QStringLiteral("import-%1.store").arg(++run)), &error);
        if (!target) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        const ImportRun result = importInto(*target);
        state.SetIterationTime(result.milliseconds / 1e3);
        if (!result.failure.isEmpty()) {
            state.SkipWithError(qPrintable(result.failure));
            return;
        }
        longestStall = std::max(longestStall, result.longestStall);
        state.PauseTiming();
        target.reset();
        state.ResumeTiming();
    }
    state.counters["longest_stall_ms"] = longestStall;
}

// The library the file makes, imported once for the export benchmarks.
LibraryStore *importedLibrary()
{
    static const std::unique_ptr<LibraryStore> store = [] {
        QString error;
        auto opened =
            LibraryStore::open(workDir().filePath(QStringLiteral("exported.store")), &error);
        if (opened && (bookmarkPath().isEmpty() || !importInto(*opened).failure.isEmpty()))
            opened.reset();
        return opened;
    }();
    return store.get();
}

// The copy of the records the interface thread makes, then the writing a worker does.
void exportFile(benchmark::State &state)
{
    LibraryStore *library = importedLibrary();
    if (library == nullptr) {
        state.SkipWithError("the library could not be imported");
        return;
    }
    double copyMs = 0;
    qsizetype bytes = 0;
    for (auto _ : state) {
        const auto begin = SteadyClock::now();
        const BookmarkFileWriter::LibraryCopy copy = BookmarkFileWriter::copyOf(*library);
        copyMs += millisecondsSince(begin);
        const QByteArray written = BookmarkFileWriter::write(BookmarkFileWriter::treeOf(copy));
        bytes = written.size();
        benchmark::DoNotOptimize(written);
    }
    state.counters["interface_thread_copy_ms"] = copyMs / double(state.iterations());
    state.counters["file_mb"] = double(bytes) / 1e6;
}

// Export Bookmarks... as the window runs it: from start to the file saved.
void exportWhole(benchmark::State &state)
{
    LibraryStore *library = importedLibrary();
    if (library == nullptr) {
        state.SkipWithError("the library could not be imported");
        return;
    }
    double longestStall = 0;
    for (auto _ : state) {
        BookmarkExportJob job(*library, workDir().filePath(QStringLiteral("out.html")));
        QEventLoop loop;
        QString failure;
        QObject::connect(&job, &BookmarkExportJob::finished, &loop, &QEventLoop::quit);
        QObject::connect(&job, &BookmarkExportJob::failed, [&](const QString &message) {
            failure = message;
            loop.quit();
        });
        StallMeter stalls;
        const auto begin = SteadyClock::now();
        stalls.begin();
        job.start();
        loop.exec();
        longestStall = std::max(longestStall, stalls.end());
        state.SetIterationTime(millisecondsSince(begin) / 1e3);
        if (!failure.isEmpty()) {
            state.SkipWithError(qPrintable(failure));
            return;
        }
    }
    state.counters["longest_stall_ms"] = longestStall;
}

const bool registered = [] {
    const auto milliseconds = [](benchmark::internal::Benchmark *b) {
        return b->Unit(benchmark::kMillisecond);
    };
    milliseconds(benchmark::RegisterBenchmark("bookmark_read/100000", readFile))
        ->UseRealTime()
        ->MinTime(2.0);
    milliseconds(benchmark::RegisterBenchmark("bookmark_import_whole/100000", importWhole))
        ->UseManualTime()
        ->Iterations(5);
    milliseconds(benchmark::RegisterBenchmark("bookmark_export_file/100000", exportFile))
        ->UseRealTime()
        ->MinTime(2.0);
    milliseconds(benchmark::RegisterBenchmark("bookmark_export_whole/100000", exportWhole))
        ->UseManualTime()
        ->Iterations(5);
    return true;
}();

} // namespace
} // namespace quillory::bench
