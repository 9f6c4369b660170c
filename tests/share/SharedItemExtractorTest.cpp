#include "TestFiles.h"
#include "TestPictures.h"

#include <share/Attachment.h>
#include <share/ShareCommandLine.h>
#include <share/SharedItemExtractor.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::TestPictures;

using quillory::test::writeTestFile;

namespace {

const QDateTime noon(QDate(2026, 1, 31), QTime(9, 5), Qt::LocalTime);

} // namespace

TEST(SharedItemExtractor, EachAttachmentGivesAtMostOneItemByTheFirstRuleThatApplies)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    // Files, text and the bytes of standard input, as Dropslip writes them, are pinned by
    // SharedRecordsTest; these are the cases it does not reach.
    const QByteArray png = TestPictures::encoded(TestPictures::twoTone(8, 6), "png");
    QTemporaryDir dir;
    const QString photo = writeTestFile(dir, u"photo.JPG"_s, png);
    const struct
    {
        const char *name;
        Attachment attachment;
        std::optional<SharedItemType> type; // absent: no item
        QString title;
        std::function<void(const SharedItem &)> check = {};
    } cases[] = {
        {"a page on YouTube", Attachment::forLink(QUrl(u"https://www.youtube.com/watch?v=1"_s)),
         SharedItemType::Video, u"www.youtube.com"_s},
        {"a host that merely contains x.com",
         Attachment::forLink(QUrl(u"https://www.dropbox.com/s/a"_s)), SharedItemType::SocialPost,
         u"www.dropbox.com"_s},
        {"an address without a host", Attachment::forLink(QUrl(u"mailto:a@b.example"_s)),
         SharedItemType::WebLink, u"Untitled"_s},
        {"a picture file named in capitals", Attachment::forFile(photo), SharedItemType::Image,
         u"photo"_s, [](const SharedItem &i) { EXPECT_FALSE(i.imageData); }},
        {"text that is no address", Attachment::forText(u"just words"_s), std::nullopt, {}},
        {"picture bytes", Attachment::forBytes(png), SharedItemType::Image,
         u"Image Jan 31, 9:05 AM"_s,
         [&](const SharedItem &i) {
             EXPECT_EQ(i.imageData, png) << "stored as delivered";
             EXPECT_FALSE(i.url);
         }},
        {"binary noise",
         Attachment::forBytes(QByteArray("\x01\x02\xff\x00\x10", 5)),
         std::nullopt,
         {}},
    };
    const SharedItemExtractor extractor([] { return noon; });
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const auto item = extractor.extractSharedItem(c.attachment);
        ASSERT_EQ(item.has_value(), c.type.has_value());
        if (!item)
            continue;
        EXPECT_EQ(item->type, *c.type);
        EXPECT_EQ(item->title, c.title);
        EXPECT_FALSE(item->note);
        if (c.check)
            c.check(*item);
    }
    QLocale::setDefault(QLocale::c());

    // Several attachments give their items in their order, each its own.
    const QList<SharedItem> items = extractor.extract(
        {Attachment::forLink(QUrl(u"https://a.example/"_s)), Attachment::forText(u"words"_s),
         Attachment::forLink(QUrl(u"https://b.example/"_s))});
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].title, u"a.example"_s);
    EXPECT_EQ(items[1].title, u"b.example"_s);
    EXPECT_NE(items[0].id, items[1].id);
}

