// The main window at 100,000 items (and some at 1,000,000): the list and sidebar counts it
// computes on every refresh, starting the application up to the window's first paint and
// its memory then, and the longest stretch the interface thread spends away from its event
// loop while a person adds an item or a photo, types a query or chooses what is shown.

#include "BenchMain.h"
#include "ProcessMemory.h"
#include "StoreFixture.h"
#include "SyntheticLibrary.h"
#include "SyntheticPhoto.h"

#include <intake/ItemIntake.h>
#include <model/Clock.h>
#include <model/Item.h>
#include <model/LibraryStore.h>
#include <model/LiveList.h>
#include <model/Tag.h>
#include <search/SearchService.h>
#include <shell/QuilloryApp.h>
#include <state/AppState.h>
#include <state/LibraryCounts.h>
#include <state/LibraryFilter.h>
#include <views/widgets/SymbolIcon.h>
#include <views/window/ContentColumn.h>
#include <views/window/ItemGridView.h>
#include <views/window/ItemListModel.h>
#include <views/window/MainWindow.h>
#include <views/window/Sidebar.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>

namespace quillory::bench {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr std::size_t libraryItemCount = 100'000;
constexpr int paintTimeoutMilliseconds = 30'000;
constexpr int warmUpTimeoutMilliseconds = 30'000;

double millisecondsSince(SteadyClock::time_point begin)
{
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - begin).count();
}

// The offscreen platform warns about every window feature it lacks (raising, size hints),
// once per window shown; those lines would bury the results.
QtMessageHandler defaultMessageHandler = nullptr;

void dropPlatformWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("This plugin does not support")))
        return;
    defaultMessageHandler(type, context, message);
}

// Widgets need a QApplication. Without a display the offscreen platform still lays out and
// paints every widget into its backing store, so a first paint is a real one.
std::unique_ptr<QCoreApplication> makeApplication(int &argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        defaultMessageHandler = qInstallMessageHandler(dropPlatformWarnings);
    }
    auto app = std::make_unique<QApplication>(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillory"));
    QApplication::setApplicationName(QStringLiteral("Quillory"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillory"));
    SymbolIcon::installThemeFallback();
    return app;
}

const bool applicationRegistered = registerApplicationFactory(makeApplication);

// The fixture opened once for the list benchmarks, as the main window holds it: the store
// and its newest-first item list, with every search text built as the idle warm-up leaves
// them. Closed when the application object goes, while the store can still save.
struct OpenLibrary
{
    std::unique_ptr<LibraryStore> store;
    std::unique_ptr<LiveList> items;
};

std::unique_ptr<OpenLibrary> &openLibrarySlot()
{
    static std::unique_ptr<OpenLibrary> library;
    return library;
}

void closeLibrary()
{
    std::unique_ptr<OpenLibrary> &library = openLibrarySlot();
    if (library) {
        library->items.reset();
        library->store.reset();
        library.reset();
    }
}

// Runs the event loop for at least `atLeastMilliseconds` and until the library's search
// text has been copied into the index, as the application does while idle after start-up.
void waitForSearchIndex(int atLeastMilliseconds)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < atLeastMilliseconds || (SearchService::shared().isPreparingIndex() &&
                                                      waited.elapsed() < warmUpTimeoutMilliseconds))
        QCoreApplication::processEvents();
}

// Null (with `error` set) when the fixture cannot be opened.
const OpenLibrary *openLibrary(QString *error)
{
    std::unique_ptr<OpenLibrary> &library = openLibrarySlot();
    if (library)
        return library.get();
    const QString &path = StoreFixture::path(libraryItemCount);
    if (path.isEmpty()) {
        *error = QStringLiteral("the fixture store could not be written");
        return nullptr;
    }
    auto opened = std::make_unique<OpenLibrary>();
    opened->store = LibraryStore::open(path, error);
    if (!opened->store)
        return nullptr;
    opened->items = LiveList::itemsByCreatedAt(*opened->store, Qt::DescendingOrder);
    SearchService::shared().prepareIndex(opened->store->items());
    waitForSearchIndex(0);
    library = std::move(opened);
    qAddPostRoutine(closeLibrary);
    return library.get();
}

enum class ListVariant { AllItems, Favorites, Query, TitleSort };

