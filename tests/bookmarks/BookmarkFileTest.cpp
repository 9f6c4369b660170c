#include <bookmarks/BookmarkFileReader.h>
#include <bookmarks/BookmarkFileWriter.h>

#include <QFile>
#include <QStringEncoder>

#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

QByteArray fixture(const char *name)
{
    QFile file(QStringLiteral(QUILLORY_BOOKMARK_FIXTURES "/") + QLatin1StringView(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

BookmarkTree treeOf(const QByteArray &bytes)
{
    BookmarkFileReader::Result read = BookmarkFileReader::read(bytes);
    EXPECT_TRUE(read.tree) << read.error.toStdString();
    return read.tree.value_or(BookmarkTree());
}

BookmarkTree treeOfList(const QByteArray &entries)
{
    return treeOf("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n" + entries);
}

// Folder names from the top down to the folder at `index`, joined by "/".
QString pathOf(const BookmarkTree &tree, qsizetype index)
{
    QStringList names;
    for (; index >= 0; index = tree.folders[size_t(index)].parent)
        names.prepend(tree.folders[size_t(index)].name);
    return names.join(u'/');
}

const BookmarkEntry *bookmarkTitled(const BookmarkTree &tree, const QString &title)
{
    for (const BookmarkEntry &b : tree.bookmarks) {
        if (b.title == title)
            return &b;
    }
    return nullptr;
}

} // namespace

TEST(BookmarkFileReaderTest, ReadsWhatFirefoxWrites)
{
    const BookmarkTree tree = treeOf(fixture("firefox.html"));

    std::vector<QString> folders;
    for (qsizetype i = 0; i < qsizetype(tree.folders.size()); ++i)
        folders.push_back(pathOf(tree, i));
    EXPECT_EQ(folders,
              (std::vector<QString>{u"Mozilla Firefox"_s, u"Bookmarks Toolbar"_s,
                                    u"Bookmarks Toolbar/Reading"_s, u"Other Bookmarks"_s}));
    ASSERT_EQ(tree.bookmarks.size(), 6u);
    // The separator, the "place:" query, the bookmarklet and the feed without a page.
    EXPECT_EQ(tree.skipped, 4);

    const BookmarkEntry *help = bookmarkTitled(tree, u"Get Help"_s);
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->folder, -1);
    EXPECT_EQ(help->addedAt, 1'700'000'000'000);
    EXPECT_EQ(help->url, u"https://support.mozilla.org/products/firefox"_s);

    const BookmarkEntry *pasta = bookmarkTitled(tree, u"Pasta & Sauces"_s);
    ASSERT_NE(pasta, nullptr);
    EXPECT_EQ(pathOf(tree, pasta->folder), u"Bookmarks Toolbar"_s);
    EXPECT_EQ(pasta->url, u"https://example.com/recipes?id=4&utm_source=newsletter"_s);
    EXPECT_EQ(pasta->tags, (QStringList{u"cooking"_s, u"weekend"_s}));
    EXPECT_EQ(pasta->note, u"Try the tomato one <soon>, says Zoë"_s);
    EXPECT_EQ(pasta->modifiedAt, 1'710'000'500'000);

    // A folder's description is not a note of the bookmark before it.
    const BookmarkEntry *about = bookmarkTitled(tree, u"About Us"_s);
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->note.isEmpty());
    EXPECT_EQ(pathOf(tree, bookmarkTitled(tree, u"A long read"_s)->folder),
              u"Bookmarks Toolbar/Reading"_s);
    EXPECT_EQ(pathOf(tree, bookmarkTitled(tree, u"A video"_s)->folder), u"Other Bookmarks"_s);
}

TEST(BookmarkFileReaderTest, ReadsWhatChromiumWrites)
{
    const BookmarkTree tree = treeOf(fixture("chromium.html"));
    ASSERT_EQ(tree.folders.size(), 3u);
    EXPECT_EQ(pathOf(tree, 2), u"Bookmarks bar/Work/Empty"_s);
    EXPECT_EQ(tree.folders[0].addedAt, 1'699'990'000'000);
    ASSERT_EQ(tree.bookmarks.size(), 4u);
    EXPECT_EQ(pathOf(tree, bookmarkTitled(tree, u"Handbook"_s)->folder), u"Bookmarks bar/Work"_s);
    EXPECT_EQ(bookmarkTitled(tree, u"A post"_s)->folder, -1);
    EXPECT_EQ(bookmarkTitled(tree, u"Café"_s)->url, u"https://example.net/caf%C3%A9"_s);
    EXPECT_EQ(tree.skipped, 0);
}