// Standard input says nothing of what it holds: its content alone types it, and bytes that
// only look like something are not taken for it.
TEST(Attachment, BytesAreTypedByWhatTheirContentIs)
{
    const QImage picture = TestPictures::twoTone(8, 6);
    const QByteArray png = TestPictures::encoded(picture, "png");
    const struct
    {
        const char *name;
        QByteArray bytes;
        QString type;
    } cases[] = {
        {"PNG", png, u"image/png"_s},
        {"JPEG", TestPictures::encoded(picture, "jpeg"), u"image/jpeg"_s},
        {"XBM, a picture written as text", TestPictures::encoded(picture, "xbm"),
         u"image/x-xbitmap"_s},
        {"a PDF", "%PDF-1.7\n%\xe2\xe3\xcf\xd3\n", u"application/pdf"_s},
        {"a PDF header not at the start", "see %PDF-1.7", u"text/plain"_s},
        {"a PNG cut before its size", png.first(16), u"application/octet-stream"_s},
        {"text", "https://example.org/\n", u"text/plain"_s},
        {"text with a NUL", QByteArray("abc\0def", 7), u"application/octet-stream"_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Attachment attachment = Attachment::forBytes(c.bytes);
        EXPECT_EQ(attachment.mimeType(), c.type);
        EXPECT_EQ(attachment.bytes(), c.bytes) << "held as given";
        EXPECT_FALSE(attachment.address());
        EXPECT_FALSE(attachment.text());
    }

    // A file's type comes from its name and content; what it becomes, from its name alone.
    QTemporaryDir dir;
    EXPECT_EQ(Attachment::forFile(writeTestFile(dir, u"photo.png"_s, png)).mimeType(),
              u"image/png"_s);
    EXPECT_EQ(Attachment::forFile(writeTestFile(dir, u"unnamed"_s, "%PDF-1.4\n")).mimeType(),
              u"application/pdf"_s);
    EXPECT_EQ(Attachment::forFile(writeTestFile(dir, u"empty"_s, {})).mimeType(),
              u"application/x-zerosize"_s);
}

TEST(ShareCommandLine, EachArgumentIsOneAttachmentOrSaysWhyNot)
{
    QTemporaryDir dir;
    const QString file = writeTestFile(dir, u"notes.txt"_s, "hello");
    const ShareCommandLine line = ShareCommandLine::parse(
        {u"--yes"_s, u"https://example.com/a"_s, file, QUrl::fromLocalFile(file).toString(),
         u"--text"_s, u"https://t.example"_s, u"-"_s, dir.path(), dir.filePath(u"gone"_s),
         u"--frobnicate"_s},
        [] { return QByteArray("%PDF-1.4"); });
    EXPECT_TRUE(line.yes);
    EXPECT_FALSE(line.help);
    ASSERT_EQ(line.attachments.size(), 5);
    EXPECT_EQ(line.attachments[0].mimeType(), u"text/x-uri"_s);
    EXPECT_EQ(line.attachments[0].address(), QUrl(u"https://example.com/a"_s));
    EXPECT_EQ(line.attachments[1].address(), QUrl::fromLocalFile(file));
    EXPECT_EQ(line.attachments[1].mimeType(), u"text/plain"_s);
    EXPECT_EQ(line.attachments[2].address(), QUrl::fromLocalFile(file));
    EXPECT_EQ(line.attachments[3].mimeType(), u"text/plain"_s);
    EXPECT_EQ(line.attachments[3].text(), u"https://t.example"_s);
    EXPECT_EQ(line.attachments[4].mimeType(), u"application/pdf"_s);
    EXPECT_EQ(line.attachments[4].bytes(), QByteArray("%PDF-1.4"));
    ASSERT_EQ(line.problems.size(), 3);
    EXPECT_TRUE(line.problems[0].contains(u"folder"_s));
    EXPECT_TRUE(line.problems[1].contains(u"no such file"_s));
    EXPECT_TRUE(line.problems[2].contains(u"unknown option"_s));
    EXPECT_TRUE(ShareCommandLine::usage().contains(u"--yes"_s));
}

// What decides whether Dropslip starts with a window must read the arguments as the parser
// does, or a sheet is asked of a program started without one.
TEST(ShareCommandLine, AnOptionRightAfterTextIsTheTextByBothReadings)
{
    const QList<QStringList> cases{
        {u"--text"_s, u"--yes"_s, u"https://a.example"_s},
        {u"--text"_s, u"-h"_s},
        {u"-y"_s, u"--text"_s, u"--help"_s},
        {u"--text"_s, u"--text"_s, u"-y"_s},
        {u"https://a.example"_s, u"--text"_s},
        {u"--help"_s, u"--text"_s, u"x"_s, u"--yes"_s},
    };
    for (const QStringList &arguments : cases) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        const ShareCommandLine line =
            ShareCommandLine::parse(arguments, [] { return QByteArray(); });
        const ShareCommandLine::Options options = ShareCommandLine::optionsIn(arguments);
        EXPECT_EQ(options.yes, line.yes);
        EXPECT_EQ(options.help, line.help);
    }

    const ShareCommandLine line = ShareCommandLine::parse(
        {u"--text"_s, u"--yes"_s, u"https://a.example"_s}, [] { return QByteArray(); });
    EXPECT_FALSE(line.yes);
    ASSERT_EQ(line.attachments.size(), 2);
    EXPECT_EQ(line.attachments[0].text(), u"--yes"_s);
    EXPECT_EQ(line.attachments[1].address(), QUrl(u"https://a.example"_s)) << "the link is kept";
    ASSERT_EQ(line.problems.size(), 1);
    EXPECT_TRUE(line.problems[0].contains(u"taken as the text"_s)) << qPrintable(line.problems[0]);
}

