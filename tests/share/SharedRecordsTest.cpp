#include "TestFiles.h"
#include "TestPictures.h"

#include <share/InboxWriter.h>
#include <share/ShareCommandLine.h>
#include <share/SharedItemExtractor.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::TestPictures;

using quillory::test::writeTestFile;

// Quillory reads what Dropslip writes: the records for the same arguments stay the same bytes,
// whatever Dropslip does inside. Names chosen afresh for each share read as <UUID>.
TEST(SharedRecords, EachKindIsWrittenAsQuilloryReadsIt)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QTemporaryDir dir;
    const QString inbox = dir.filePath(u"PendingItems"_s);
    ASSERT_TRUE(QDir().mkpath(inbox));
    const QByteArray png = TestPictures::encoded(TestPictures::twoTone(8, 6), "png");
    const QByteArray xbm = TestPictures::encoded(TestPictures::twoTone(8, 6), "xbm");
    ASSERT_FALSE(png.isEmpty());
    ASSERT_FALSE(xbm.isEmpty());
    QList<QByteArray> input{png, "%PDF-1.7\n", xbm, "https://www.linkedin.com/in/x\n",
                            QByteArray("\x01\x02\xff\x00", 4)};

    const QStringList arguments{
        u"https://example.org/%C3%BC?q=1"_s,
        u"https://youtu.be/x"_s,
        u"https://x.com/p/1"_s,
        u"--text"_s,
        u" https://vimeo.com/1\n"_s,
        writeTestFile(dir, u"photo.png"_s, png),
        writeTestFile(dir, u"Report.final.PDF"_s, "%PDF-1.4\n"),
        writeTestFile(dir, u"Caf\u00e9 notes.txt"_s, "notes"),
        // Files that lie: the name decides, as it always has.
        writeTestFile(dir, u"looks like a picture.png"_s, "%PDF-1.4\n"),
        writeTestFile(dir, u"looks like a document.pdf"_s, png),
        writeTestFile(dir, u"drawing.svg"_s, "<svg xmlns=\"http://www.w3.org/2000/svg\"/>"),
        u"-"_s,
        u"-"_s,
        u"-"_s,
        u"-"_s,
        u"-"_s,
    };
    const ShareCommandLine line = ShareCommandLine::parse(
        arguments, [&input] { return std::optional<QByteArray>(input.takeFirst()); });
    ASSERT_TRUE(line.problems.isEmpty()) << qPrintable(line.problems.join(u'\n'));
    const QDateTime when(QDate(2026, 1, 31), QTime(9, 5, 7, 123), Qt::UTC);
    QList<SharedItem> items = SharedItemExtractor([&] { return when; }).extract(line.attachments);
    ASSERT_EQ(items.size(), 14) << "all but the binary noise";
    items[1].note = u"to watch \"later\"\n\u2014 maybe"_s;

    const InboxWriter::Outcome outcome = InboxWriter([&] { return when; }).saveItems(items, inbox);
    EXPECT_EQ(outcome.written, 14);
    EXPECT_TRUE(outcome.problems.isEmpty()) << qPrintable(outcome.problems.join(u'\n'));

    const QRegularExpression uuid(
        u"[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}"_s);
    QStringList records;
    for (const QString &name : QDir(inbox).entryList({u"*.json"_s}, QDir::Files)) {
        QFile file(inbox + u'/' + name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        records << QString::fromUtf8(file.readAll()).replace(uuid, u"<UUID>"_s);
    }
    records.sort();
    const char *const expected[] = {
        R"({"createdAt":"2026-01-31T09:05:07Z","filePath":"Imported/<UUID>.pdf","title":"Document Jan 31, 9:05 AM","type":"document"})",
        R"({"createdAt":"2026-01-31T09:05:07Z","filePath":"Imported/<UUID>_Café notes.txt","title":"Café notes","type":"document"})",
        R"({"createdAt":"2026-01-31T09:05:07Z","filePath":"Imported/<UUID>_Report.final.PDF","title":"Report.final","type":"document"})",
        R"({"createdAt":"2026-01-31T09:05:07Z","filePath":"Imported/<UUID>_drawing.svg","title":"drawing","type":"document"})",
        R"({"createdAt":"2026-01-31T09:05:07Z","filePath":"Imported/<UUID>_looks like a document.pdf","title":"looks like a document","type":"document"})",
        R"({"createdAt":"2026-01-31T09:05:07Z","filePath":"Imported/<UUID>_looks like a picture.png","title":"looks like a picture","type":"image"})",
        R"({"createdAt":"2026-01-31T09:05:07Z","filePath":"Imported/<UUID>_photo.png","title":"photo","type":"image"})",
        R"({"createdAt":"2026-01-31T09:05:07Z","imageFileName":"<UUID>.jpg","title":"Image Jan 31, 9:05 AM","type":"image"})",
        R"({"createdAt":"2026-01-31T09:05:07Z","imageFileName":"<UUID>.jpg","title":"Image Jan 31, 9:05 AM","type":"image"})",
        R"({"createdAt":"2026-01-31T09:05:07Z","note":"to watch \"later\"\n— maybe","title":"youtu.be","type":"video","url":"https://youtu.be/x"})",
        R"({"createdAt":"2026-01-31T09:05:07Z","title":"example.org","type":"web_link","url":"https://example.org/%C3%BC?q=1"})",
        R"({"createdAt":"2026-01-31T09:05:07Z","title":"vimeo.com","type":"video","url":"https://vimeo.com/1"})",
        R"({"createdAt":"2026-01-31T09:05:07Z","title":"www.linkedin.com","type":"social_post","url":"https://www.linkedin.com/in/x"})",
        R"({"createdAt":"2026-01-31T09:05:07Z","title":"x.com","type":"social_post","url":"https://x.com/p/1"})",
    };
    QStringList wanted;
    for (const char *record : expected)
        wanted << QString::fromUtf8(record);
    wanted.sort();
    EXPECT_EQ(records, wanted);
    QLocale::setDefault(QLocale::c());
}