// What hand edits and odd tools leave behind still reads as a browser would read it.
TEST(BookmarkFileReaderTest, ReadsDamagedMarkupForgivingly)
{
    struct Case
    {
        const char *name;
        QByteArray entries;
        QString title;
        QString url;
        QString folderPath;
    };
    const std::vector<Case> cases{
        {"no closing tags", "<DT><H3>Inbox\n<DL><p>\n<DT><A HREF=\"https://a.example/\">First\n",
         u"First"_s, u"https://a.example/"_s, u"Inbox"_s},
        {"attributes in any case and order",
         "<dt><a add_date='1700000000' Tags=x hReF='https://b.example/'>Second</a>", u"Second"_s,
         u"https://b.example/"_s, QString()},
        {"unquoted value", "<DT><A HREF=https://c.example/x?y=1 ADD_DATE=1>Third</A>", u"Third"_s,
         u"https://c.example/x?y=1"_s, QString()},
        {"a quote left open", "<DT><A HREF=\"https://d.example/>Fourth</A>\n<DT><A HREF=\"x\">",
         u"Fourth"_s, u"https://d.example/"_s, QString()},
        {"references in names and addresses",
         "<DT><H3>R&amp;D &#x26; more</H3><DL><DT><A HREF=\"https://e.example/?a=1&amp;b=2\">"
         "&lt;b&gt; &eacute;t&#233;</A>",
         u"<b> été"_s, u"https://e.example/?a=1&b=2"_s, u"R&D & more"_s},
        {"white space folded", "<DT><A HREF=\"  https://f.example/  \">  two\n   lines </A>",
         u"two lines"_s, u"https://f.example/"_s, QString()},
        {"inline markup in a title", "<DT><A HREF=\"https://g.example/\">Bold <b>word</b></A>",
         u"Bold word"_s, u"https://g.example/"_s, QString()},
        {"a lone angle bracket", "<DT><A HREF=\"https://h.example/\">1 < 2</A>", u"1 < 2"_s,
         u"https://h.example/"_s, QString()},
        {"a comment in the list",
         "<!-- <DT><A HREF=\"https://gone/\">Gone</A> -->"
         "<DT><A HREF=\"https://i.example/\">Kept</A>",
         u"Kept"_s, u"https://i.example/"_s, QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const BookmarkTree tree = treeOfList(c.entries);
        ASSERT_FALSE(tree.bookmarks.empty());
        const BookmarkEntry &b = tree.bookmarks.front();
        EXPECT_EQ(b.title, c.title);
        EXPECT_EQ(b.url, c.url);
        EXPECT_EQ(pathOf(tree, b.folder), c.folderPath);
    }
}

TEST(BookmarkFileReaderTest, SkipsAndCountsWhatOnlyABrowserUses)
{
    const BookmarkTree tree = treeOfList("<HR>\n"
                                         "<DT><A HREF=\"place:sort=8\">Most visited</A>\n"
                                         "<DT><A HREF=\"JavaScript:alert(1)\">Script</A>\n"
                                         "<DT><A FEEDURL=\"https://feed.example/rss\">Feed</A>\n"
                                         "<DT><A HREF=\"\">Empty</A>\n"
                                         "<DT><A HREF=\"https://kept.example/\">Kept</A>\n"
                                         "<DD>Its note\n");
    EXPECT_EQ(tree.skipped, 5);
    ASSERT_EQ(tree.bookmarks.size(), 1u);
    EXPECT_EQ(tree.bookmarks[0].note, u"Its note"_s);
}

TEST(BookmarkFileReaderTest, KeepsALinkWithoutATitleAndTagsWithoutRepeats)
{
    const BookmarkTree tree =
        treeOfList("<DT><A HREF=\"https://a.example/\" TAGS=\" one, ,One,two \"></A>");
    ASSERT_EQ(tree.bookmarks.size(), 1u);
    EXPECT_TRUE(tree.bookmarks[0].title.isEmpty());
    EXPECT_EQ(tree.bookmarks[0].tags, (QStringList{u"one"_s, u"two"_s}));
}

// Repeats are found by name, not by comparing each name with every earlier one: that would
// not end within the test's time for one bookmark listing 400,000 names.
TEST(BookmarkFileReaderTest, DropsTheRepeatsOfALongListOfTagsInLinearTime)
{
    QByteArray names;
    for (int i = 0; i < 200'000; ++i)
        names += 't' + QByteArray::number(i) + ",T" + QByteArray::number(i) + ',';
    names += "\xC3\x84rger, \xC3\xA4RGER,Stra\xC3\x9F"
             "e,STRASSE,t7";
    const BookmarkTree tree =
        treeOfList("<DT><A HREF=\"https://a.example/\" TAGS=\"" + names + "\">A</A>");
    ASSERT_EQ(tree.bookmarks.size(), 1u);
    const QStringList &tags = tree.bookmarks[0].tags;
    ASSERT_EQ(tags.size(), 200'003);
    EXPECT_EQ(tags.first(), u"t0"_s);
    EXPECT_EQ(tags[199'999], u"t199999"_s);
    // The first spelling wins; a letter that only folds to two is no repeat.
    EXPECT_EQ(tags.mid(200'000), (QStringList{u"\u00C4rger"_s, u"Stra\u00DFe"_s, u"STRASSE"_s}));
}

TEST(BookmarkFileReaderTest, RefusesWhatIsNoBookmarkFile)
{
    for (const QByteArray &bytes :
         {QByteArray(), QByteArray("   \n"), QByteArray("{\"items\": []}"),
          QByteArray("<html><body><a href=\"https://a.example/\">a page</a></body></html>"),
          QByteArray("\x00\x01\x02garbage", 10)}) {
        const auto read = BookmarkFileReader::read(bytes);
        EXPECT_FALSE(read.tree);
        EXPECT_EQ(read.error, u"The file is not a bookmark file."_s);
    }
    // A browser's export of an empty profile is a bookmark file with nothing in it.
    const auto empty = BookmarkFileReader::read("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n");
    ASSERT_TRUE(empty.tree);
    EXPECT_TRUE(empty.tree->bookmarks.empty());
}

TEST(BookmarkFileReaderTest, HonoursTheDeclaredCharset)
{
    const QString title = u"Crème brûlée à Zürich"_s;
    for (const char *charset : {"windows-1252", "ISO-8859-1"}) {
        SCOPED_TRACE(charset);
        QStringEncoder encoder(charset);
        ASSERT_TRUE(encoder.isValid());
        const QByteArray bytes = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                                 "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=" +
                                 QByteArray(charset) + "\">\n<DL><p><DT><A HREF=\"https://a/\">" +
                                 QByteArray(encoder.encode(title)) + "</A>\n";
        EXPECT_EQ(treeOf(bytes).bookmarks.at(0).title, title);
    }
    // An unknown charset keeps every byte a character instead of dropping the file.
    const QByteArray unknown = "<!DOCTYPE NETSCAPE-Bookmark-file-1><meta charset=\"x-unheard\">"
                               "<DL><DT><A HREF=\"https://a/\">caf\xE9</A>";
    EXPECT_EQ(treeOf(unknown).bookmarks.at(0).title, u"café"_s);
    // Undeclared, bytes that are not UTF-8 are read as windows-1252, as a browser reads them.
    const QByteArray undeclared = "<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><DT>"
                                  "<A HREF=\"https://a/\">caf\xE9 \x93q\x94</A>";
    EXPECT_EQ(treeOf(undeclared).bookmarks.at(0).title, u"café “q”"_s);
    // A <META> far past where a browser looks in a page still counts in a bookmark file.
    const QByteArray late = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<!--" + QByteArray(8000, '-') +
                            "-->\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
                            "charset=windows-1251\">\n<DL><DT><A HREF=\"https://a/\">"
                            "\xCD\xEE\xE2\xEE\xF1\xF2\xE8</A>";
    EXPECT_EQ(treeOf(late).bookmarks.at(0).title, u"Новости"_s);

    QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    const QByteArray wide = utf16.encode(
        u"<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><DT><A HREF=\"https://a/\">日本語</A>"_s);
    EXPECT_EQ(treeOf(wide).bookmarks.at(0).title, u"日本語"_s);
    const QByteArray withBom = "\xEF\xBB\xBF<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><DT>"
                               "<A HREF=\"https://a/\">\xC3\xA9</A>";
    EXPECT_EQ(treeOf(withBom).bookmarks.at(0).title, u"é"_s);
    // A file converted to UTF-8 that still declares UTF-16 could not have been read as it is.
    const QByteArray staleDeclaration =
        "<!DOCTYPE NETSCAPE-Bookmark-file-1><META CONTENT=\"text/html; charset=UTF-16\">"
        "<DL><DT><A HREF=\"https://a/\">\xC3\xA9t\xC3\xA9</A>";
    EXPECT_EQ(treeOf(staleDeclaration).bookmarks.at(0).title, u"été"_s);
}

TEST(BookmarkFileReaderTest, ReadsTenThousandLevelsWithOrWithoutTheirEnds)
{
    constexpr int depth = 10'000;
    for (const bool closed : {true, false}) {
        SCOPED_TRACE(closed ? "closed" : "left open");
        QByteArray bytes = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n";
        for (int i = 0; i < depth; ++i)
            bytes += "<DT><H3>Level " + QByteArray::number(i) + "</H3>\n<DL><p>\n";
        bytes += "<DT><A HREF=\"https://deep.example/\">Deep</A>\n";
        if (closed) {
            for (int i = 0; i < depth; ++i)
                bytes += "</DL><p>\n";
            bytes += "<DT><A HREF=\"https://top.example/\">Top</A>\n";
        }
        const BookmarkTree tree = treeOf(bytes);
        ASSERT_EQ(tree.folders.size(), size_t(depth));
        EXPECT_EQ(tree.folders.back().parent, depth - 2);
        EXPECT_EQ(tree.bookmarks.front().folder, depth - 1);
        if (closed) {
            EXPECT_EQ(tree.bookmarks.back().folder, -1);
        }
    }
}

// Quotes that never close must not make every tag search the rest of the file again; a
// quadratic scan of these would not end within the test's time.
TEST(BookmarkFileReaderTest, ScansQuotesThatNeverCloseInLinearTime)
{
    const auto file = [](const char *separator) {
        QByteArray bytes = "<!DOCTYPE NETSCAPE-Bookmark-file-1><DL>";
        for (int i = 0; i < 200'000; ++i)
            bytes +=
                "<DT><A HREF='https://a.example/" + QByteArray::number(i) + ">t</A>" + separator;
        return bytes;
    };
    // On lines of their own, each value ends with its tag.
    const BookmarkTree lines = treeOf(file("\n"));
    ASSERT_EQ(lines.bookmarks.size(), 200'000u);
    EXPECT_EQ(lines.bookmarks.back().url, u"https://a.example/199999"_s);
    // On one line, a value runs to the next quote, as a browser reads it: every other
    // bookmark swallows the next.
    EXPECT_EQ(treeOf(file("")).bookmarks.size(), 100'000u);
}

TEST(BookmarkFileReaderTest, TellsTheUnitOfATimeBySize)
{
    EXPECT_EQ(BookmarkFileReader::millisecondsOf("1700000000"), 1'700'000'000'000);
    EXPECT_EQ(BookmarkFileReader::millisecondsOf("1700000000123"), 1'700'000'000'123);
    EXPECT_EQ(BookmarkFileReader::millisecondsOf("1700000000123456"), 1'700'000'000'123);
    for (const char *bad : {"", "0", "-5", "soon", "1e9", "99999999999999999999999"})
        EXPECT_EQ(BookmarkFileReader::millisecondsOf(bad), 0) << bad;
}

TEST(BookmarkFileWriterTest, WritesWhatItsReaderReadsBack)
{
    BookmarkTree tree;
    tree.folders = {{u"Work & Play"_s, 1'700'000'000'000, -1}, {u"Deeper"_s, 0, 0}};
    tree.bookmarks = {
        {u"https://a.example/?x=1&y=\"2\""_s,
         u"<Title>"_s,
         u"line one\nline two"_s,
         {u"a"_s, u"b,c"_s},
         1'700'000'001'000,
         1'700'000'002'000,
         1},
        {u"https://b.example/"_s, u"Top"_s, QString(), {}, 1'700'000'003'000, 0, -1},
    };
    const QByteArray written = BookmarkFileWriter::write(tree);
    EXPECT_TRUE(written.startsWith("<!DOCTYPE NETSCAPE-Bookmark-file-1>"));
    const BookmarkTree back = treeOf(written);
    ASSERT_EQ(back.folders.size(), 2u);
    EXPECT_EQ(pathOf(back, 1), u"Work & Play/Deeper"_s);
    EXPECT_EQ(back.folders[0].addedAt, 1'700'000'000'000);
    ASSERT_EQ(back.bookmarks.size(), 2u);
    const BookmarkEntry &first = *bookmarkTitled(back, u"<Title>"_s);
    EXPECT_EQ(first.url, tree.bookmarks[0].url);
    EXPECT_EQ(first.note, tree.bookmarks[0].note);
    EXPECT_EQ(first.tags, (QStringList{u"a"_s, u"b c"_s}));
    EXPECT_EQ(first.addedAt, tree.bookmarks[0].addedAt);
    EXPECT_EQ(first.modifiedAt, tree.bookmarks[0].modifiedAt);
    EXPECT_EQ(pathOf(back, first.folder), u"Work & Play/Deeper"_s);
    EXPECT_EQ(bookmarkTitled(back, u"Top"_s)->folder, -1);
    EXPECT_EQ(back.skipped, 0);
}
