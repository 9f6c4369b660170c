#include "MetadataTestSupport.h"

#include <metadata/HtmlMetadataParser.h>
#include <metadata/MetadataService.h>

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUrl>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::Fields;
using quillory::test::s;

namespace {

const QUrl pageUrl(u"https://example.com/guides/garden/page.html"_s);

FetchedMetadata parse(const QString &html)
{
    return HtmlMetadataParser::parse(html, pageUrl);
}

// --- Where each field comes from, and which source wins -----------------------------------

struct PageCase
{
    const char *name;
    const char *html;
    Fields expected;
};

const PageCase pageCases[] = {
    {"open_graph", R"(<html><head>
            <meta property="og:title" content="Growing Tomatoes">
            <meta property="og:description" content="A season in the greenhouse">
            <meta property="og:image" content="https://cdn.example.com/t.jpg">
            <meta property="og:site_name" content="Garden Weekly">
            <meta name="author" content="Ada Gardener">
            </head></html>)",
     Fields{.title = "Growing Tomatoes",
            .description = "A season in the greenhouse",
            .imageURL = "https://cdn.example.com/t.jpg",
            .siteName = "Garden Weekly",
            .author = "Ada Gardener"}},
    {"twitter_cards_before_description_and_title_element", R"(<title>Element</title>
            <meta name="twitter:title" content="Card title">
            <meta name="twitter:description" content="Card text">
            <meta name="twitter:image" content="https://example.com/card.png">
            <meta name="description" content="Plain description">)",
     Fields{.title = "Card title",
            .description = "Card text",
            .imageURL = "https://example.com/card.png"}},
    {"description_and_title_element",
     R"(<title>Element</title><meta name="description" content="Plain description">)",
     Fields{.title = "Element", .description = "Plain description"}},
    {"open_graph_before_every_other_source", R"(<title>Element</title>
            <meta name="twitter:title" content="Card title">
            <meta name="description" content="Plain description">
            <meta name="twitter:image" content="https://example.com/card.png">
            <meta property="og:title" content="OG title">
            <meta property="og:description" content="OG text">
            <meta property="og:image" content="https://example.com/og.png">)",
     Fields{
         .title = "OG title", .description = "OG text", .imageURL = "https://example.com/og.png"}},
    {"twitter_description_before_description",
     R"(<meta name="description" content="Plain">
                    <meta name="twitter:description" content="Card">)",
     Fields{.description = "Card"}},
    // og: keys are read by property, the others by name only.
    {"sources_do_not_cross_attributes", R"(<meta name="og:title" content="By name">
            <meta property="twitter:title" content="By property">
            <meta property="author" content="By property">
            <meta property="og:site_name" content="Site">)",
     Fields{.siteName = "Site"}},
    {"no_tags", "<html><body><p>Nothing here</p></body></html>", Fields{}},
    {"empty", "", Fields{}},
    {"first_non_empty_tag", R"(<meta property="og:title" content="">
            <meta property="og:title" content="Second">
            <meta property="og:title" content="Third">
            <title>First title</title><title>Second title</title>)",
     Fields{.title = "Second"}},
    {"first_title_element", "<title>One</title><title>Two</title>", Fields{.title = "One"}},
    {"twitter_image_resolved", R"(<meta name="twitter:image" content="/card.png">)",
     Fields{.imageURL = "https://example.com/card.png"}},
    // A value runs to the quote that opened it, and may hold '>'.
    {"apostrophe_in_double_quotes", R"(<meta property="og:title" content="Don't Panic">)",
     Fields{.title = "Don't Panic"}},
    {"apostrophe_content_first", R"(<meta content="Don't Panic" property="og:title">)",
     Fields{.title = "Don't Panic"}},
    {"apostrophe_by_name", R"(<meta name="twitter:title" content="Don't Panic">)",
     Fields{.title = "Don't Panic"}},
    {"quotes_in_single_quotes", R"(<meta name="author" content='Dwayne "The Rock" Johnson'>)",
     Fields{.author = R"(Dwayne "The Rock" Johnson)"}},
    {"quotes_content_first", R"(<meta content='Say "hi"' name="description">)",
     Fields{.description = R"(Say "hi")"}},
    {"angle_bracket", R"(<meta property="og:title" content="a > b">)", Fields{.title = "a > b"}},
    // Title and description are trimmed, after decoding; a blank one stays an empty string.
    {"title_and_description_trimmed_only",
     "<meta property=\"og:title\" content=\"\n  Spaced  \t\">"
     "<meta property=\"og:description\" content=\"  Text \">"
     "<meta property=\"og:site_name\" content=\" Site \">"
     "<meta name=\"author\" content=\" Ada \">",
     Fields{.title = "Spaced", .description = "Text", .siteName = " Site ", .author = " Ada "}},
    {"blank_title_and_description", "<title> \n </title><meta name=\"description\" content=\"  \">",
     Fields{.title = "", .description = ""}},
    {"title_element_decoded_then_trimmed", "<title> Home &amp; Garden </title>",
     Fields{.title = "Home & Garden"}},
    {"title_element_nbsp_trimmed", "<title>&nbsp;Home&nbsp;</title>", Fields{.title = "Home"}},
    {"content_decoded_once",
     R"(<meta property="og:title" content="Tom &amp;amp; Jerry &mdash; &#8220;Live&#8221;">)",
     Fields{.title = "Tom &amp; Jerry — “Live”"}}};

