#include "ReadableTestSupport.h"

#include <html/HtmlDecoding.h>
#include <readable/ReadableExtractor.h>

#include <QStringEncoder>

#include <thread>

#include <gtest/gtest.h>

using namespace quillory;
using namespace quillory::test;
using namespace Qt::StringLiterals;

namespace quillory {

void PrintTo(const ReadableBlock &block, std::ostream *out)
{
    *out << "{kind " << int(block.kind) << ", level " << block.level << ", \""
         << block.text.toStdString() << "\"}";
}

} // namespace quillory

namespace {

using Kind = ReadableBlock::Kind;
using Outcome = ReadableText::Outcome;

ReadableText readFixture(const char *name)
{
    const QByteArray bytes = readableFixture(name);
    EXPECT_FALSE(bytes.isEmpty()) << name;
    return ReadableExtractor::extract(HtmlDecoding::decodePage(bytes, "text/html", false),
                                      pageAddress);
}

TEST(ReadableExtractor, AnArticleKeepsItsBlocksInOrderAndNothingAroundIt)
{
    const ReadableText text = readFixture("article.html");
    EXPECT_EQ(text.outcome, Outcome::Article);
    EXPECT_EQ(text.title, u"Keeping Bees on a City Roof"_s);
    EXPECT_EQ(text.byline, u"By Mara Lind"_s);
    EXPECT_FALSE(text.inputCut);
    EXPECT_FALSE(text.outputCut);

    // The article's blocks, each once, in the page's order; the dateline may stand first.
    const QList<ReadableBlock> expected = {
        {Kind::Paragraph, 0,
         u"When we carried the first hive up four flights of stairs, the neighbours thought we "
         u"had lost our minds. A year later, the same neighbours queue at our door in September "
         u"for a jar of dark, smoky honey that tastes of lime trees, buddleia and, faintly, of "
         u"the railway embankment."_s},
        {Kind::Paragraph, 0,
         u"This is what we learned, mostly the hard way, about keeping a colony healthy on a "
         u"flat roof that was never built for it, in a city that bakes in July and howls in "
         u"January."_s},
        {Kind::Heading, 2, u"Choosing the spot"_s},
        {Kind::Paragraph, 0,
         u"Bees want morning sun, shelter from the prevailing wind and a clear flight path that "
         u"does not cross a neighbour's washing line. We moved the hive twice, three feet at a "
         u"time, before the foragers stopped circling the old spot in confusion."_s},
        {Kind::Paragraph, 0,
         u"Water matters more than people expect. A shallow tray of gravel, topped up every "
         u"morning, kept the bees away from the dripping tap on the floor below, which kept the "
         u"peace."_s},
        {Kind::Quote, 0,
         u"A roof is a desert with a view. Give them water first, and everything else second."_s},
        {Kind::Heading, 2, u"Weight, wind and the landlord"_s},
        {Kind::Paragraph, 0,
         u"A full hive in late summer can weigh as much as a grown adult, and a roof has limits. "
         u"We asked a structural engineer, wrote to the landlord, and strapped the hive to two "
         u"concrete slabs after a storm in October lifted the roof of the shed next door."_s},
        {Kind::ListItem, 0, u"Check the load the roof can carry before the hive goes up."_s},
        {Kind::ListItem, 0, u"Strap the hive down, and check the straps after every storm."_s},
        {Kind::ListItem, 0, u"Keep a written note of who may go up, and when."_s},
        {Kind::Heading, 3, u"What the inspection log looked like"_s},
        {Kind::Preformatted, 0,
         u"Date        Frames of brood   Stores   Temper\n"
         u"2026-05-02  6                 light    calm\n"
         u"2026-06-14  9                 heavy    lively"_s},
        {Kind::Paragraph, 0,
         u"None of this is hard. It asks for patience, a veil that fits, and neighbours who like "
         u"honey more than they fear a sting. Ours, it turns out, do."_s},
    };
    QList<ReadableBlock> blocks = text.blocks;
    if (!blocks.isEmpty() && blocks.front().text == u"18 April 2026"_s)
        blocks.removeFirst();
    EXPECT_EQ(blocks, expected);

    ASSERT_EQ(text.links.size(), 1);
    EXPECT_EQ(text.links.front().text, u"that was never built for it"_s);
    EXPECT_EQ(text.links.front().address,
              QUrl(u"https://post.example/2026/04/guides/roof-load.html"_s));

    const QString plain = text.plainText();
    EXPECT_TRUE(plain.contains(u"embankment.\n\nThis is what we learned"_s));
    EXPECT_TRUE(plain.contains(u"\n\nChoosing the spot\n\nBees want"_s));
    for (const QString &unwanted : {u"ScriptWord"_s,      u"HiddenWord"_s,
                                    u"AriaWord"_s,        u"HiddenAttributeWord"_s,
                                    u"CommentWord"_s,     u"SidebarWord"_s,
                                    u"FooterWord"_s,      u"Gardens"_s,
                                    u"Skip to content"_s, u"Share"_s,
                                    u"Related"_s,         u"Swarm season"_s,
                                    u"Filed under"_s,     u"cookies"_s,
                                    u"Your comment"_s,    u"14 comments"_s,
                                    u"Search"_s,          u"Popular this week"_s,
                                    u"Mara Lind"_s,       u"track("_s,
                                    u"font-family"_s})
        EXPECT_FALSE(plain.contains(unwanted)) << unwanted.toStdString();
}

TEST(ReadableExtractor, AnArticleBodyLosesTheBoxesSetInsideIt)
{
    // Classes and ids only, no article element: an advertisement, a sign-up form and related
    // links sit among the paragraphs, and the title's heading stands outside the body.
    const ReadableText text = readFixture("longread.html");
    EXPECT_EQ(text.outcome, Outcome::Article);
    EXPECT_EQ(text.title, u"The slow return of the hedgerow"_s);
    EXPECT_EQ(text.byline, u"Tomasz Ferrell"_s);
    ASSERT_FALSE(text.blocks.isEmpty());
    EXPECT_TRUE(text.blocks.front().text.startsWith(u"The tractor stops at the end of the row"_s));
    EXPECT_TRUE(text.blocks.back().text.startsWith(u"Hedge figures from the national"_s));
    const QStringList texts = blockTexts(text);
    // A table row reads as one line, its cells parted by tabs.
    EXPECT_TRUE(texts.contains(u"Hawthorn\t60%\tFast, thorny, stockproof"_s));
    EXPECT_TRUE(texts.contains(u"Leave a tree every fifty metres, and tag it so the flail "
                               u"driver knows."_s));
    EXPECT_EQ(texts.count(u"Counting the miles"_s), 1);
    const QString plain = text.plainText();
    for (const QString &unwanted :
         {u"Advertisement"_s, u"every Friday"_s, u"Sign up"_s, u"More from Features"_s,
          u"wallers"_s, u"Share on"_s, u"Comments are closed"_s, u"Most read"_s, u"Subscribe"_s,
          u"All rights reserved"_s, u"Wildlife"_s, u"writes about farming"_s})
        EXPECT_FALSE(plain.contains(unwanted)) << unwanted.toStdString();
    ASSERT_EQ(text.links.size(), 1);
    EXPECT_EQ(text.links.front().address, QUrl(u"https://survey.example/hedgerows/2025"_s));
}

TEST(ReadableExtractor, PagesWithoutAnArticleGiveTheirVisibleText)
{
    const ReadableText links = readFixture("links.html");
    EXPECT_EQ(links.outcome, Outcome::VisibleText);
    EXPECT_EQ(links.title, u"Useful links for allotment holders"_s);
    EXPECT_EQ(blockTexts(links).mid(0, 3),
              (QStringList{u"Seeds"_s, u"Heritage Seed Library"_s, u"Seed swap calendar"_s}));
    EXPECT_EQ(links.blocks.at(1).kind, Kind::ListItem);
    EXPECT_FALSE(links.plainText().contains(u"Home"_s));
    EXPECT_FALSE(links.plainText().contains(u"site committee"_s));
    // Every web link is kept and made absolute; the script link is not.
    ASSERT_EQ(links.links.size(), 9);
    EXPECT_EQ(links.links.at(3).text, u"Our own seed box"_s);
    EXPECT_EQ(links.links.at(3).address, QUrl(u"https://post.example/local/seed-box"_s));
    for (const ReadableLink &link : links.links)
        EXPECT_NE(link.address.scheme(), u"javascript"_s);

    // Results score like paragraphs, but they lead with links: not an article.
    const ReadableText search = readFixture("search.html");
    EXPECT_EQ(search.outcome, Outcome::VisibleText);
    const QString plain = search.plainText();
    for (const QString &result :
         {u"Rhubarb crumble, forced or not"_s, u"Forcing pots: clay, plastic or a bucket?"_s,
          u"Dividing rhubarb crowns in winter"_s, u"The rhubarb triangle, explained"_s})
        EXPECT_TRUE(plain.contains(result)) << result.toStdString();
    EXPECT_EQ(search.links.size(), 4);

    // A page of navigation alone shows its navigation rather than nothing.
    const ReadableText menu = ReadableExtractor::extract(
        u"<body><nav><a href=/a>First page</a> <a href=/b>Second page</a></nav></body>"_s,
        pageAddress);
    EXPECT_EQ(menu.outcome, Outcome::VisibleText);
    EXPECT_EQ(blockTexts(menu), QStringList{u"First page Second page"_s});

    // Nothing a reader can see: no text at all, and said so.
    for (const QString &empty :
         {QString(),
          u"<html><head><title>Blank</title><style>p{}</style></head><body> "
          u"<script>document.write('x')</script><div hidden>secret</div></body>"_s,
          u"   \n  "_s}) {
        const ReadableText nothing = ReadableExtractor::extract(empty, pageAddress);
        EXPECT_EQ(nothing.outcome, Outcome::NoText);
        EXPECT_TRUE(nothing.blocks.isEmpty());
        EXPECT_TRUE(nothing.plainText().isEmpty());
    }
}

TEST(ReadableExtractor, ArticlesWithoutArticleMarkupAreFound)
{
    // A layout of nested tables, in ISO-8859-1, with a menu cell and a footer row.
    const ReadableText tables = readFixture("tables.html");
    EXPECT_EQ(tables.outcome, Outcome::Article);
    const QStringList texts = blockTexts(tables);
    ASSERT_EQ(texts.size(), 5) << texts.join(u'|').toStdString();
    EXPECT_EQ(tables.blocks.front(), (ReadableBlock{Kind::Heading, 2, u"Grafting apple trees"_s}));
    EXPECT_TRUE(texts.at(1).startsWith(u"Grafting is how every named apple variety"_s));
    EXPECT_TRUE(texts.at(2).startsWith(u"Cut the scions in January"_s));
    EXPECT_TRUE(texts.at(3).startsWith(u"A whip-and-tongue graft"_s));
    EXPECT_TRUE(texts.at(4).startsWith(u"Seal every cut with grafting wax"_s));
    for (const QString &unwanted : {u"Meetings"_s, u"Join us"_s, u"secretary"_s, u"©"_s})
        EXPECT_FALSE(tables.plainText().contains(unwanted)) << unwanted.toStdString();

    // Paragraphs written as a <div> of text parted by pairs of <br>.
    const ReadableText divs = readFixture("divs.html");
    EXPECT_EQ(divs.outcome, Outcome::Article);
    ASSERT_EQ(divs.blocks.size(), 3) << blockTexts(divs).join(u'|').toStdString();
    EXPECT_TRUE(divs.blocks.at(0).text.startsWith(u"Seed potatoes arrived on Tuesday"_s));
    EXPECT_TRUE(divs.blocks.at(2).text.endsWith(u"before the frosts were over."_s));
    EXPECT_FALSE(divs.plainText().contains(u"Archive"_s));
    EXPECT_FALSE(divs.plainText().contains(u"FooterWord"_s));

    // A wrapper whose class names a sidebar beside it still holds the article.
    const QString prose = u"<p>Paragraph of the article, long enough, with commas, to count as "
                          u"one, which is what a reader came for.</p>"_s;
    const QString page = u"<body><div class=\"layout-with-sidebar\"><div class=\"column\">"_s +
                         prose.repeated(4) +
                         u"</div><div class=\"sidebar\"><p>SidebarWord, in a box of links and "
                         u"promotions, as sidebars are.</p></div></div></body>"_s;
    const ReadableText wrapped = ReadableExtractor::extract(page, pageAddress);
    EXPECT_EQ(wrapped.outcome, Outcome::Article);
    EXPECT_EQ(wrapped.blocks.size(), 4);
    EXPECT_FALSE(wrapped.plainText().contains(u"SidebarWord"_s));

    // Inside an article a list of links is a menu, an ordered one its references.
    const QString listed = u"<article>"_s + prose.repeated(3) +
                           u"<ul><li><a href=/a>Menu one</a><li><a href=/b>Menu two</a>"
                           u"<li><a href=/c>Menu three</a></ul><ol><li><a href=/r1>Source one"
                           u"</a><li><a href=/r2>Source two</a><li><a href=/r3>Source three"
                           u"</a></ol></article>"_s;
    const ReadableText sourced = ReadableExtractor::extract(listed, pageAddress);
    EXPECT_EQ(blockTexts(sourced).mid(3),
              (QStringList{u"Source one"_s, u"Source two"_s, u"Source three"_s}));
    EXPECT_EQ(sourced.links.size(), 3);

    // Utility classes that name "hidden" dress content as often as they hide it.
    const QString utility = u"<body><main class=\"container\">"_s + prose +
                            u"<div class=\"hidden md:block overflow-hidden\">"_s +
                            prose.repeated(2) + u"</div>"_s + prose + u"</main></body>"_s;
    const ReadableText dressed = ReadableExtractor::extract(utility, pageAddress);
    EXPECT_EQ(dressed.outcome, Outcome::Article);
    EXPECT_EQ(dressed.blocks.size(), 4);
}

TEST(ReadableExtractor, WhitespaceCollapsesAsABrowserShowsIt)
{
    const ReadableText text = ReadableExtractor::extract(
        u"<article><p>  One\t\ttwo <b>three</b><i> four</i>\n\n five&nbsp;six<br>"
        u"seven <br> eight   </p><pre>\n  keep   these\n\tspaces\n</pre>"
        u"<p>Long enough to be a paragraph of an article, with commas, words, and more words "
        u"than a menu ever has, so that it reads as one, which it is, to anyone.</p>"
        u"<p>And a second paragraph, just as long, with just as many commas, words, and "
        u"reasons, so that the page holds more than two hundred bytes of prose.</p></article>"_s,
        pageAddress);
    EXPECT_EQ(text.outcome, Outcome::Article);
    ASSERT_GE(text.blocks.size(), 2);
    EXPECT_EQ(text.blocks.at(0).text, u"One two three four five\u00A0six\nseven\neight"_s);
    EXPECT_EQ(text.blocks.at(1),
              (ReadableBlock{Kind::Preformatted, 0, u"  keep   these\n\tspaces"_s}));
}

TEST(ReadableExtractor, TextInEveryScriptIsKeptWhole)
{
    const ReadableText text = readFixture("multiscript.html");
    EXPECT_EQ(text.outcome, Outcome::Article);
    EXPECT_EQ(text.title, u"الحديقة على السطح"_s);
    const QStringList expected = {
        u"زرعنا الطماطم والريحان في صناديق خشبية على سطح البناية، وسقيناها كل صباح قبل أن تشتد "
        u"حرارة الشمس، فأثمرت في منتصف الصيف ثمارًا حمراء حلوة."_s,
        u"קטפנו את העגבניות הראשונות ביולי, והשכנים, שצחקו עלינו באביב, ביקשו שתילים לשנה הבאה."_s,
        u"屋上の庭で学んだこと"_s,
        u"屋上の庭では、朝の水やりがいちばん大切です。夏の午後は日差しが強く、土がすぐに乾いてしま"
        u"う"
        u"ので、鉢の下に受け皿を置き、風よけのネットを張りました。"_s,
        u"我们在屋顶上种了西红柿、罗勒和辣椒，每天早上浇水，到了八月，邻居们都来分享收获。"_s,
        u"Emoji keep their halves: 🍅🌿🐝 and combining marks keep their base: é, ñ, ộ."_s,
    };
    EXPECT_EQ(blockTexts(text), expected);

    // Cut at any byte limit, the text still ends on a whole character.
    const QString paragraph = u"<p>"_s + u"漢字🐝é, عربي "_s.repeated(400) + u"</p>"_s;
    for (qsizetype limit = 200; limit < 260; ++limit) {
        ReadableExtractor::Limits limits;
        limits.outputBytes = limit;
        limits.inputBytes = limit * 10 + 7;
        const ReadableText cut = ReadableExtractor::extract(paragraph, pageAddress, limits);
        ASSERT_FALSE(cut.blocks.isEmpty());
        const QString plain = cut.plainText();
        EXPECT_TRUE(cut.outputCut);
        EXPECT_TRUE(cut.inputCut);
        EXPECT_TRUE(plain.isValidUtf16()) << limit;
        EXPECT_FALSE(plain.contains(QChar::ReplacementCharacter)) << limit;
        EXPECT_LE(plain.toUtf8().size(), limit);
        EXPECT_GT(plain.toUtf8().size(), limit - 8);
    }
}

TEST(ReadableExtractor, LegacyCharsetPagesReadThroughTheDecoding)
{
    const QString russian =
        u"Весной мы посадили картофель на даче, и к августу соседи, которые смеялись над нами, "
        u"попросили семена на следующий год, потому что урожай был отличный."_s;
    const QString page = u"<html><head><meta charset=\"windows-1251\"><title>Дача</title></head>"
                         u"<body><article><h2>Картофель</h2><p>"_s +
                         russian + u"</p><p>"_s + russian + u"</p></article></body></html>"_s;
    QStringEncoder encoder("windows-1251");
    const QByteArray bytes = encoder.encode(page);
    ASSERT_FALSE(encoder.hasError());
    ASSERT_FALSE(bytes.isValidUtf8());
    const ReadableText text = ReadableExtractor::extract(
        HtmlDecoding::decodePage(bytes, "text/html", false), pageAddress);
    EXPECT_EQ(text.outcome, Outcome::Article);
    EXPECT_EQ(text.title, u"Дача"_s);
    EXPECT_EQ(blockTexts(text), (QStringList{u"Картофель"_s, russian, russian}));
}

TEST(ReadableExtractor, PagesAreReadOnManyThreadsAtOnce)
{
    // The keeping queue reads several pages at a time on the thread pool.
    const char *const names[] = {"article.html", "longread.html",    "links.html", "search.html",
                                 "tables.html",  "multiscript.html", "divs.html"};
    QStringList pages;
    QStringList alone;
    for (const char *name : names) {
        pages << HtmlDecoding::decodePage(readableFixture(name), "text/html", false);
        alone << ReadableExtractor::extract(pages.back(), pageAddress).plainText();
    }
    std::vector<QStringList> seen(4);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < seen.size(); ++t) {
        threads.emplace_back([&pages, &seen, t] {
            for (int round = 0; round < 20; ++round) {
                for (qsizetype i = 0; i < pages.size(); ++i) {
                    const qsizetype page = (i + qsizetype(t)) % pages.size();
                    seen[t] << ReadableExtractor::extract(pages.at(page), pageAddress).plainText();
                }
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    for (size_t t = 0; t < seen.size(); ++t) {
        ASSERT_EQ(seen[t].size(), pages.size() * 20);
        for (qsizetype i = 0; i < seen[t].size(); ++i)
            ASSERT_EQ(seen[t].at(i), alone.at((i + qsizetype(t)) % pages.size()));
    }
}

} // namespace
