#include "PeakMemory.h"
#include "ReadableTestSupport.h"

#include <html/HtmlDecoding.h>
#include <readable/ReadableExtractor.h>

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace quillory;
using namespace quillory::test;
using namespace Qt::StringLiterals;

namespace {

using Outcome = ReadableText::Outcome;

const QString paragraph = u"<p>Words, more words and yet more words, in a paragraph long enough to "
                          u"count, with commas, as an article's paragraph does.</p>\n"_s;

struct Timed
{
    ReadableText text;
    qint64 ms;
};

Timed timedExtract(const QString &html)
{
    QElapsedTimer clock;
    clock.start();
    ReadableText text = ReadableExtractor::extract(html, pageAddress);
    return {std::move(text), clock.elapsed()};
}

TEST(HostilePage, DeepNestingIsFlattenedNotFollowed)
{
    // A parser checks its stack of open elements on most tags; 100,000 of them open would
    // cost it minutes, and any walk that recursed would run out of stack.
    const int depth = 100'000;
    const QString deepDivs = u"<body>"_s + u"<div>"_s.repeated(depth) + paragraph + paragraph +
                             u"</div>"_s.repeated(depth) + u"</body>"_s;
    const Timed divs = timedExtract(deepDivs);
    EXPECT_LT(divs.ms, 10'000);
    EXPECT_EQ(divs.text.blocks.size(), 2);
    EXPECT_TRUE(divs.text.plainText().startsWith(u"Words, more words"_s));

    // Inline elements, formatting elements the parser reopens, and stray end tags that never
    // close what is open.
    for (const QString &opening :
         {u"<span><b>"_s, u"<i class=a><em>"_s, u"<div></span>"_s, u"<table><tr><td>"_s,
          u"<svg><g>"_s, u"<ul><li>"_s, u"<blockquote>"_s}) {
        const Timed nested = timedExtract(opening.repeated(depth) + paragraph.repeated(3));
        EXPECT_LT(nested.ms, 10'000) << opening.toStdString();
        // Paragraphs break out of <svg> as they do in a browser.
        EXPECT_TRUE(nested.text.plainText().contains(u"yet more words"_s)) << opening.toStdString();
    }
}

TEST(HostilePage, FormattingLeftOpenIsNotReopenedInEveryBlock)
{
    // A parser reopens every formatting element left open at each new block, and keeps open
    // the blocks that one closed too early holds; either would grow the tree by the square
    // of the page.
    const int count = 100'000;
    struct Case
    {
        QString repeated;
        QString word;
    };
    const Case cases[] = {
        {u"<p><b id=%1>bold"_s, u"bold"_s},
        {u"<div><font size=%1></div>plain"_s, u"plain"_s},
        {u"<b><div></b>inside"_s, u"inside"_s},
        {u"<li><em class=c%1><strong>deep</em>"_s, u"deep"_s},
    };
    for (const Case &attack : cases) {
        QString page;
        for (int i = 0; i < count; ++i)
            page += attack.repeated.contains(u"%1"_s) ? attack.repeated.arg(i) : attack.repeated;
        PeakMemory::reset();
        const qint64 before = PeakMemory::peakKiB();
        const Timed read = timedExtract(page);
        EXPECT_LT(read.ms, 20'000) << attack.repeated.toStdString();
        EXPECT_LT(PeakMemory::peakKiB() - before, 1024 * 1024) << attack.repeated.toStdString();
        EXPECT_TRUE(read.text.plainText().startsWith(attack.word)) << attack.repeated.toStdString();
    }
}

TEST(HostilePage, AHugePageIsCutAndReadInBoundedTime)
{
    const QString page = u"<html><head><title>Huge</title></head><body><article>"_s +
                         paragraph.repeated(20 * 1024 * 1024 / paragraph.size()) +
                         u"</article></body></html>"_s;
    ASSERT_GT(page.size(), 20 * 1000 * 1000);
    const Timed huge = timedExtract(page);
    EXPECT_LT(huge.ms, 120'000);
    EXPECT_EQ(huge.text.outcome, Outcome::Article);
    EXPECT_TRUE(huge.text.inputCut);
    EXPECT_TRUE(huge.text.outputCut);
    EXPECT_EQ(huge.text.title, u"Huge"_s);
    const qsizetype written = huge.text.plainText().toUtf8().size();
    EXPECT_LE(written, ReadableExtractor::Limits().outputBytes);
    EXPECT_GT(written, ReadableExtractor::Limits().outputBytes * 9 / 10);

    // A title and an author's name of megabytes are cut, on a character boundary.
    const QString bees = u"🐝"_s.repeated(500'000);
    const QString named = u"<title>"_s + bees + u"</title><meta name=author content=\""_s + bees +
                          u"\"><article>"_s + paragraph.repeated(3);
    const ReadableText cut = ReadableExtractor::extract(named, pageAddress);
    for (const QString &field : {cut.title, cut.byline}) {
        EXPECT_TRUE(field.isValidUtf16());
        EXPECT_GT(field.size(), 1000);
        EXPECT_LE(field.size(), 2000);
    }

    // Millions of tags with nothing between them: the parser sees only the first of them.
    const Timed tags = timedExtract(u"<body>"_s + u"<a><br>"_s.repeated(1'500'000));
    EXPECT_LT(tags.ms, 60'000);
    EXPECT_EQ(tags.text.outcome, Outcome::NoText);

    // A script or comment left open swallows the rest of the page, as in a browser.
    for (const QString &open : {u"<script>var a = '<p>"_s, u"<!-- <p>"_s, u"<style>p{"_s}) {
        const QString unclosedPage = paragraph + open + paragraph.repeated(3);
        const ReadableText unclosed = ReadableExtractor::extract(unclosedPage, pageAddress);
        EXPECT_EQ(unclosed.blocks.size(), 1) << open.toStdString();
    }
}

TEST(HostilePage, BinaryServedAsHtmlGivesNoTextQuickly)
{
    QRandomGenerator random(39);
    QByteArray noise(5 * 1024 * 1024, '\0');
    random.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    const QByteArray compressed = qCompress(paragraph.repeated(5000).toUtf8(), 9);
    const QByteArray picture =
        QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16) + noise.first(100'000);
    // UTF-16 with no byte order mark reads as text with a NUL after every letter.
    const QByteArray wide =
        QByteArray(reinterpret_cast<const char *>(paragraph.utf16()), paragraph.size() * 2)
            .repeated(100);
    for (const QByteArray &bytes : {noise, compressed, picture, wide}) {
        for (const char *contentType : {"text/html", "text/html; charset=utf-8"}) {
            QElapsedTimer clock;
            clock.start();
            const ReadableText text = ReadableExtractor::extract(
                HtmlDecoding::decodePage(bytes, contentType, false), pageAddress);
            EXPECT_LT(clock.elapsed(), 5'000);
            EXPECT_EQ(text.outcome, Outcome::NotText) << contentType;
            EXPECT_TRUE(text.blocks.isEmpty());
            EXPECT_TRUE(text.links.isEmpty());
        }
    }
}

TEST(HostilePage, MarkupSoupGivesWellFormedText)
{
    // Pieces of markup in any order: open and stray tags, quotes and comments left open,
    // raw text elements, references, text in several scripts, lone surrogates.
    const QString pieces[] = {
        u"<div>"_s,
        u"</div>"_s,
        u"<p>"_s,
        u"</p>"_s,
        u"<b>"_s,
        u"</b>"_s,
        u"<table>"_s,
        u"<td>"_s,
        u"<li>"_s,
        u"<ul>"_s,
        u"<pre>"_s,
        u"</pre>"_s,
        u"<br>"_s,
        u"<h2>"_s,
        u"<blockquote>"_s,
        u"<nav>"_s,
        u"<a href=\"/x\">"_s,
        u"<a href='javascript:y'>"_s,
        u"</a>"_s,
        u"<script>"_s,
        u"</script>"_s,
        u"<style>"_s,
        u"<!--"_s,
        u"-->"_s,
        u"<div class=\"comments\">"_s,
        u"<span hidden>"_s,
        u"<svg>"_s,
        u"<math>"_s,
        u"<title>"_s,
        u"<textarea>"_s,
        u"<plaintext>"_s,
        u"<base href=\"//evil.example/\">"_s,
        u"\""_s,
        u"'"_s,
        u"<"_s,
        u">"_s,
        u"&amp;"_s,
        u"&#0;"_s,
        u"&#xD800;"_s,
        u"&notanentity"_s,
        u"word, "_s,
        u"more words, "_s,
        u"  \n\t "_s,
        u"漢字、"_s,
        u"عربي، "_s,
        u"🐝"_s,
        QString(QChar(0xD800)),
        QString(QChar(0xDC00)),
        QString(QChar(0)),
        u"\u00A0"_s,
        u"<p>A long sentence with commas, words, and more words, to score.</p>"_s};
    QRandomGenerator random(3901);
    ReadableExtractor::Limits limits;
    limits.outputBytes = 4096;
    for (int page = 0; page < 1000; ++page) {
        QString html;
        const int length = random.bounded(1, 400);
        for (int i = 0; i < length; ++i)
            html += pieces[random.bounded(int(std::size(pieces)))];
        const ReadableText text = ReadableExtractor::extract(html, pageAddress, limits);
        const QString plain = text.plainText();
        ASSERT_TRUE(plain.isValidUtf16()) << html.toStdString();
        ASSERT_TRUE(text.title.isValidUtf16()) << html.toStdString();
        ASSERT_LE(plain.toUtf8().size(), limits.outputBytes) << html.toStdString();
        EXPECT_EQ(text.blocks.isEmpty(), text.outcome == ReadableText::Outcome::NoText ||
                                             text.outcome == ReadableText::Outcome::NotText);
        for (const ReadableBlock &block : text.blocks) {
            ASSERT_FALSE(block.text.isEmpty());
            if (block.kind == ReadableBlock::Kind::Preformatted)
                continue;
            const auto asciiSpace = [](QChar c) {
                return c == u' ' || c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r';
            };
            EXPECT_FALSE(asciiSpace(block.text.front()) || asciiSpace(block.text.back()))
                << html.toStdString();
            EXPECT_FALSE(block.text.contains(u"  "_s)) << html.toStdString();
        }
        for (const ReadableLink &link : text.links) {
            ASSERT_TRUE(link.address.isValid());
            const QString scheme = link.address.scheme();
            EXPECT_TRUE(scheme == u"http"_s || scheme == u"https"_s) << html.toStdString();
        }
    }
}

TEST(HostilePage, OnlyWebAndMailLinksAreKept)
{
    const QString page =
        u"<base href=\"https://mirror.example/docs/\"><article>"_s + paragraph.repeated(3) +
        u"<p>See <a href=\"java&#10;script:alert(1)\">one</a>, <a href=\"data:text/html,x\">two</a>"
        u", <a href=\"#top\">three</a>, <a href=\"page.html\">four</a>, "
        u"<a href=\"mailto:a@b.example\">five</a>, <a href=\"HTTPS://other.example/x\">six</a>, "
        u"<a href=\"vbscript:x\">seven</a>, and <a>eight</a>, all in a paragraph.</p></article>"_s;
    const ReadableText text = ReadableExtractor::extract(page, pageAddress);
    QStringList kept;
    for (const ReadableLink &link : text.links)
        kept << link.text + u' ' + link.address.toString();
    EXPECT_EQ(kept, (QStringList{u"four https://mirror.example/docs/page.html"_s,
                                 u"five mailto:a@b.example"_s, u"six https://other.example/x"_s}));
    EXPECT_TRUE(text.plainText().contains(u"See one, two, three, four, five, six, seven, and "
                                          u"eight, all in a paragraph."_s));
}

} // namespace