TEST(ShareCommandLine, StandardInputOverTheLimitIsRefusedNotCut)
{
    const auto read = [](const QByteArray &bytes, qint64 limit) {
        QBuffer input;
        input.setData(bytes);
        EXPECT_TRUE(input.open(QIODevice::ReadOnly));
        return ShareCommandLine::readWhole(input, limit);
    };
    EXPECT_EQ(read(QByteArray(), 10), QByteArray());
    EXPECT_EQ(read("0123456789", 10), QByteArray("0123456789"));
    EXPECT_EQ(read("0123456789A", 10), std::nullopt);
    const QByteArray large(3 * 1024 * 1024 + 5, 'x'); // more than one piece
    EXPECT_EQ(read(large, large.size()), large);
    EXPECT_EQ(read(large, large.size() - 1), std::nullopt);

    const ShareCommandLine line =
        ShareCommandLine::parse({u"-"_s}, []() -> std::optional<QByteArray> { return {}; });
    EXPECT_TRUE(line.attachments.isEmpty());
    ASSERT_EQ(line.problems.size(), 1);
    EXPECT_TRUE(line.problems[0].contains(u"more than 256 MiB"_s)) << qPrintable(line.problems[0]);
}

TEST(ShareCommandLine, AnExistingFileWinsOverTheAddressItsNameLooksLike)
{
    QTemporaryDir dir;
    const QString file = writeTestFile(dir, u"report:v2.pdf"_s, "%PDF-1.4\n");
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const ShareCommandLine line = ShareCommandLine::parse(
        {u"report:v2.pdf"_s, u"https://example.com/a"_s, u"mailto:a@b.example"_s, u"notes:draft"_s},
        [] { return QByteArray(); });
    QDir::setCurrent(before);
    EXPECT_TRUE(line.problems.isEmpty()) << qPrintable(line.problems.join(u'\n'));
    ASSERT_EQ(line.attachments.size(), 4);
    EXPECT_EQ(line.attachments[0].address(), QUrl::fromLocalFile(file));
    EXPECT_EQ(line.attachments[0].mimeType(), u"application/pdf"_s);
    EXPECT_EQ(line.attachments[1].address(), QUrl(u"https://example.com/a"_s));
    EXPECT_EQ(line.attachments[2].address(), QUrl(u"mailto:a@b.example"_s));
    EXPECT_EQ(line.attachments[3].address(), QUrl(u"notes:draft"_s))
        << "with no such file, an address";
    for (qsizetype i = 1; i < 4; ++i)
        EXPECT_EQ(line.attachments[i].mimeType(), u"text/x-uri"_s);
}