TEST(HtmlMetadataParser, PagesGiveTheseFieldsAndNoOthers)
{
    for (const PageCase &c : pageCases)
        EXPECT_EQ(parse(s(c.html)), c.expected.metadata()) << c.name;
}

// Every way of writing a tag that pages use reads the same.
const char *const shapes[] = {
    R"(<meta property="og:title" content="Same Title">)",
    R"(<meta content="Same Title" property="og:title">)",
    R"(<meta property='og:title' content='Same Title'>)",
    R"(<meta content='Same Title' property='og:title'>)",
    R"(<META PROPERTY="OG:TITLE" CONTENT="Same Title">)",
    R"(<meta property="og:title" content="Same Title" />)",
    R"(<meta data-x="1" property="og:title" lang="en" content="Same Title">)",
    "<meta\n  property=\"og:title\"\n  content=\"Same Title\">",
    R"(<meta content="Same Title" name="twitter:title">)",
    "<TITLE>Same Title</TITLE>",
    R"(<title data-rh="true">Same Title</title>)"};

TEST(HtmlMetadataParser, EveryTagShapeYieldsTheSameTitle)
{
    for (const char *html : shapes)
        EXPECT_EQ(parse(s(html)).title, s("Same Title")) << html;
}

TEST(HtmlMetadataParser, LongTagsAndOddText)
{
    // A tag of up to 8 KiB is read; a longer one is skipped, however the length comes about:
    // a long value, a long run of other attributes, or a value holding '>' with the tag's end
    // far beyond.
    const auto amidShortTags = [](const QString &tag) -> QString {
        return s("<title>Element</title>") + tag + s(R"(<meta name="author" content="Ada">)");
    };
    const QString sevenKiB(7 * 1024, u'v');
    const QString nineKiB(9 * 1024, u'v');
    QString largePage = s("<html><body>");
    for (int i = 0; i < 20000; ++i)
        largePage += s("<p class=\"m\">meta <b>paragraph</b> %1</p>\n").arg(i);
    largePage += s(R"(<meta name="author" content="At the end"></body></html>)");
    FetchedMetadata elementAndAda = Fields{.title = "Element", .author = "Ada"}.metadata();
    FetchedMetadata readWhole = elementAndAda;
    readWhole.title = sevenKiB;

    const std::pair<QString, FetchedMetadata> cases[] = {
        {amidShortTags(s(R"(<meta property="og:title" content=")") + sevenKiB + s("\">")),
         readWhole},
        {amidShortTags(s(R"(<meta property="og:title" content=")") + nineKiB + s("\">")),
         elementAndAda},
        {amidShortTags(s("<meta data-x=\"") + nineKiB + s(R"(" property="og:title" content="L">)")),
         elementAndAda},
        {amidShortTags(s(R"(<meta content="a > b" property="og:title" )") + nineKiB + s(">")),
         elementAndAda},
        // Far into a large page, with "meta" in its text.
        {largePage, Fields{.author = "At the end"}.metadata()},
        // Unpaired surrogates around a tag.
        {QChar(0xD800) + s(R"(<meta property="og:title" content="Title">)") + QChar(0xDC00),
         Fields{.title = "Title"}.metadata()}};
    for (const auto &[html, expected] : cases)
        EXPECT_EQ(parse(html), expected) << html.left(60).toStdString();
}

TEST(HtmlMetadataParser, MetaContentLookupsAreDirectlyUsable)
{
    const QString html =
        s(R"(<meta content="x" property="og:type"><meta name="robots" content="all">)");
    EXPECT_EQ(HtmlMetadataParser::metaContentByProperty(html, u"og:type"_s), s("x"));
    EXPECT_EQ(HtmlMetadataParser::metaContentByName(html, u"robots"_s), s("all"));
    EXPECT_FALSE(HtmlMetadataParser::metaContentByName(html, u"og:type"_s));
    // A key is matched literally, whatever characters it holds.
    EXPECT_FALSE(HtmlMetadataParser::metaContentByName(html, u"rob.ts"_s));
    EXPECT_FALSE(HtmlMetadataParser::metaContentByName(html, u"("_s));
    // No tag is read past its end, where such a key would have to reach.
    EXPECT_FALSE(
        HtmlMetadataParser::metaContentByName(s(R"(<meta name="a>b" content="x">)"), u"a>b"_s));
}

