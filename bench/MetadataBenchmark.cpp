// Reading a page's metadata out of its HTML, on ordinary pages of about 1 MiB and on one
// written to be as slow to read as possible.
//
// - typical_page: Open Graph, Twitter-card and standard meta tags in the head, then a long
//   body of articles, links and images. Every lookup is answered from the head.
// - no_tags_page: the same body under a head with no meta tags and no title, so every lookup
//   comes up empty and the title search reads the whole page.
// - microdata_page: a typical head over a product list whose every entry carries microdata
//   <meta itemprop=...> tags (thousands of them), none of which any lookup wants.
// - microdata_no_tags_page: the product list under the plain head, so that every lookup
//   tries every one of those tags: the worst case among ordinary pages.
// - hostile_page: 5 MiB, the most a page download keeps, of "<meta " written over and over
//   with no '>' until one real tag at the very end: about 870,000 tag openings that all run
//   to that tag's end.

#include <metadata/HtmlMetadataParser.h>

#include <QString>
#include <QUrl>
#include <benchmark/benchmark.h>
#include <string>

namespace quillory::bench {
namespace {

constexpr qsizetype pageBytes = 1024 * 1024;

const char *const words[] = {"garden", "tomato",  "season",  "window", "harvest", "compost",
                             "seed",   "morning", "planter", "water",  "shade",   "trellis",
                             "soil",   "growing", "summer",  "leaf",   "basket",  "&amp;"};

QString sentence(int seed, int length)
{
    QString text;
    for (int i = 0; i < length; ++i) {
        if (i > 0)
            text += u' ';
        text += QString::fromLatin1(words[(seed * 7 + i * 13) % std::size(words)]);
    }
    return text;
}

QString richHead()
{
    QString head = QStringLiteral(
        "<!doctype html><html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
        "<title>Growing Tomatoes on a Windowsill | Garden Weekly</title>"
        "<meta property=\"og:type\" content=\"article\">"
        "<meta property=\"og:title\" content=\"Growing Tomatoes on a Windowsill\">"
        "<meta property=\"og:description\" content=\"A season of tomatoes in a small flat, "
        "from seed to harvest &mdash; with notes on light &amp; water.\">"
        "<meta property=\"og:image\" content=\"/images/2024/tomatoes-hero.jpg\">"
        "<meta property=\"og:site_name\" content=\"Garden Weekly\">"
        "<meta property=\"og:url\" content=\"https://garden.example.com/2024/tomatoes\">"
        "<meta name=\"twitter:card\" content=\"summary_large_image\">"
        "<meta name=\"twitter:title\" content=\"Growing Tomatoes on a Windowsill\">"
        "<meta name=\"twitter:image\" content=\"/images/2024/tomatoes-card.jpg\">"
        "<meta name=\"description\" content=\"A season of tomatoes in a small flat.\">"
        "<meta name=\"author\" content=\"Ada Gardener\">"
        "<meta name=\"robots\" content=\"index, follow\">");
    for (int i = 0; i < 20; ++i)
        head += QStringLiteral("<link rel=\"preload\" href=\"/assets/chunk-%1.js\" as=\"script\">")
                    .arg(i);
    head += QStringLiteral("<script type=\"application/ld+json\">{\"@context\":"
                           "\"https://schema.org\",\"@type\":\"Article\",\"headline\":\"") +
            sentence(1, 400) + QStringLiteral("\"}</script></head>");
    return head;
}

QString plainHead()
{
    QString head = QStringLiteral("<!doctype html><html lang=\"en\"><head>");
    for (int i = 0; i < 20; ++i)
        head += QStringLiteral("<link rel=\"preload\" href=\"/assets/chunk-%1.js\" as=\"script\">")
                    .arg(i);
    return head + QStringLiteral("</head>");
}

QString articleBody(const QString &head)
{
    QString html = head + QStringLiteral("<body><main>");
    for (int i = 0; html.size() < pageBytes - 200; ++i) {
        html += QStringLiteral("<div class=\"post\"><h2><a href=\"/p/%1\">").arg(i) +
                sentence(i, 6) + QStringLiteral("</a></h2><p>") + sentence(i + 3, 60) +
                QStringLiteral(" <em>") + sentence(i + 5, 4) +
                QStringLiteral("</em></p><img src=\"/i/%1.jpg\" alt=\"").arg(i) + sentence(i, 3) +
                QStringLiteral("\"></div>\n");
    }
    return html + QStringLiteral("</main></body></html>");
}

QString productList(const QString &head)
{
    QString html = head + QStringLiteral("<body><ol>");
    for (int i = 0; html.size() < pageBytes - 200; ++i) {
        html += QStringLiteral("<li itemscope itemtype=\"https://schema.org/Product\">"
                               "<meta itemprop=\"position\" content=\"%1\">"
                               "<meta itemprop=\"sku\" content=\"SKU-%1\">"
                               "<span itemprop=\"name\">")
                    .arg(i) +
                sentence(i, 4) + QStringLiteral("</span></li>\n");
    }
    return html + QStringLiteral("</ol></body></html>");
}

void parse(benchmark::State &state, const QString &html)
{
    const QUrl base(QStringLiteral("https://garden.example.com/2024/tomatoes"));
    for (auto _ : state)
        benchmark::DoNotOptimize(HtmlMetadataParser::parse(html, base));
    // The pages are ASCII, so each character is one byte of the page as served.
    state.SetBytesProcessed(std::int64_t(state.iterations()) * html.size());
    state.counters["page_KiB"] = double(html.size()) / 1024.0;
    state.counters["meta_tags"] = double(html.count(QStringLiteral("<meta")));
}

// Each page is built the first time its benchmark runs and kept for the rest of the run.
template <QString (*build)()> void parsePage(benchmark::State &state)
{
    static const QString html = build();
    parse(state, html);
}

QString typicalPage()
{
    return articleBody(richHead());
}

QString noTagsPage()
{
    return articleBody(plainHead());
}

QString microdataPage()
{
    return productList(richHead());
}

QString microdataNoTagsPage()
{
    return productList(plainHead());
}

QString hostilePage()
{
    const QString opening = QStringLiteral("<meta ");
    return opening.repeated(5 * 1024 * 1024 / opening.size()) +
           QStringLiteral("<meta property=\"og:title\" content=\"Found\">");
}

BENCHMARK(parsePage<typicalPage>)->Name("typical_page")->Unit(benchmark::kMillisecond);
BENCHMARK(parsePage<noTagsPage>)->Name("no_tags_page")->Unit(benchmark::kMillisecond);
BENCHMARK(parsePage<microdataPage>)->Name("microdata_page")->Unit(benchmark::kMillisecond);
BENCHMARK(parsePage<microdataNoTagsPage>)
    ->Name("microdata_no_tags_page")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(parsePage<hostilePage>)->Name("hostile_page")->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quillory::bench