// One refresh's worth of list work, as MainWindow::refresh() and refreshSidebar() do it.
std::size_t shownListAndCounts(LibraryFilter &filter, LibraryCounts &counts,
                               const std::vector<Record *> &records,
                               const SidebarSelection &selection, const AppState &appState)
{
    const std::vector<Item *> shown =
        filter.shownItems(records, selection, appState, Clock::nowMSecs());
    counts.update(Clock::nowMSecs());
    benchmark::DoNotOptimize(counts.smartFolderCounts().data());
    return shown.size();
}

void shownList(benchmark::State &state, ListVariant variant)
{
    QString error;
    const OpenLibrary *library = openLibrary(&error);
    if (library == nullptr) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    const std::vector<Record *> &records = library->items->records();

    AppState appState;
    SidebarSelection selection;
    switch (variant) {
    case ListVariant::AllItems:
        break;
    case ListVariant::Favorites:
        selection.smartFolder = SmartFolder(SmartFolder::Favorites);
        break;
    case ListVariant::Query:
        appState.setSearchQuery(QStringLiteral("travel"));
        break;
    case ListVariant::TitleSort:
        appState.setSortOrder(SortOrder::TitleAscending);
        break;
    }

    // A fresh filter each run, so the first call pays for what a window's first refresh
    // pays (the collation keys of a title sort); the timed calls are the steady state.
    LibraryFilter filter(SearchService::shared());
    LibraryCounts counts(*library->store);
    const auto firstBegin = SteadyClock::now();
    std::size_t shown = shownListAndCounts(filter, counts, records, selection, appState);
    const double firstMilliseconds = millisecondsSince(firstBegin);

    for (auto _ : state)
        shown = shownListAndCounts(filter, counts, records, selection, appState);

    state.counters["items"] = double(records.size());
    state.counters["shown"] = double(shown);
    state.counters["first_call_ms"] = firstMilliseconds;
}

// Title A-Z kept while one title after another changes: each refresh places the renamed
// item among the others instead of ranking the library again.
void titleSortAfterRename(benchmark::State &state)
{
    QString error;
    const OpenLibrary *library = openLibrary(&error);
    if (library == nullptr) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    const std::vector<Record *> &records = library->items->records();
    AppState appState;
    appState.setSortOrder(SortOrder::TitleAscending);
    const SidebarSelection selection;
    LibraryFilter filter(SearchService::shared());
    LibraryCounts counts(*library->store);
    std::size_t shown = shownListAndCounts(filter, counts, records, selection, appState);
    std::size_t next = 0;
    for (auto _ : state) {
        auto *item = static_cast<Item *>(records[next++ % records.size()]);
        item->setTitle(item->title() + QStringLiteral(" (2)"));
        shown = shownListAndCounts(filter, counts, records, selection, appState);
    }
    state.counters["shown"] = double(shown);
}

// Notes a paint of a widget, or of it and its children, since it was made or armed.
class PaintWatch final : public QObject
{
public:
    enum class Reach { WidgetOnly, WithChildren };

    explicit PaintWatch(QWidget &widget, Reach reach = Reach::WithChildren)
    {
        widget.installEventFilter(this);
        if (reach == Reach::WithChildren) {
            for (QWidget *child : widget.findChildren<QWidget *>())
                child->installEventFilter(this);
        }
    }