// The lookup written the plain way, one search of the whole text per tag shape, to check the
// indexed lookup against.
class ReferenceLookup
{
public:
    ReferenceLookup(const QString &attribute, const QString &key)
    {
        const QString content = u"content=(?:\"([^\"]+)\"|'([^']+)')"_s;
        const QString keyed =
            attribute + u"=[\"']"_s + QRegularExpression::escape(key) + u"[\"']"_s;
        m_tries[0].setPattern(u"<meta[^>]+"_s + keyed + u"[^>]+"_s + content);
        m_tries[1].setPattern(u"<meta[^>]+"_s + content + u"[^>]+"_s + keyed);
        for (QRegularExpression &re : m_tries)
            re.setPatternOptions(QRegularExpression::CaseInsensitiveOption);
    }

    std::optional<QString> operator()(const QString &html) const
    {
        for (const QRegularExpression &re : m_tries) {
            const QRegularExpressionMatch m = re.match(html);
            if (m.hasMatch())
                return HtmlMetadataParser::decodeEntities(m.hasCaptured(1) ? m.captured(1)
                                                                           : m.captured(2));
        }
        return std::nullopt;
    }

private:
    QRegularExpression m_tries[2];
};

TEST(HtmlMetadataParser, IndexedLookupAgreesWithAPlainSearch)
{
    // Whole attributes mostly, so that many pages hold a match, with stray quotes,
    // brackets and half-written attributes among them, and a key written with a long s,
    // which case-insensitive matching folds to "s".
    const QStringList pieces =
        s("<meta|<META|<meta|<metadata| property=\"og:title\"| PROPERTY='OG:TITLE'|"
          " property=\"og:title'| name=\"author\"| Name='Author'| name=\"description\"|"
          " name=\"de\u017Fcription\"| itemprop=\"name\"| content=\"Value\"| CONTENT='Other'|"
          " content=\"Don't\"| content='say \"hi\"'| content=\"a>b\"| content=\"\"|"
          " content=\"&amp;amp;\"| content=| property=| name=|>|/>| |\n|x|\"|'|<p>")
            .split(u'|');
    using Lookup = std::optional<QString> (*)(const QString &, const QString &);
    const std::tuple<Lookup, const char *, const char *> lookups[] = {
        {HtmlMetadataParser::metaContentByProperty, "property", "og:title"},
        {HtmlMetadataParser::metaContentByName, "name", "author"},
        {HtmlMetadataParser::metaContentByName, "name", "description"}};
    std::vector<ReferenceLookup> references;
    for (const auto &[lookup, attribute, key] : lookups)
        references.emplace_back(s(attribute), s(key));
    QRandomGenerator random(20240501);
    int found[std::size(lookups)] = {};
    for (int round = 0; round < 10000; ++round) {
        QString html;
        for (int i = 2 + int(random.bounded(30)); i > 0; --i)
            html += pieces[random.bounded(pieces.size())];
        for (std::size_t k = 0; k < std::size(lookups); ++k) {
            const auto &[lookup, attribute, key] = lookups[k];
            const std::optional<QString> expected = references[k](html);
            ASSERT_EQ(lookup(html, s(key)), expected) << key << " in " << html.toStdString();
            found[k] += int(expected.has_value());
        }
    }
    // Enough of the random pages hold a tag for the comparison to mean something.
    for (const int pages : found)
        EXPECT_GT(pages, 1000);
}

// --- Hostile pages -------------------------------------------------------------------------

// Pages of 5 MiB written so that reading every tag to its end, or trying a pattern at every
// opening, would take minutes. A linear reading takes a fraction of a second even in a
// sanitized debug build; the bound only has to catch the difference.
constexpr qsizetype hostileSize = 5 * 1024 * 1024;

// `before`, then `piece` repeated to 5 MiB, then `after`.
struct HostileCase
{
    const char *name;
    const char *before;
    QString piece;
    const char *after;
    Fields expected;
};

