#include <views/dialogs/ReadingDocument.h>

#include <QElapsedTimer>
#include <QTextDocument>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

ReadableBlock block(const QString &text, ReadableBlock::Kind kind = ReadableBlock::Kind::Paragraph,
                    int level = 0)
{
    return ReadableBlock{kind, level, text};
}

QString plainOf(const QString &html)
{
    QTextDocument document;
    document.setHtml(html);
    return document.toPlainText();
}

} // namespace

TEST(ReadingDocumentTest, EveryPieceOfThePageIsTextAndOnlyItsOwnLinksAreAnchors)
{
    ReadableText text;
    text.title = u"<script>alert(1)</script> Reading"_s;
    text.byline = u"Ann & <Bob>"_s;
    text.blocks = {block(u"See the study, <b>bold</b> & \"quoted\", then here."_s),
                   block(u"Heading <i>one</i>"_s, ReadableBlock::Kind::Heading, 1),
                   block(u"first <li>"_s, ReadableBlock::Kind::ListItem),
                   block(u"a quote"_s, ReadableBlock::Kind::Quote),
                   block(u"code <x>\n    kept"_s, ReadableBlock::Kind::Preformatted),
                   block(u"after the code, a last link"_s)};
    text.links = {{u"the study"_s, QUrl(u"https://example.org/study"_s)},
                  {u"words in no block"_s, QUrl(u"https://example.org/nowhere"_s)},
                  {u"here"_s, QUrl(u"https://example.org/here?a=1&b=\"2\""_s)},
                  {u"last link"_s, QUrl(u"mailto:someone@example.org"_s)}};
    const ReadingDocument::Built built = ReadingDocument::build(text, {});
    for (const QString &tag : {u"<script"_s, u"<b>"_s, u"<i>one"_s, u"<x>"_s, u"<Bob>"_s})
        EXPECT_FALSE(built.html.contains(tag)) << tag.toStdString();
    const QString plain = plainOf(built.html);
    for (const QString &shown : {u"<script>alert(1)</script> Reading"_s, u"Ann & <Bob>"_s,
                                 u"See the study, <b>bold</b> & \"quoted\", then here."_s,
                                 u"Heading <i>one</i>"_s, u"code <x>\n    kept"_s})
        EXPECT_TRUE(plain.contains(shown)) << shown.toStdString() << "\n" << plain.toStdString();

    // A link not found costs only itself; the ones after it are still anchored.
    EXPECT_TRUE(built.html.contains(u"<a href=\"link:0\">the study</a>"_s))
        << built.html.toStdString();
    EXPECT_FALSE(built.html.contains(u"link:1"_s));
    EXPECT_TRUE(built.html.contains(u"<a href=\"link:2\">here</a>"_s));
    EXPECT_TRUE(built.html.contains(u"<a href=\"link:3\">last link</a>"_s));
    EXPECT_EQ(ReadingDocument::linkOf(QUrl(u"link:2"_s), built.links),
              QUrl(u"https://example.org/here?a=1&b=\"2\""_s));
    for (const QString &foreign : {u"link:4"_s, u"link:-1"_s, u"link:x"_s,
                                   u"https://example.org/study"_s, u"file:///etc/passwd"_s})
        EXPECT_TRUE(ReadingDocument::linkOf(QUrl(foreign), built.links).isEmpty())
            << foreign.toStdString();
}

TEST(ReadingDocumentTest, SearchWordsAreMarkedFromTheStartOfAWordAndBounded)
{
    EXPECT_EQ(ReadingDocument::searchWords(u"  Lighthouse, \"keeper\" LIGHTHOUSE -storm "_s),
              (QStringList{u"Lighthouse"_s, u"keeper"_s, u"storm"_s}));
    EXPECT_EQ(ReadingDocument::searchWords(u"a b c d e f g h i j k l m n o p q r"_s).size(), 16);
    EXPECT_TRUE(ReadingDocument::searchWords(u"*** ( )"_s).isEmpty());

    ReadableText text;
    text.blocks = {block(u"The lighthouse keepers; a Lighthouse. Searchlighthouse is not one."_s)};
    const QString html = ReadingDocument::build(text, {u"lighthouse"_s, u"(.*)"_s}).html;
    EXPECT_EQ(html.count(u"background-color"_s), 2) << html.toStdString();

    // A word found everywhere is marked a bounded number of times.
    ReadableText common;
    common.blocks = {block(u"a "_s.repeated(100'000))};
    EXPECT_EQ(ReadingDocument::build(common, {u"a"_s}).html.count(u"background-color"_s), 5000);
}

TEST(ReadingDocumentTest, ManyLinksFoundNowhereCostLittle)
{
    ReadableText text;
    for (int i = 0; i < 5000; ++i)
        text.blocks.append(block(u"Paragraph %1 of plain words without a single link."_s.arg(i)));
    for (int i = 0; i < 10'000; ++i)
        text.links.append({u"missing %1"_s.arg(i), QUrl(u"https://example.org/%1"_s.arg(i))});
    QElapsedTimer timer;
    timer.start();
    const ReadingDocument::Built built = ReadingDocument::build(text, {u"plain"_s});
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_FALSE(built.html.contains(u"<a "_s));
    EXPECT_EQ(built.links.size(), 10'000);
}