    void arm() { m_painted = false; }
    bool painted() const { return m_painted; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            m_painted = true;
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_painted = false;
};

struct StartupResult
{
    double milliseconds = 0;
    std::size_t shown = 0;
    QString error;
    // Resident megabytes when the window was painted and once the idle warm-up was done;
    // measured only when asked for, since waiting for the warm-up takes seconds.
    double paintedMegabytes = -1;
    double settledMegabytes = -1;
    double peakMegabytes = -1;
};

enum class Memory { Skip, Measure };

// From opening the store to the return of the event-loop pass in which the main window
// was painted: the whole window is painted in one pass, children after their parent.
StartupResult startOnce(const QString &path, Memory memory = Memory::Skip)
{
    StartupResult result;
    const auto begin = SteadyClock::now();
    QString error;
    std::unique_ptr<QuilloryApp> app = QuilloryApp::create(LibraryStore::open(path, &error));
    if (!app) {
        result.error = error;
        return result;
    }
    app->start();
    MainWindow *window = app->mainWindow();
    if (window == nullptr) {
        result.error = QStringLiteral("start() showed no main window");
        return result;
    }
    PaintWatch watch(*window);
    QElapsedTimer waited;
    waited.start();
    while (!watch.painted() && waited.elapsed() < paintTimeoutMilliseconds)
        QCoreApplication::processEvents();
    result.milliseconds = millisecondsSince(begin);
    if (!watch.painted())
        result.error = QStringLiteral("the main window was not painted within %1 ms")
                           .arg(paintTimeoutMilliseconds);

    result.shown = std::size_t(window->content().model().rowCount());
    if (memory == Memory::Measure) {
        result.paintedMegabytes = ProcessMemory::statusMegabytes("VmRSS");
        waitForSearchIndex(3000);
        result.settledMegabytes = ProcessMemory::statusMegabytes("VmRSS");
        result.peakMegabytes = ProcessMemory::statusMegabytes("VmHWM");
    }
    app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    return result;
}

// first_ms is the first start in the process; rss_painted_MB is VmRSS at that paint,
// rss_settled_MB once at least three more seconds have passed and the idle preparation has
// copied the library into the search index, and peak_rss_MB is VmHWM then.
void startupToFirstPaint(benchmark::State &state, std::size_t itemCount)
{
    const QString &path = StoreFixture::path(itemCount);
    if (path.isEmpty()) {
        state.SkipWithError("the fixture store could not be written");
        return;
    }
    // The first start in the process is what launching the application costs; later ones
    // reuse heap pages, fonts, icons and the style that earlier ones loaded.
    const StartupResult first = startOnce(path, Memory::Measure);
    if (!first.error.isEmpty()) {
        state.SkipWithError(qPrintable(first.error));
        return;
    }

    std::size_t shown = 0;
    for (auto _ : state) {
        const StartupResult result = startOnce(path);
        if (!result.error.isEmpty()) {
            state.SkipWithError(qPrintable(result.error));
            return;
        }
        shown = result.shown;
        state.SetIterationTime(result.milliseconds / 1e3);
    }
    state.counters["shown"] = double(shown);
    state.counters["first_ms"] = first.milliseconds;
    state.counters["rss_painted_MB"] = first.paintedMegabytes;
    state.counters["rss_settled_MB"] = first.settledMegabytes;
    state.counters["peak_rss_MB"] = first.peakMegabytes;
}

// A 30-megapixel camera photo (6708 x 4472).
const QByteArray &largePhoto()
{
    static const QByteArray bytes = SyntheticPhoto::jpeg(6708, 4472);
    return bytes;
}

// Adding a 30-megapixel photo to the running window, as a paste or a drop does: the longest
// time the interface thread spends without returning to its event loop (the iteration
// time), until the picture and its thumbnail are stored in the item.
void addLargePhoto(benchmark::State &state)
{
    const QByteArray &photo = largePhoto();
    QTemporaryDir dir;
    QString error;
    std::unique_ptr<QuilloryApp> app = QuilloryApp::create(
        LibraryStore::open(dir.filePath(QStringLiteral("library.store")), &error));
    if (!app) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    app->start();
    ItemIntake &intake = app->mainWindow()->intake();
    double storedMilliseconds = 0;
    for (auto _ : state) {
        bool stored = false;
        const QMetaObject::Connection watch =
            QObject::connect(&intake, &ItemIntake::imagesStored, [&stored] { stored = true; });
        const auto begin = SteadyClock::now();
        intake.createImageItem(photo);
        double longest = millisecondsSince(begin);
        while (!stored) {
            const auto pass = SteadyClock::now();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            longest = std::max(longest, millisecondsSince(pass));
        }
        storedMilliseconds = millisecondsSince(begin);
        QObject::disconnect(watch);
        state.SetIterationTime(longest / 1e3);
    }
    state.counters["stored_ms"] = storedMilliseconds;
    state.counters["photo_mb"] = double(photo.size()) / 1e6;
    app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The application over a library of `itemCount` items, started, its window painted and the
// idle warm-up done, as after a minute of use; null (and the benchmark skipped) when it
// cannot be.
std::unique_ptr<QuilloryApp> startedApplication(benchmark::State &state,
                                                std::size_t itemCount = libraryItemCount)
{
    const QString &path = StoreFixture::path(itemCount);
    if (path.isEmpty()) {
        state.SkipWithError("the fixture store could not be written");
        return nullptr;
    }
    QString error;
    std::unique_ptr<QuilloryApp> app = QuilloryApp::create(LibraryStore::open(path, &error));
    if (!app) {
        state.SkipWithError(qPrintable(error));
        return nullptr;
    }
    app->start();
    waitForSearchIndex(3000);
    return app;
}

// One item added to the running window's 100,000-item library, as a paste or Dropslip adds
// it, and deleted again (untimed). The event loop is run one pass at a time from the
// insertion until the list, the counts and the sidebar have been updated and the list has
// been painted again: the iteration time is the longest pass (the insertion itself counts as
// one, and so do the passes of the 50 ms after it), `busy_ms` the median over the
// iterations of the time of all passes until painted together, `busy_afterwards_ms` that of
// the passes in the 50 ms after, and
// `delete_ms` (the longest pass of any deletion) and `delete_busy_ms` the same for the
// deletion. Between them the item is renamed and then tagged: `rename_ms` and `tag_ms` are
// the medians of their longest passes. One such round before the iterations paints the
// cards' kept pieces and the tag's chip once for all; `first_add_ms` is its addition.
void addOneItem(benchmark::State &state)
{
    std::unique_ptr<QuilloryApp> app = startedApplication(state);
    if (!app)
        return;
    MainWindow *window = app->mainWindow();
    LibraryStore &store = app->store();
    bool refreshed = false;
    QObject::connect(window, &MainWindow::refreshed, [&refreshed] { refreshed = true; });
    PaintWatch listPainted(*window->content().view()->viewport(), PaintWatch::Reach::WidgetOnly);
    struct Passes
    {
        double longest = 0;
        double busy = 0;
        double afterwards = 0;
    };
    const auto passesUntilShown = [&](const auto &action) {
        refreshed = false;
        const auto begin = SteadyClock::now();
        action();
        Passes passes;
        passes.longest = passes.busy = millisecondsSince(begin);
        const auto give = SteadyClock::now();
        while (!refreshed || !listPainted.painted()) {
            if (!refreshed)
                listPainted.arm(); // only a paint of the new list counts
            const auto pass = SteadyClock::now();
            QCoreApplication::processEvents();
            const double took = millisecondsSince(pass);
            passes.longest = std::max(passes.longest, took);
            if (took > 0.02) // idle passes return at once
                passes.busy += took;
            if (millisecondsSince(give) > 5000)
                break;
        }
        // What the window does once the new list is painted (the autosave, the sidebar's
        // repaint) comes in passes of its own; the longest of them counts too.
        const auto shown = SteadyClock::now();
        while (millisecondsSince(shown) < 50) {
            const auto pass = SteadyClock::now();
            QCoreApplication::processEvents();
            const double took = millisecondsSince(pass);
            passes.longest = std::max(passes.longest, took);
            if (took > 0.02)
                passes.afterwards += took;
        }
        return passes;
    };
    double deletingLongest = 0;
    std::vector<double> renamingLongest;
    std::vector<double> taggingLongest;
    Tag *tag = store.insert(std::make_unique<Tag>(QStringLiteral("kept"), QColor()));
    std::vector<double> addingBusy;
    std::vector<double> deletingBusy;
    std::vector<double> addingAfterwards;
    struct Cycle
    {
        Passes adding;
        Passes renaming;
        Passes tagging;
        Passes removing;
    };
    int made = 0;
    const auto cycle = [&] {
        Cycle c;
        Item *added = nullptr;
        ++made;
        c.adding = passesUntilShown([&] {
            added = store.insert(std::make_unique<Item>(
                ItemType::WebLink, QStringLiteral("A page kept while browsing %1").arg(made),
                QUrl(QStringLiteral("https://example.org/kept/%1").arg(made))));
        });
        c.renaming = passesUntilShown(
            [&] { added->setTitle(QStringLiteral("A page renamed while kept %1").arg(made)); });
        c.tagging = passesUntilShown([&] { added->addTag(tag); });
        c.removing = passesUntilShown([&] { store.remove(added); });
        return c;
    };
    const Cycle first = cycle();
    for (auto _ : state) {
        const Cycle c = cycle();
        state.SetIterationTime(c.adding.longest / 1e3);
        addingBusy.push_back(c.adding.busy);
        addingAfterwards.push_back(c.adding.afterwards);
        renamingLongest.push_back(c.renaming.longest);
        taggingLongest.push_back(c.tagging.longest);
        deletingLongest = std::max(deletingLongest, c.removing.longest);
        deletingBusy.push_back(c.removing.busy);
    }
    const auto median = [](std::vector<double> values) {
        if (values.empty())
            return 0.0;
        std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
        return values[values.size() / 2];
    };
    state.counters["busy_ms"] = median(addingBusy);
    state.counters["busy_afterwards_ms"] = median(addingAfterwards);
    state.counters["delete_ms"] = deletingLongest;
    state.counters["delete_busy_ms"] = median(deletingBusy);
    state.counters["rename_ms"] = median(renamingLongest);
    state.counters["tag_ms"] = median(taggingLongest);
    state.counters["first_add_ms"] = first.adding.longest;
    state.counters["shown"] = double(window->content().model().rowCount());
    app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Typing a query into the running window's search field, one character at a time as a
// person types, in a 100,000-item library: for each character, the longest time the
// interface thread spends away from its event loop until the list shows the new result
// (the iteration time; the longest over the word). Each iteration types "garden" into an
// empty field and clears it again, untimed (clear_stall_ms is the longest pass of the
// clearing). charN_ms is the N-th character of the last iteration, worst_ms the longest
// character of the run, word_ms the whole word; first_search_ms is how long the first word
// after the start took to show its list (it also brings the index up to the list), and
// first_search_stall_ms its longest pass.
void typeQuery(benchmark::State &state, std::size_t itemCount)
{
    std::unique_ptr<QuilloryApp> app = startedApplication(state, itemCount);
    if (!app)
        return;
    MainWindow *window = app->mainWindow();
    QLineEdit *field = window->sidebar().searchField();
    bool refreshed = false;
    QObject::connect(window, &MainWindow::refreshed, [&refreshed] { refreshed = true; });
    // The longest event-loop pass until the window has refreshed.
    const auto settle = [&] {
        double longest = 0;
        while (!refreshed) {
            const auto pass = SteadyClock::now();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            longest = std::max(longest, millisecondsSince(pass));
        }
        return longest;
    };
    const QString word = QStringLiteral("garden");
    // The first search copies the library's text into the search index: timed apart.
    const auto firstBegin = SteadyClock::now();
    refreshed = false;
    field->setText(word);
    const double typing = millisecondsSince(firstBegin);
    const double firstStall = std::max(typing, settle());
    const double firstMilliseconds = millisecondsSince(firstBegin);
    // Clearing the field shows the whole library again: the longest pass of that too.
    double clearStall = 0;
    const auto clear = [&] {
        refreshed = false;
        const auto clearing = SteadyClock::now();
        field->clear();
        clearStall = std::max({clearStall, millisecondsSince(clearing), settle()});
    };
    clear();
    double typedMilliseconds = 0;
    double worstCharacter = 0;
    std::vector<double> byCharacter(std::size_t(word.size()), 0.0);
    std::size_t shown = 0;
    for (auto _ : state) {
        double longest = 0;
        const auto begin = SteadyClock::now();
        for (qsizetype i = 1; i <= word.size(); ++i) {
            refreshed = false;
            const auto keystroke = SteadyClock::now();
            field->setText(word.left(i));
            double character = millisecondsSince(keystroke);
            while (!refreshed) {
                const auto pass = SteadyClock::now();
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
                character = std::max(character, millisecondsSince(pass));
            }
            byCharacter[std::size_t(i - 1)] = character; // the last iteration's
            longest = std::max(longest, character);
        }
        typedMilliseconds = millisecondsSince(begin);
        worstCharacter = std::max(worstCharacter, longest);
        shown = std::size_t(window->content().model().rowCount());
        state.SetIterationTime(longest / 1e3);
        state.PauseTiming();
        clear();
        state.ResumeTiming();
    }
    state.counters["shown"] = double(shown);
    state.counters["clear_stall_ms"] = clearStall;
    state.counters["word_ms"] = typedMilliseconds;
    state.counters["worst_ms"] = worstCharacter;
    state.counters["first_search_ms"] = firstMilliseconds;
    state.counters["first_search_stall_ms"] = firstStall;
    for (std::size_t i = 0; i < byCharacter.size(); ++i)
        state.counters["char" + std::to_string(i + 1) + "_ms"] = byCharacter[i];
    app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Choosing what the list shows, in the running window: each smart folder in turn, then the
// title order and back. Each choice's figure is the longest event-loop pass from the choice
// until the window has refreshed and 300 ms more have passed (what follows a refresh, such as
// painting, counts too). The first Title A-Z ranks every title of the library, off the
// interface thread in a library this large; first_title_sort_shown_ms is how long the list
// took to show in title order. One iteration: later choices of the title order cost what a
// refresh costs.
void chooseWhatIsShown(benchmark::State &state, std::size_t itemCount)
{
    std::unique_ptr<QuilloryApp> app = startedApplication(state, itemCount);
    if (!app)
        return;
    MainWindow *window = app->mainWindow();
    bool refreshed = false;
    QObject::connect(window, &MainWindow::refreshed, [&refreshed] { refreshed = true; });
    double shownAfter = 0; // the last choice's, from the choice until the window refreshed
    const auto longestPass = [&](const auto &choose) {
        refreshed = false;
        const auto begin = SteadyClock::now();
        choose();
        double longest = millisecondsSince(begin);
        shownAfter = -1;
        auto until = SteadyClock::now() + std::chrono::milliseconds(300);
        while (!refreshed || SteadyClock::now() < until) {
            if (refreshed && shownAfter < 0) {
                shownAfter = millisecondsSince(begin);
                until = std::max(until, SteadyClock::now() + std::chrono::milliseconds(300));
            }
            const auto pass = SteadyClock::now();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            longest = std::max(longest, millisecondsSince(pass));
        }
        if (shownAfter < 0)
            shownAfter = millisecondsSince(begin);
        return longest;
    };
    const std::pair<const char *, SmartFolder::Value> folders[] = {
        {"favorites_ms", SmartFolder::Favorites}, {"recently_added_ms", SmartFolder::RecentlyAdded},
        {"inbox_ms", SmartFolder::Inbox},         {"archived_ms", SmartFolder::Archived},
        {"all_items_ms", SmartFolder::AllItems},
    };
    for (auto _ : state) {
        double longestFolder = 0;
        for (const auto &[name, folder] : folders) {
            const double ms = longestPass([&] { window->chooseSmartFolder(SmartFolder(folder)); });
            state.counters[name] = ms;
            longestFolder = std::max(longestFolder, ms);
        }
        state.counters["first_title_sort_ms"] =
            longestPass([&] { app->state().setSortOrder(SortOrder::TitleAscending); });
        state.counters["first_title_sort_shown_ms"] = shownAfter;
        state.counters["back_to_date_ms"] =
            longestPass([&] { app->state().setSortOrder(SortOrder::DateAddedDescending); });
        state.counters["title_sort_again_ms"] =
            longestPass([&] { app->state().setSortOrder(SortOrder::TitleAscending); });
        state.SetIterationTime(longestFolder / 1e3);
    }
    app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Start-up goes first so its first run sees a fresh process.
const bool registered = [] {
    benchmark::RegisterBenchmark("startup_to_first_paint/100000", startupToFirstPaint,
                                 libraryItemCount)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(5);
    const std::pair<const char *, ListVariant> variants[] = {
        {"shown_list_and_counts/100000", ListVariant::AllItems},
        {"shown_list_and_counts_favorites/100000", ListVariant::Favorites},
        {"shown_list_and_counts_query/100000", ListVariant::Query},
        {"shown_list_and_counts_title_sort/100000", ListVariant::TitleSort},
    };
    for (const auto &[name, variant] : variants) {
        benchmark::RegisterBenchmark(name, shownList, variant)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(2.0);
    }
    // Last of the list benchmarks: it renames items of the shared library.
    benchmark::RegisterBenchmark("title_sort_after_renaming_one/100000", titleSortAfterRename)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(2.0);
    benchmark::RegisterBenchmark("type_query_longest_stall/100000", typeQuery, libraryItemCount)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(8);
    benchmark::RegisterBenchmark("choose_longest_stall/100000", chooseWhatIsShown, libraryItemCount)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(1);
    benchmark::RegisterBenchmark("choose_longest_stall/1000000", chooseWhatIsShown,
                                 10 * libraryItemCount)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(1);
    benchmark::RegisterBenchmark("type_query_longest_stall/1000000", typeQuery,
                                 10 * libraryItemCount)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(4);
    benchmark::RegisterBenchmark("add_one_item_longest_stall/100000", addOneItem)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(20);
    benchmark::RegisterBenchmark("add_photo_longest_stall/30mp", addLargePhoto)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
    // Its first start and memory are a fresh process's only when it runs alone
    // (--benchmark_filter=startup_to_first_paint/1000000).
    benchmark::RegisterBenchmark("startup_to_first_paint/1000000", startupToFirstPaint,
                                 10 * libraryItemCount)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(1);
    return true;
}();

} // namespace
} // namespace quillory::bench
