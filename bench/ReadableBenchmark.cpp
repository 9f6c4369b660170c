// Extracting a page's readable text, in pages a second on one core, over the pages the
// readable tests read (tests/readable/fixtures: an article with navigation, comments and
// a footer, a feature with boxes set in its body, a page of links, a search page, a layout
// of nested tables, a blog of <div>s and <br>s, a page in Arabic, Hebrew, Japanese and
// Chinese; 1 to 7 KiB each).
//
// - readable_fixtures: decoding and extracting each fixture as written.
// - readable_dressed: the same pages dressed as a news site serves them: 24 KiB of inline
//   script and 6 KiB of style in the head, a menu of 120 links and a footer of 40 before
//   and after the content (about 45 KiB a page).
// - gumbo_parse_*: the anchor, gumbo's parse (and freeing) alone of the same pages' bytes,
//   with no decoding, filtering, scoring or writing.

#include <html/HtmlDecoding.h>
#include <readable/ReadableExtractor.h>

#include <QDir>
#include <QFile>
#include <QUrl>
#include <benchmark/benchmark.h>
#include <gumbo.h>

namespace quillory::bench {
namespace {

QList<QByteArray> fixturePages()
{
    QList<QByteArray> pages;
    const QDir folder(QStringLiteral(QUILLORY_READABLE_FIXTURES));
    for (const QString &name : folder.entryList({QStringLiteral("*.html")}, QDir::Files)) {
        QFile file(folder.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            pages << file.readAll();
    }
    return pages;
}

QByteArray dressing(const char *kind)
{
    QByteArray out;
    if (qstrcmp(kind, "head") == 0) {
        out += "<style>";
        for (int i = 0; out.size() < 6 * 1024; ++i)
            out += ".block-" + QByteArray::number(i) +
                   " { margin: 0 auto; padding: 4px 8px; color: #334; }\n";
        out += "</style><script>";
        for (int i = 0; out.size() < 30 * 1024; ++i)
            out += "function handler" + QByteArray::number(i) +
                   "(event) { if (event && event.target) { window.queue.push(['click', " +
                   QByteArray::number(i) + ", '<div>' + event.target.id + '</div>']); } }\n";
        out += "</script>";
        return out;
    }
    const bool menu = qstrcmp(kind, "menu") == 0;
    out += menu ? "<nav class=\"mega-menu\"><ul>" : "<footer class=\"site-footer\"><ul>";
    for (int i = 0; i < (menu ? 120 : 40); ++i)
        out += "<li class=\"menu-item\"><a href=\"/section/" + QByteArray::number(i) +
               "/\">Section number " + QByteArray::number(i) + "</a></li>";
    out += menu ? "</ul></nav>" : "</ul></footer>";
    return out;
}

QByteArray dressed(QByteArray page)
{
    const qsizetype head = page.indexOf("</head>");
    if (head >= 0)
        page.insert(head, dressing("head"));
    const qsizetype bodyOpen = page.indexOf("<body");
    const qsizetype bodyStart = bodyOpen < 0 ? -1 : page.indexOf('>', bodyOpen);
    if (bodyStart >= 0)
        page.insert(bodyStart + 1, dressing("menu"));
    const qsizetype bodyEnd = page.lastIndexOf("</body>");
    if (bodyEnd >= 0)
        page.insert(bodyEnd, dressing("footer"));
    return page;
}

const QList<QByteArray> &pages(bool dressUp)
{
    static const QList<QByteArray> plain = fixturePages();
    static const QList<QByteArray> dressedPages = [] {
        QList<QByteArray> out;
        for (const QByteArray &page : plain)
            out << dressed(page);
        return out;
    }();
    return dressUp ? dressedPages : plain;
}

void report(benchmark::State &state, const QList<QByteArray> &list)
{
    qsizetype bytes = 0;
    for (const QByteArray &page : list)
        bytes += page.size();
    state.counters["pages_per_second"] = benchmark::Counter(
        double(state.iterations()) * double(list.size()), benchmark::Counter::kIsRate);
    state.counters["pages"] = double(list.size());
    state.counters["mean_page_KiB"] = list.isEmpty() ? 0.0 : double(bytes) / list.size() / 1024;
    state.SetBytesProcessed(std::int64_t(state.iterations()) * bytes);
}

template <bool dressUp> void extractPages(benchmark::State &state)
{
    const QList<QByteArray> &list = pages(dressUp);
    if (list.isEmpty()) {
        state.SkipWithError("no fixture pages");
        return;
    }
    const QUrl address(QStringLiteral("https://post.example/2026/04/bees/index.html"));
    for (auto _ : state) {
        for (const QByteArray &page : list) {
            benchmark::DoNotOptimize(ReadableExtractor::extract(
                HtmlDecoding::decodePage(page, "text/html", false), address));
        }
    }
    report(state, list);
}

template <bool dressUp> void gumboParse(benchmark::State &state)
{
    const QList<QByteArray> &list = pages(dressUp);
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;
    for (auto _ : state) {
        for (const QByteArray &page : list) {
            GumboOutput *output =
                gumbo_parse_with_options(&options, page.constData(), size_t(page.size()));
            benchmark::DoNotOptimize(output->root);
            gumbo_destroy_output(&options, output);
        }
    }
    report(state, list);
}

BENCHMARK(extractPages<false>)->Name("readable_fixtures")->Unit(benchmark::kMillisecond);
BENCHMARK(gumboParse<false>)->Name("gumbo_parse_fixtures")->Unit(benchmark::kMillisecond);
BENCHMARK(extractPages<true>)->Name("readable_dressed")->Unit(benchmark::kMillisecond);
BENCHMARK(gumboParse<true>)->Name("gumbo_parse_dressed")->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quillory::bench