const HostileCase hostilePages[] = {
    {"meta_openings_without_end", "", s("<meta "), "", Fields{}},
    {"meta_openings_before_a_tag", "", s("<meta "), R"(<meta property="og:title" content="Found">)",
     Fields{.title = "Found"}},
    {"unclosed_content_value", R"(<title>Kept</title><meta property="og:title" content=")", s("x"),
     "", Fields{.title = "Kept"}},
    {"title_openings_without_end", "", s("<title"), "", Fields{}},
    {"title_openings_before_a_tag", "", s("<title "), R"(<meta name="author" content="Ada">)",
     Fields{.author = "Ada"}},
    {"title_text_without_end", R"(<meta name="author" content="Ada"><title>)", s("x"), "",
     Fields{.author = "Ada"}},
    {"long_meta_tags", "", s("<meta ") + QString(6000, u'a') + s(">"),
     R"(<meta property="og:title" content="Last">)", Fields{.title = "Last"}},
    {"long_meta_tags_without_end", "", s("<meta ") + QString(1000, u'a'), "", Fields{}},
    {"key_attributes_without_content", "",
     s("<meta") + s(R"( property="og:title" name='author')").repeated(200) + s(">"), "", Fields{}},
    {"content_values_without_key", "",
     s("<meta") + s(R"( content="a>" content='b')").repeated(200) + s(">"), "", Fields{}},
    {"content_before_key_beyond_reach", "", s(R"(<meta content="a" > property="og:title" )"), "",
     Fields{}}};

TEST(HtmlMetadataParser, HostilePagesAreParsedInLinearTime)
{
    for (const HostileCase &c : hostilePages) {
        SCOPED_TRACE(c.name);
        const QString html =
            s(c.before) + c.piece.repeated(hostileSize / c.piece.size()) + s(c.after);
        QElapsedTimer clock;
        clock.start();
        const FetchedMetadata m = parse(html);
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_EQ(m, c.expected.metadata());
    }
}

// --- Image addresses --------------------------------------------------------------------------

// Each value, then what it resolves to against the page.
const std::pair<const char *, const char *> imageAddresses[] = {
    {"https://cdn.example.org/a.png", "https://cdn.example.org/a.png"},
    {"http://cdn.example.org/a.png", "http://cdn.example.org/a.png"},
    {"/images/a.png", "https://example.com/images/a.png"},
    {"images/a.png", "https://example.com/guides/garden/images/a.png"},
    {"../a.png", "https://example.com/guides/a.png"},
    {"//cdn.example.org/a.png", "https://cdn.example.org/a.png"},
    {"HTTP://CDN.Example.org/A.png", "http://cdn.example.org/A.png"},
    {"my image.png", "https://example.com/guides/garden/my%20image.png"},
    {"?size=2", "https://example.com/guides/garden/page.html?size=2"},
    // Begins with "http", so it is taken as it stands.
    {"httpimage.png", "httpimage.png"},
    {"//[oops/a.png", "//[oops/a.png"}};

TEST(HtmlMetadataParser, ImageAddressesResolveAgainstThePage)
{
    for (const auto &[value, expected] : imageAddresses) {
        const QString html = s(R"(<meta property="og:image" content=")") + s(value) + u"\">"_s;
        EXPECT_EQ(parse(html).imageURL, s(expected)) << value;
    }
}

// --- Character references ---------------------------------------------------------------------

// Each text, then what it decodes to.
const std::pair<const char *, const char *> entities[] = {
    {"No references", "No references"},
    {"&amp; &lt; &gt; &quot; &apos; &#39;", "& < > \" ' '"},
    {"&amp;lt;b&amp;gt;", "&lt;b&gt;"},
    {"It&rsquo;s &mdash; caf&eacute; &hellip;", "It’s — café …"},
    {"&Eacute;&AMP;", "É&"},
    {"&NotEqualTilde;", "\u2242\u0338"},
    {"&Afr;", "\U0001D504"},
    {"a&nbsp;b", "a b"},
    {"caf&#233;", "café"},
    {"a&#160;b", "a\u00A0b"},
    {"&#0000065;", "A"},
    {"&#x2019;&#X2019;&#x1F600;", "’’😀"},
    {"&#x27;&#x2F;&#x60;&#x3D;", "'/`="},
    {"R&D & more &&amp; &", "R&D & more && &"},
    {"&CounterClockwiseContourIntegral;", "\u2233"},
    {"&lt;&gt;&#65;&#x42;", "<>AB"}};
// Surrogates, values beyond Unicode, unknown or miscased names and missing semicolons.
const QStringList keptAsWritten =
    u"&#55296;|&#xDFFF;|&#x110000; &#1114112;|&#4294967296;|&#99999999999999999999999999999999;|"
    "&#0;|&#; &#x;|&bogus; &amp|&AmP;|&eacute &#233 &#xE9|&CounterClockwiseContourIntegralX;"_s
        .split(u'|');

TEST(HtmlMetadataParser, EntitiesDecodeOnce)
{
    for (const auto &[text, expected] : entities)
        EXPECT_EQ(HtmlMetadataParser::decodeEntities(s(text)), s(expected)) << text;
    for (const QString &text : keptAsWritten)
        EXPECT_EQ(HtmlMetadataParser::decodeEntities(text), text);
}

} // namespace
