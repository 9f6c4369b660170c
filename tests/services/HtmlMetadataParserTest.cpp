#include "MetadataTestSupport.h"

#include <HtmlMetadataParser.h>
#include <MetadataService.h>

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUrl>
#include <gtest/gtest.h>

using namespace quillory;
using quillory::test::s;

namespace {

const QUrl pageUrl(QStringLiteral("https://example.com/guides/garden/page.html"));

FetchedMetadata parse(const char *html, const QUrl &base = pageUrl)
{
    return MetadataService::parseHTMLMetadata(s(html), base);
}

// --- Where each field comes from, and which source wins -----------------------------------

TEST(HtmlMetadataParser, ReadsOpenGraphTags)
{
    const FetchedMetadata m = parse(R"(<html><head>
        <meta property="og:title" content="Growing Tomatoes">
        <meta property="og:description" content="A season in the greenhouse">
        <meta property="og:image" content="https://cdn.example.com/t.jpg">
        <meta property="og:site_name" content="Garden Weekly">
        <meta name="author" content="Ada Gardener">
        </head></html>)");
    EXPECT_EQ(m.title, s("Growing Tomatoes"));
    EXPECT_EQ(m.description, s("A season in the greenhouse"));
    EXPECT_EQ(m.imageURL, s("https://cdn.example.com/t.jpg"));
    EXPECT_EQ(m.siteName, s("Garden Weekly"));
    EXPECT_EQ(m.author, s("Ada Gardener"));
    EXPECT_FALSE(m.publishDate);
}

TEST(HtmlMetadataParser, FallsBackToTwitterCardsThenDescriptionThenTitleElement)
{
    const FetchedMetadata twitter = parse(R"(<title>Element</title>
        <meta name="twitter:title" content="Card title">
        <meta name="twitter:description" content="Card text">
        <meta name="twitter:image" content="https://example.com/card.png">
        <meta name="description" content="Plain description">)");
    EXPECT_EQ(twitter.title, s("Card title"));
    EXPECT_EQ(twitter.description, s("Card text"));
    EXPECT_EQ(twitter.imageURL, s("https://example.com/card.png"));
    EXPECT_FALSE(twitter.siteName);

    const FetchedMetadata plain =
        parse(R"(<title>Element</title><meta name="description" content="Plain description">)");
    EXPECT_EQ(plain.title, s("Element"));
    EXPECT_EQ(plain.description, s("Plain description"));
    EXPECT_FALSE(plain.imageURL);
}

TEST(HtmlMetadataParser, OpenGraphWinsOverEveryOtherSource)
{
    const FetchedMetadata m = parse(R"(<title>Element</title>
        <meta name="twitter:title" content="Card title">
        <meta name="description" content="Plain description">
        <meta name="twitter:image" content="https://example.com/card.png">
        <meta property="og:title" content="OG title">
        <meta property="og:description" content="OG text">
        <meta property="og:image" content="https://example.com/og.png">)");
    EXPECT_EQ(m.title, s("OG title"));
    EXPECT_EQ(m.description, s("OG text"));
    EXPECT_EQ(m.imageURL, s("https://example.com/og.png"));
}

TEST(HtmlMetadataParser, TwitterDescriptionWinsOverPlainDescription)
{
    const FetchedMetadata m = parse(R"(<meta name="description" content="Plain">
        <meta name="twitter:description" content="Card">)");
    EXPECT_EQ(m.description, s("Card"));
}

TEST(HtmlMetadataParser, SourcesDoNotCrossAttributes)
{
    // og: keys are read by property, the others by name only.
    const FetchedMetadata m = parse(R"(<meta name="og:title" content="By name">
        <meta property="twitter:title" content="By property">
        <meta property="author" content="By property">
        <meta property="og:site_name" content="Site">)");
    EXPECT_FALSE(m.title);
    EXPECT_FALSE(m.author);
    EXPECT_EQ(m.siteName, s("Site"));
}

TEST(HtmlMetadataParser, PageWithoutTagsHasNoFields)
{
    EXPECT_EQ(parse("<html><body><p>Nothing here</p></body></html>"), FetchedMetadata());
    EXPECT_EQ(parse(""), FetchedMetadata());
}

TEST(HtmlMetadataParser, FirstMatchingTagWins)
{
    const FetchedMetadata m = parse(R"(<meta property="og:title" content="">
        <meta property="og:title" content="Second">
        <meta property="og:title" content="Third">
        <title>First title</title><title>Second title</title>)");
    EXPECT_EQ(m.title, s("Second"));
    EXPECT_EQ(parse("<title>One</title><title>Two</title>").title, s("One"));
}

// --- Tag shapes -------------------------------------------------------------------------------

struct ShapeCase
{
    const char *name;
    const char *html;
};

class TagShape : public ::testing::TestWithParam<ShapeCase>
{
};

TEST_P(TagShape, YieldsTheSameTitle)
{
    EXPECT_EQ(parse(GetParam().html).title, s("Same Title")) << GetParam().html;
}

INSTANTIATE_TEST_SUITE_P(
    HtmlMetadataParser, TagShape,
    ::testing::Values(
        ShapeCase{"property_first", R"(<meta property="og:title" content="Same Title">)"},
        ShapeCase{"content_first", R"(<meta content="Same Title" property="og:title">)"},
        ShapeCase{"single_quotes", R"(<meta property='og:title' content='Same Title'>)"},
        ShapeCase{"single_quotes_content_first",
                  R"(<meta content='Same Title' property='og:title'>)"},
        ShapeCase{"upper_case", R"(<META PROPERTY="OG:TITLE" CONTENT="Same Title">)"},
        ShapeCase{"self_closing", R"(<meta property="og:title" content="Same Title" />)"},
        ShapeCase{"other_attributes",
                  R"(<meta data-x="1" property="og:title" lang="en" content="Same Title">)"},
        ShapeCase{"line_breaks", "<meta\n  property=\"og:title\"\n  content=\"Same Title\">"},
        ShapeCase{"twitter_content_first", R"(<meta content="Same Title" name="twitter:title">)"},
        ShapeCase{"title_element_upper_case", "<TITLE>Same Title</TITLE>"},
        ShapeCase{"title_element_attributes", R"(<title data-rh="true">Same Title</title>)"}),
    [](const auto &p) { return std::string(p.param.name); });

TEST(HtmlMetadataParser, ContentRunsToTheQuoteThatOpenedIt)
{
    EXPECT_EQ(parse(R"(<meta property="og:title" content="Don't Panic">)").title, s("Don't Panic"));
    EXPECT_EQ(parse(R"(<meta content="Don't Panic" property="og:title">)").title, s("Don't Panic"));
    EXPECT_EQ(parse(R"(<meta name="twitter:title" content="Don't Panic">)").title,
              s("Don't Panic"));
    EXPECT_EQ(parse(R"(<meta name="author" content='Dwayne "The Rock" Johnson'>)").author,
              s(R"(Dwayne "The Rock" Johnson)"));
    EXPECT_EQ(parse(R"(<meta content='Say "hi"' name="description">)").description,
              s(R"(Say "hi")"));
}

TEST(HtmlMetadataParser, ContentMayHoldAngleBrackets)
{
    EXPECT_EQ(parse(R"(<meta property="og:title" content="a > b">)").title, s("a > b"));
}

TEST(HtmlMetadataParser, MetaContentLookupsAreDirectlyUsable)
{
    const QString html =
        s(R"(<meta content="x" property="og:type"><meta name="robots" content="all">)");
    EXPECT_EQ(HtmlMetadataParser::metaContentByProperty(html, QStringLiteral("og:type")), s("x"));
    EXPECT_EQ(HtmlMetadataParser::metaContentByName(html, QStringLiteral("robots")), s("all"));
    EXPECT_FALSE(HtmlMetadataParser::metaContentByName(html, QStringLiteral("og:type")));
    // A key is matched literally, whatever characters it holds.
    EXPECT_FALSE(HtmlMetadataParser::metaContentByName(html, QStringLiteral("rob.ts")));
    EXPECT_FALSE(HtmlMetadataParser::metaContentByName(html, QStringLiteral("(")));
    // No tag is read past its end, where such a key would have to reach.
    EXPECT_FALSE(HtmlMetadataParser::metaContentByName(s(R"(<meta name="a>b" content="x">)"),
                                                       QStringLiteral("a>b")));
}

TEST(HtmlMetadataParser, TagsFarIntoALargePageAreFound)
{
    QString html = QStringLiteral("<html><body>");
    for (int i = 0; i < 20000; ++i)
        html += QStringLiteral("<p class=\"m\">meta <b>paragraph</b> %1</p>\n").arg(i);
    html += QStringLiteral(R"(<meta name="author" content="At the end"></body></html>)");
    EXPECT_EQ(MetadataService::parseHTMLMetadata(html, pageUrl).author, s("At the end"));
}

// The lookup written the plain way, one search of the whole text per tag shape, to check the
// indexed lookup against.
class ReferenceLookup
{
public:
    ReferenceLookup(const QString &attribute, const QString &key)
    {
        const QString content = QStringLiteral("content=(?:\"([^\"]+)\"|'([^']+)')");
        const QString keyed = attribute + QStringLiteral("=[\"']") +
                              QRegularExpression::escape(key) + QStringLiteral("[\"']");
        m_tries[0].setPattern(QStringLiteral("<meta[^>]+") + keyed + QStringLiteral("[^>]+") +
                              content);
        m_tries[1].setPattern(QStringLiteral("<meta[^>]+") + content + QStringLiteral("[^>]+") +
                              keyed);
        for (QRegularExpression &re : m_tries)
            re.setPatternOptions(QRegularExpression::CaseInsensitiveOption);
    }

    std::optional<QString> operator()(const QString &html) const
    {
        for (const QRegularExpression &re : m_tries) {
            const QRegularExpressionMatch m = re.match(html);
            if (m.hasMatch())
                return MetadataService::decodeHTMLEntities(m.hasCaptured(1) ? m.captured(1)
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
    const char *pieces[] = {"<meta",
                            "<META",
                            "<meta",
                            "<metadata",
                            " property=\"og:title\"",
                            " PROPERTY='OG:TITLE'",
                            " property=\"og:title'",
                            " name=\"author\"",
                            " Name='Author'",
                            " name=\"description\"",
                            " name=\"de\u017Fcription\"",
                            " itemprop=\"name\"",
                            " content=\"Value\"",
                            " CONTENT='Other'",
                            " content=\"Don't\"",
                            " content='say \"hi\"'",
                            " content=\"a>b\"",
                            " content=\"\"",
                            " content=\"&amp;amp;\"",
                            " content=",
                            " property=",
                            " name=",
                            ">",
                            "/>",
                            " ",
                            "\n",
                            "x",
                            "\"",
                            "'",
                            "<p>"};
    const QString title = QStringLiteral("og:title");
    const QString author = QStringLiteral("author");
    const ReferenceLookup referenceTitle(QStringLiteral("property"), title);
    const ReferenceLookup referenceAuthor(QStringLiteral("name"), author);
    const QString description = QStringLiteral("description");
    const ReferenceLookup referenceDescription(QStringLiteral("name"), description);
    QRandomGenerator random(20240501);
    int found = 0;
    for (int round = 0; round < 10000; ++round) {
        QString html;
        const int count = 2 + int(random.bounded(30));
        for (int i = 0; i < count; ++i)
            html += QString::fromUtf8(pieces[random.bounded(int(std::size(pieces)))]);
        const std::optional<QString> expectedTitle = referenceTitle(html);
        const std::optional<QString> expectedAuthor = referenceAuthor(html);
        ASSERT_EQ(HtmlMetadataParser::metaContentByProperty(html, title), expectedTitle)
            << html.toStdString();
        ASSERT_EQ(HtmlMetadataParser::metaContentByName(html, author), expectedAuthor)
            << html.toStdString();
        ASSERT_EQ(HtmlMetadataParser::metaContentByName(html, description),
                  referenceDescription(html))
            << html.toStdString();
        found += int(expectedTitle.has_value()) + int(expectedAuthor.has_value());
    }
    // Enough of the random pages hold a tag for the comparison to mean something.
    EXPECT_GT(found, 2000);
}

// --- Long tags and hostile pages -------------------------------------------------------------

TEST(HtmlMetadataParser, MetaTagOfUpTo8KiBIsRead)
{
    const QString value(7 * 1024, u'v');
    const QString html =
        QStringLiteral(R"(<title>Element</title><meta property="og:title" content=")") + value +
        QStringLiteral("\">");
    EXPECT_EQ(MetadataService::parseHTMLMetadata(html, pageUrl).title, value);
}

TEST(HtmlMetadataParser, MetaTagLongerThan8KiBIsSkipped)
{
    // However the length comes about: a long value, a long run of other attributes, or a
    // value holding '>' with the tag's end far beyond.
    const QString filler(9 * 1024, u'v');
    const QString tags[] = {QStringLiteral(R"(<meta property="og:title" content=")") + filler +
                                QStringLiteral("\">"),
                            QStringLiteral("<meta data-x=\"") + filler +
                                QStringLiteral(R"(" property="og:title" content="Long">)"),
                            QStringLiteral(R"(<meta content="a > b" property="og:title" )") +
                                filler + QStringLiteral(">")};
    for (const QString &tag : tags) {
        const QString html = QStringLiteral("<title>Element</title>") + tag +
                             QStringLiteral(R"(<meta name="author" content="Ada">)");
        const FetchedMetadata m = MetadataService::parseHTMLMetadata(html, pageUrl);
        EXPECT_EQ(m.title, s("Element")) << tag.left(60).toStdString();
        EXPECT_EQ(m.author, s("Ada")) << tag.left(60).toStdString();
    }
}

TEST(HtmlMetadataParser, UnfinishedMetaOpeningsLongBeforeATagDoNotHideIt)
{
    // Read from the first "<meta", the real tag is the end of one tag of 60,000 characters; it is
    // read from the first opening near enough to that end instead.
    const QString html = QStringLiteral("<meta ").repeated(10000) +
                         QStringLiteral(R"(<meta property="og:title" content="Found">)");
    EXPECT_EQ(MetadataService::parseHTMLMetadata(html, pageUrl).title, s("Found"));
}

// Pages of 5 MiB written so that reading every tag to its end, or trying a pattern at every
// opening, would take minutes. A linear reading takes a fraction of a second even in a
// sanitized debug build; the bound only has to catch the difference.
struct HostileCase
{
    const char *name;
    QString (*build)();
    FetchedMetadata expected;
};

constexpr qsizetype hostileSize = 5 * 1024 * 1024;

QString repeatedTo(const QString &piece, qsizetype size = hostileSize)
{
    return piece.repeated(size / piece.size());
}

FetchedMetadata withTitle(const char *title)
{
    FetchedMetadata m;
    m.title = s(title);
    return m;
}

FetchedMetadata withAuthor(const char *author)
{
    FetchedMetadata m;
    m.author = s(author);
    return m;
}

class HostilePage : public ::testing::TestWithParam<HostileCase>
{
};

TEST_P(HostilePage, IsParsedInLinearTime)
{
    const QString html = GetParam().build();
    ASSERT_GE(html.size(), hostileSize - 64 * 1024);
    QElapsedTimer clock;
    clock.start();
    const FetchedMetadata m = MetadataService::parseHTMLMetadata(html, pageUrl);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(m, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    HtmlMetadataParser, HostilePage,
    ::testing::Values(
        HostileCase{"meta_openings_without_end",
                    []() -> QString { return repeatedTo(QStringLiteral("<meta ")); },
                    FetchedMetadata()},
        HostileCase{"meta_openings_before_a_tag",
                    []() -> QString {
                        return repeatedTo(QStringLiteral("<meta ")) +
                               QStringLiteral(R"(<meta property="og:title" content="Found">)");
                    },
                    withTitle("Found")},
        HostileCase{"unclosed_content_value",
                    []() -> QString {
                        return QStringLiteral(R"(<title>Kept</title><meta property="og:title" )"
                                              R"(content=")") +
                               QString(hostileSize, u'x');
                    },
                    withTitle("Kept")},
        HostileCase{"title_openings_without_end",
                    []() -> QString { return repeatedTo(QStringLiteral("<title")); },
                    FetchedMetadata()},
        HostileCase{"title_openings_before_a_tag",
                    []() -> QString {
                        return repeatedTo(QStringLiteral("<title ")) +
                               QStringLiteral(R"(<meta name="author" content="Ada">)");
                    },
                    withAuthor("Ada")},
        HostileCase{"title_text_without_end",
                    []() -> QString {
                        return QStringLiteral(R"(<meta name="author" content="Ada"><title>)") +
                               QString(hostileSize, u'x');
                    },
                    withAuthor("Ada")},
        HostileCase{"long_meta_tags",
                    []() -> QString {
                        return repeatedTo(QStringLiteral("<meta ") + QString(6000, u'a') +
                                          QStringLiteral(">")) +
                               QStringLiteral(R"(<meta property="og:title" content="Last">)");
                    },
                    withTitle("Last")},
        HostileCase{
            "long_meta_tags_without_end",
            []() -> QString { return repeatedTo(QStringLiteral("<meta ") + QString(1000, u'a')); },
            FetchedMetadata()},
        HostileCase{"key_attributes_without_content",
                    []() -> QString {
                        return repeatedTo(
                            QStringLiteral("<meta") +
                            QStringLiteral(R"( property="og:title" name='author')").repeated(200) +
                            QStringLiteral(">"));
                    },
                    FetchedMetadata()},
        HostileCase{"content_values_without_key",
                    []() -> QString {
                        return repeatedTo(
                            QStringLiteral("<meta") +
                            QStringLiteral(R"( content="a>" content='b')").repeated(200) +
                            QStringLiteral(">"));
                    },
                    FetchedMetadata()},
        HostileCase{"content_before_key_beyond_reach",
                    []() -> QString {
                        return repeatedTo(QStringLiteral(R"(<meta content="a" >)") +
                                          QStringLiteral(R"( property="og:title" )"));
                    },
                    FetchedMetadata()}),
    [](const auto &p) { return std::string(p.param.name); });

TEST(HtmlMetadataParser, UnpairedSurrogatesDoNotHideTags)
{
    QString html = QStringLiteral(R"(<meta property="og:title" content="Title">)");
    html.prepend(QChar(0xD800));
    html.append(QChar(0xDC00));
    EXPECT_EQ(MetadataService::parseHTMLMetadata(html, pageUrl).title, s("Title"));
}

// --- Image addresses --------------------------------------------------------------------------

struct ImageCase
{
    const char *name;
    const char *value;
    const char *expected;
};

class ImageAddress : public ::testing::TestWithParam<ImageCase>
{
};

TEST_P(ImageAddress, ResolvesAgainstThePage)
{
    const QString html =
        s(R"(<meta property="og:image" content=")") + s(GetParam().value) + QStringLiteral("\">");
    EXPECT_EQ(MetadataService::parseHTMLMetadata(html, pageUrl).imageURL, s(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    HtmlMetadataParser, ImageAddress,
    ::testing::Values(
        ImageCase{"absolute", "https://cdn.example.org/a.png", "https://cdn.example.org/a.png"},
        ImageCase{"plain_http", "http://cdn.example.org/a.png", "http://cdn.example.org/a.png"},
        ImageCase{"root_relative", "/images/a.png", "https://example.com/images/a.png"},
        ImageCase{"directory_relative", "images/a.png",
                  "https://example.com/guides/garden/images/a.png"},
        ImageCase{"parent_relative", "../a.png", "https://example.com/guides/a.png"},
        ImageCase{"scheme_relative", "//cdn.example.org/a.png", "https://cdn.example.org/a.png"},
        ImageCase{"upper_case_scheme", "HTTP://CDN.Example.org/A.png",
                  "http://cdn.example.org/A.png"},
        ImageCase{"space_in_path", "my image.png",
                  "https://example.com/guides/garden/my%20image.png"},
        ImageCase{"query", "?size=2", "https://example.com/guides/garden/page.html?size=2"},
        // Begins with "http", so it is taken as it stands.
        ImageCase{"http_prefix_only", "httpimage.png", "httpimage.png"},
        ImageCase{"unparsable", "//[oops/a.png", "//[oops/a.png"}),
    [](const auto &p) { return std::string(p.param.name); });

TEST(HtmlMetadataParser, TwitterImageIsResolvedToo)
{
    EXPECT_EQ(parse(R"(<meta name="twitter:image" content="/card.png">)").imageURL,
              s("https://example.com/card.png"));
}

// --- Trimming ---------------------------------------------------------------------------------

TEST(HtmlMetadataParser, TrimsTitleAndDescriptionOnly)
{
    const FetchedMetadata m = parse("<meta property=\"og:title\" content=\"\n  Spaced  \t\">"
                                    "<meta property=\"og:description\" content=\"  Text \">"
                                    "<meta property=\"og:site_name\" content=\" Site \">"
                                    "<meta name=\"author\" content=\" Ada \">");
    EXPECT_EQ(m.title, s("Spaced"));
    EXPECT_EQ(m.description, s("Text"));
    EXPECT_EQ(m.siteName, s(" Site "));
    EXPECT_EQ(m.author, s(" Ada "));
}

TEST(HtmlMetadataParser, BlankTitleStaysAnEmptyString)
{
    const FetchedMetadata m =
        parse("<title> \n </title><meta name=\"description\" content=\"  \">");
    ASSERT_TRUE(m.title);
    EXPECT_EQ(*m.title, QString());
    ASSERT_TRUE(m.description);
    EXPECT_EQ(*m.description, QString());
}

TEST(HtmlMetadataParser, TitleElementIsDecodedThenTrimmed)
{
    EXPECT_EQ(parse("<title> Home &amp; Garden </title>").title, s("Home & Garden"));
    EXPECT_EQ(parse("<title>&nbsp;Home&nbsp;</title>").title, s("Home"));
}

TEST(HtmlMetadataParser, ContentIsDecodedOnce)
{
    const FetchedMetadata m = parse(
        R"(<meta property="og:title" content="Tom &amp;amp; Jerry &mdash; &#8220;Live&#8221;">)");
    EXPECT_EQ(m.title, s("Tom &amp; Jerry — “Live”"));
}

// --- Character references ---------------------------------------------------------------------

struct EntityCase
{
    const char *name;
    const char *text;
    const char *expected;
};

class Entities : public ::testing::TestWithParam<EntityCase>
{
};

TEST_P(Entities, DecodeOnce)
{
    EXPECT_EQ(MetadataService::decodeHTMLEntities(s(GetParam().text)), s(GetParam().expected))
        << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    HtmlMetadataParser, Entities,
    ::testing::Values(
        EntityCase{"plain", "No references", "No references"},
        EntityCase{"basic", "&amp; &lt; &gt; &quot; &apos; &#39;", "& < > \" ' '"},
        EntityCase{"escaped_twice", "&amp;lt;b&amp;gt;", "&lt;b&gt;"},
        EntityCase{"common_named", "It&rsquo;s &mdash; caf&eacute; &hellip;", "It’s — café …"},
        EntityCase{"upper_case_name", "&Eacute;&AMP;", "É&"},
        EntityCase{"two_code_points", "&NotEqualTilde;", "\u2242\u0338"},
        EntityCase{"outside_basic_plane", "&Afr;", "\U0001D504"},
        EntityCase{"nbsp_is_plain_space", "a&nbsp;b", "a b"},
        EntityCase{"decimal", "caf&#233;", "café"},
        EntityCase{"decimal_nbsp_kept", "a&#160;b", "a\u00A0b"},
        EntityCase{"decimal_leading_zeros", "&#0000065;", "A"},
        EntityCase{"hex", "&#x2019;&#X2019;&#x1F600;", "’’😀"},
        EntityCase{"hex_from_old_table", "&#x27;&#x2F;&#x60;&#x3D;", "'/`="},
        EntityCase{"surrogate_decimal", "&#55296;", "&#55296;"},
        EntityCase{"surrogate_hex", "&#xDFFF;", "&#xDFFF;"},
        EntityCase{"beyond_unicode", "&#x110000; &#1114112;", "&#x110000; &#1114112;"},
        EntityCase{"too_large_for_32_bits", "&#4294967296;", "&#4294967296;"},
        EntityCase{"endless_digits", "&#99999999999999999999999999999999;",
                   "&#99999999999999999999999999999999;"},
        EntityCase{"zero", "&#0;", "&#0;"}, EntityCase{"no_digits", "&#; &#x;", "&#; &#x;"},
        EntityCase{"unknown_name", "&bogus; &amp", "&bogus; &amp"},
        EntityCase{"name_is_case_sensitive", "&AmP;", "&AmP;"},
        EntityCase{"no_semicolon", "&eacute &#233 &#xE9", "&eacute &#233 &#xE9"},
        EntityCase{"bare_ampersands", "R&D & more &&amp; &", "R&D & more && &"},
        EntityCase{"longest_name", "&CounterClockwiseContourIntegral;", "\u2233"},
        EntityCase{"too_long_name", "&CounterClockwiseContourIntegralX;",
                   "&CounterClockwiseContourIntegralX;"},
        EntityCase{"adjacent", "&lt;&gt;&#65;&#x42;", "<>AB"}),
    [](const auto &p) { return std::string(p.param.name); });

// --- Page text --------------------------------------------------------------------------------

TEST(HtmlMetadataParser, DecodesUtf8ElseLatin1)
{
    EXPECT_EQ(HtmlMetadataParser::decodePage(QByteArrayLiteral("caf\xc3\xa9"), false), s("café"));
    EXPECT_EQ(HtmlMetadataParser::decodePage(QByteArrayLiteral("caf\xe9"), false),
              QString::fromLatin1("caf\xe9"));
    EXPECT_EQ(HtmlMetadataParser::decodePage(QByteArray(), false), QString());
}

TEST(HtmlMetadataParser, PageCutShortLosesOnlyItsIncompleteLastCharacter)
{
    const QByteArray emoji = QByteArrayLiteral("ok \xf0\x9f\x98\x80");
    for (int cut = 1; cut <= 3; ++cut) {
        const QByteArray page = emoji.left(emoji.size() - cut);
        EXPECT_EQ(HtmlMetadataParser::decodePage(page, true), s("ok ")) << cut;
        // Complete as delivered, the same bytes are simply not UTF-8.
        EXPECT_EQ(HtmlMetadataParser::decodePage(page, false), QString::fromLatin1(page)) << cut;
    }
    EXPECT_EQ(HtmlMetadataParser::decodePage(emoji, true), s("ok 😀"));
    EXPECT_EQ(HtmlMetadataParser::decodePage(QByteArrayLiteral("caf\xc3"), true), s("caf"));
    // Invalid before the cut stays invalid.
    EXPECT_EQ(HtmlMetadataParser::decodePage(QByteArrayLiteral("\xe9t\xc3"), true),
              QString::fromLatin1("\xe9t\xc3"));
}

} // namespace
