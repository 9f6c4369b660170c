#include <inbox/InboxFiles.h>
#include <inbox/InboxLayout.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

qsizetype bytesOf(const QString &name)
{
    return QFile::encodeName(name).size();
}

// The name as the file system gets it reads back as the same characters: nothing was cut
// inside one.
bool isWhole(const QString &name)
{
    return QFile::decodeName(QFile::encodeName(name)) == name && !name.contains(QChar(0xFFFD));
}

} // namespace

TEST(InboxLayout, UniqueNamesKeepWithinTheNameLimitAndKeepTheExtension)
{
    const QString uuid = InboxLayout::uniqueName(QString());
    ASSERT_EQ(uuid.size(), 36);
    EXPECT_EQ(InboxLayout::uniqueName(u"_Report.pdf"_s).sliced(36), u"_Report.pdf"_s);

    const QString cjk = QString(100, QChar(0x8CC7)); // 300 bytes in UTF-8
    const QString decomposed = QString(u"e\u0301"_s).repeated(120);
    const struct
    {
        const char *name;
        QString suffix;
        QString extension;
    } cases[] = {
        {"255 bytes", u'_' + QString(250, u'b') + u".pdf"_s, u".pdf"_s},
        {"100 CJK characters", u'_' + cjk + u".pdf"_s, u".pdf"_s},
        {"accents on their letters", u'_' + decomposed + u".txt"_s, u".txt"_s},
        {"an extension longer than any real one", u"_a."_s + QString(300, u'x'), QString()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = InboxLayout::uniqueName(c.suffix);
        EXPECT_LE(bytesOf(name), InboxLayout::nameLimit);
        EXPECT_GE(bytesOf(name), InboxLayout::nameLimit - 2) << "cut no shorter than needed";
        EXPECT_TRUE(isWhole(name));
        EXPECT_TRUE(name.endsWith(c.extension));
        const QString stem = name.sliced(36).chopped(c.extension.size());
        EXPECT_TRUE(c.suffix.startsWith(stem)) << "the stem loses its end only";
        EXPECT_TRUE(InboxLayout::isBareName(name));
    }
    const QString accents = InboxLayout::uniqueName(u'_' + decomposed + u".txt"_s);
    EXPECT_EQ((accents.size() - 36 - 1 - 4) % 2, 0) << "no accent parted from its letter";
}

TEST(InboxLayout, OnlyNamesOfTheInboxsFormsAreRecordsAndPictures)
{
    const QString uuid = InboxLayout::uniqueName(QString());
    const struct
    {
        QString name;
        bool record;
        bool importing;
        bool picture;
    } cases[] = {
        {uuid + u".json"_s, true, false, false},
        {uuid.toLower() + u".json"_s, true, false, false},
        {uuid + u".importing"_s, false, true, false},
        {uuid + u".jpg"_s, false, false, true},
        {uuid + u".PNG"_s, false, false, true},
        {uuid + u".webp2"_s, false, false, true},
        {uuid + u".JSON"_s, false, false, true},
        {uuid + u"."_s + QString(16, u'x'), false, false, true},
        {uuid + u"."_s + QString(17, u'x'), false, false, false},
        {uuid + u"."_s, false, false, false},
        {uuid, false, false, false},
        {uuid + u"_cat.png"_s, false, false, false},
        {uuid + u".tar.gz"_s, false, false, false},
        {uuid + u".json.bak"_s, false, false, false},
        {uuid + u".jég"_s, false, false, false},
        {u"x"_s + uuid + u".json"_s, false, false, false},
        {uuid.sliced(1) + u".json"_s, false, false, false},
        {QString(uuid).replace(8, 1, u'_') + u".json"_s, false, false, false},
        {QString(uuid).replace(0, 1, u'G') + u".jpg"_s, false, false, false},
        {u"victim.json"_s, false, false, false},
        {u"Failed"_s, false, false, false},
        {u"../"_s + uuid + u".json"_s, false, false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(qPrintable(c.name));
        EXPECT_EQ(InboxLayout::isRecordName(c.name), c.record);
        EXPECT_EQ(InboxLayout::isImportingName(c.name), c.importing);
        EXPECT_EQ(InboxLayout::isCompanionName(c.name), c.picture);
    }
    EXPECT_EQ(InboxLayout::withSuffix(uuid + u".json"_s, u".importing"_s), uuid + u".importing"_s);
}

TEST(InboxFiles, WritesAndCopiesUnderNamesThatFillTheLimit)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString ascii = dir.filePath(QString(251, u'n') + u".txt"_s);
    const QString cjk = dir.filePath(QString(85, QChar(0x66F8))); // 255 bytes
    ASSERT_EQ(bytesOf(QDir(dir.path()).relativeFilePath(ascii)), 255);
    ASSERT_EQ(bytesOf(QDir(dir.path()).relativeFilePath(cjk)), 255);

    ASSERT_TRUE(InboxFiles::writeAtomically(ascii, "long name"));
    ASSERT_TRUE(InboxFiles::copyAtomically(ascii, cjk));
    QFile copy(cjk);
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), QByteArray("long name"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2)
        << "no temporary file left";
}
