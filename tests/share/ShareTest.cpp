#include <inbox/InboxLayout.h>
#include <inbox/PendingItemRecord.h>
#include <share/Attachment.h>
#include <share/InboxWriter.h>
#include <share/ShareController.h>
#include <share/ShareSheet.h>

#include "TestFiles.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::writeTestFile;

namespace {

QMap<QString, PendingItemRecord> recordsIn(const QString &inbox)
{
    QMap<QString, PendingItemRecord> records;
    for (const QString &name : QDir(inbox).entryList({u"*.json"_s}, QDir::Files)) {
        QFile file(inbox + u'/' + name);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const auto record = PendingItemRecord::fromJson(file.readAll());
        EXPECT_TRUE(record) << qPrintable(name);
        if (record)
            records.insert(record->title, *record);
    }
    return records;
}

SharedItem item(SharedItemType type, const QString &title,
                const std::optional<QUrl> &url = std::nullopt,
                const std::optional<QByteArray> &bytes = std::nullopt,
                const std::optional<QString> &note = std::nullopt)
{
    SharedItem shared;
    shared.type = type;
    shared.title = title;
    shared.url = url;
    shared.imageData = bytes;
    shared.note = note;
    return shared;
}

SharedItem link(const QString &title, const QString &address = u"https://example.org/a"_s)
{
    return item(SharedItemType::WebLink, title, QUrl(address));
}

SharedItem fileItem(const QString &title, const QString &path)
{
    return item(SharedItemType::Document, title, QUrl::fromLocalFile(path));
}

// An empty inbox folder in `dir`.
QString inboxIn(const QTemporaryDir &dir)
{
    const QString inbox = dir.filePath(u"PendingItems"_s);
    EXPECT_TRUE(QDir().mkpath(inbox));
    return inbox;
}

} // namespace

TEST(InboxWriter, CompanionsThenRecordsAllWhole)
{
    QTemporaryDir dir;
    const QString inbox = inboxIn(dir);
    const QString source = writeTestFile(dir, u"My Notes.txt"_s, "shared file");
    const InboxWriter::Outcome outcome = InboxWriter().saveItems(
        {item(SharedItemType::Video, u"link"_s, QUrl(u"https://youtu.be/x"_s), {}, u"to watch"_s),
         fileItem(u"file"_s, source),
         item(SharedItemType::Image, u"picture"_s, {}, "picture bytes"),
         item(SharedItemType::Document, u"pdf"_s, {}, "%PDF-1.4"),
         fileItem(u"vanished"_s, dir.filePath(u"gone.txt"_s))},
        inbox);
    EXPECT_EQ(outcome.written, 4);
    EXPECT_EQ(outcome.problems.size(), 1) << "the file that was gone";

    // What each record holds is pinned by SharedRecordsTest; here, that its files are there.
    const auto records = recordsIn(inbox);
    ASSERT_EQ(records.size(), 4);
    QFile copy(inbox + u'/' + *records[u"file"_s].filePath);
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), QByteArray("shared file"));
    EXPECT_TRUE(QFile::exists(inbox + u'/' + *records[u"picture"_s].imageFileName));
    EXPECT_TRUE(QFile::exists(inbox + u'/' + *records[u"pdf"_s].filePath));
    EXPECT_FALSE(records.contains(u"vanished"_s)) << "a record with nothing to import";

    // Nothing half-written is left under any name.
    QStringList all = QDir(inbox).entryList(QDir::Files | QDir::Hidden);
    all += QDir(inbox + u"/Imported"_s).entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : all)
        EXPECT_FALSE(name.startsWith(u'.')) << qPrintable(name);
    EXPECT_EQ(all.size(), 4 + 1 + 2);
}

TEST(InboxWriter, FilesWithLongNamesAreCopiedUnderNamesTheFileSystemTakes)
{
    QTemporaryDir dir;
    const QString inbox = inboxIn(dir);
    const QString names[] = {
        QString(176, u'a') + u".pdf"_s,         // 180 bytes
        QString(251, u'b') + u".pdf"_s,         // 255 bytes
        QString(80, QChar(0x5831)) + u".pdf"_s, // 244 bytes, three to a character
    };
    QList<SharedItem> items;
    for (const QString &name : names)
        items << fileItem(QString::number(items.size()),
                          writeTestFile(dir, name, QFile::encodeName(name)));

    const InboxWriter::Outcome outcome = InboxWriter().saveItems(items, inbox);
    EXPECT_EQ(outcome.written, 3);
    EXPECT_TRUE(outcome.problems.isEmpty()) << qPrintable(outcome.problems.join(u'\n'));
    const auto records = recordsIn(inbox);
    ASSERT_EQ(records.size(), 3);
    for (qsizetype i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const auto filePath = records[QString::number(i)].filePath;
        ASSERT_TRUE(filePath);
        const auto name = InboxLayout::importedFileName(*filePath);
        ASSERT_TRUE(name);
        EXPECT_LE(QFile::encodeName(*name).size(), InboxLayout::nameLimit);
        EXPECT_TRUE(name->endsWith(u".pdf"_s));
        EXPECT_TRUE(names[i].startsWith(name->sliced(37).chopped(4)));
        QFile copy(inbox + u'/' + *filePath);
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly)) << "the record names the copy made";
        EXPECT_EQ(copy.readAll(), QFile::encodeName(names[i]));
    }
    EXPECT_EQ(QDir(inbox + u"/Imported"_s).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

TEST(InboxWriter, ARecordTooLargeToBeReadIsRefusedWithItsFiles)
{
    QTemporaryDir dir;
    const QString inbox = inboxIn(dir);
    const qsizetype limit = PendingItemRecord::sizeLimit;
    const QUrl address(u"https://example.org/a"_s);
    const InboxWriter::Outcome outcome = InboxWriter().saveItems(
        {item(SharedItemType::WebLink, QString(10000, u'T'), address, {}, QString(limit, u'n')),
         link(u"long address"_s, u"https://example.org/?q="_s + QString(limit, u'q')),
         item(SharedItemType::Document, u"file with a long note"_s,
              QUrl::fromLocalFile(writeTestFile(dir, u"notes.txt"_s, "notes")), {},
              QString(limit, u'n')),
         item(SharedItemType::WebLink, u"fits"_s, address, {}, QString(limit - 1000, u'n'))},
        inbox);
    EXPECT_EQ(outcome.written, 1);
    ASSERT_EQ(outcome.problems.size(), 3);
    EXPECT_TRUE(outcome.problems[0].contains(QString(40, u'T')));
    EXPECT_LT(outcome.problems[0].size(), 200) << "the title shortened";
    EXPECT_TRUE(outcome.problems[1].contains(u"long address"_s));
    EXPECT_TRUE(outcome.problems[2].contains(u"file with a long note"_s));
    for (const QString &problem : outcome.problems)
        EXPECT_TRUE(problem.contains(u"too large"_s)) << qPrintable(problem);
    EXPECT_EQ(recordsIn(inbox).keys(), QStringList{u"fits"_s});
    EXPECT_TRUE(QDir(inbox + u"/Imported"_s).isEmpty()) << "no copy left without its record";
}

// Where the copies go is taken by a plain file or by a link to another folder: the files that
// would go there are lost, nothing is written through the link, and an item left with nothing
// to import gets no record.
TEST(InboxWriter, AnImportedFolderThatCannotBeUsedCostsOnlyTheFilesThatGoThere)
{
    QTemporaryDir dir;
    const QString elsewhere = dir.filePath(u"elsewhere"_s);
    QDir().mkpath(elsewhere);
    const QString source = writeTestFile(dir, u"Report.pdf"_s, "%PDF-1.4");
    const QList<SharedItem> items{link(u"link"_s), fileItem(u"file"_s, source),
                                  item(SharedItemType::Document, u"pdf"_s, {}, "%PDF-1.4"),
                                  item(SharedItemType::Image, u"picture"_s, {}, "picture bytes")};
    for (const bool linked : {false, true}) {
        SCOPED_TRACE(linked ? "a link" : "a plain file");
        QTemporaryDir home;
        const QString inbox = inboxIn(home);
        if (linked) {
            ASSERT_TRUE(QFile::link(elsewhere, inbox + u"/Imported"_s));
        } else {
            QFile blocker(inbox + u"/Imported"_s);
            ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        }
        const InboxWriter::Outcome alone = InboxWriter().saveItems({items[1]}, inbox);
        EXPECT_EQ(alone.written, 0);
        ASSERT_EQ(alone.problems.size(), 1);
        EXPECT_TRUE(alone.problems[0].contains(source)) << qPrintable(alone.problems[0]);
        EXPECT_TRUE(recordsIn(inbox).isEmpty());

        const InboxWriter::Outcome outcome = InboxWriter().saveItems(items, inbox);
        EXPECT_EQ(outcome.written, 2);
        EXPECT_EQ(outcome.problems.size(), 2) << qPrintable(outcome.problems.join(u'\n'));
        EXPECT_EQ(recordsIn(inbox).keys(), (QStringList{u"link"_s, u"picture"_s}));
        EXPECT_EQ(QDir(inbox).entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks).size(),
                  linked ? 3 : 4)
            << "two records and a picture, and the file in the way: nothing half-written";
        EXPECT_TRUE(
            QDir(elsewhere).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }
}

// Given or the shared one, an inbox that is a link to another folder is not written to.
TEST(InboxWriter, ALinkInPlaceOfTheInboxIsNeverWrittenThrough)
{
    QTemporaryDir elsewhere;
    const QList<SharedItem> items{link(u"link"_s),
                                  item(SharedItemType::Image, u"picture"_s, {}, "picture bytes")};
    const QString given = elsewhere.filePath(u"PendingItems"_s);
    ASSERT_TRUE(QFile::link(elsewhere.path(), given));
    const InboxWriter::Outcome refused = InboxWriter().saveItems(items, given);
    EXPECT_EQ(refused.written, 0);
    EXPECT_EQ(refused.problems.size(), 1);

    // The shared inbox is reached through the container, whose privacy ContainerDirectoryTest
    // sees to.
    const QString inbox = *InboxLayout::inboxPath();
    EXPECT_EQ(InboxWriter().saveItems({link(u"link"_s)}).written, 1);
    EXPECT_EQ(recordsIn(inbox).size(), 1);
    ASSERT_TRUE(QDir(inbox).removeRecursively());
    ASSERT_TRUE(QFile::link(elsewhere.path(), inbox));
    const InboxWriter::Outcome shared = InboxWriter().saveItems(items);
    EXPECT_EQ(shared.written, 0);
    ASSERT_EQ(shared.problems.size(), 1);
    EXPECT_TRUE(shared.problems[0].contains(u"symbolic link"_s)) << qPrintable(shared.problems[0]);
    EXPECT_EQ(
        QDir(elsewhere.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList{u"PendingItems"_s});
    ASSERT_TRUE(QFile::remove(inbox));
}

TEST(ShareSheet, ShowsTheItemsAndSavesOnceAndShiftEnterStartsANewLine)
{
    for (const Qt::Key enter : {Qt::Key_unknown, Qt::Key_Return, Qt::Key_Enter}) {
        SCOPED_TRACE(int(enter));
        ShareSheet sheet({item(SharedItemType::WebLink, u"a"_s),
                          item(SharedItemType::Image, u"b"_s),
                          item(SharedItemType::Document, u"c"_s)});
        EXPECT_EQ(sheet.findChild<QAbstractItemView *>(u"items"_s)->model()->rowCount(), 3);
        EXPECT_EQ(sheet.noteField()->placeholderText(), u"Note..."_s);
        QSignalSpy saved(&sheet, &ShareSheet::saveRequested);
        sheet.show();
        sheet.noteField()->setFocus();
        QTest::keyClicks(sheet.noteField(), u"first"_s);
        QTest::keyClick(sheet.noteField(), enter == Qt::Key_unknown ? Qt::Key_Return : enter,
                        Qt::ShiftModifier);
        QTest::keyClicks(sheet.noteField(), u"second"_s);
        EXPECT_EQ(saved.count(), 0);
        EXPECT_EQ(sheet.noteField()->toPlainText(), u"first\nsecond"_s);
        EXPECT_TRUE(sheet.saveButton()->isEnabled());

        for (int press = 0; press < 2; ++press) {
            if (enter == Qt::Key_unknown)
                QTest::mouseClick(sheet.saveButton(), Qt::LeftButton);
            else
                QTest::keyClick(sheet.noteField(), enter);
        }
        ASSERT_EQ(saved.count(), 1) << "saved once";
        EXPECT_EQ(saved.at(0).at(0).toString(), u"first\nsecond"_s);
        EXPECT_EQ(sheet.noteField()->toPlainText(), u"first\nsecond"_s) << "no line added";
        EXPECT_FALSE(sheet.saveButton()->isEnabled());
        EXPECT_FALSE(sheet.cancelButton()->isEnabled());
    }
}

TEST(ShareSheet, NothingToShareLeavesOnlyCancel)
{
    ShareSheet sheet({});
    ASSERT_NE(sheet.findChild<QWidget *>(u"emptyState"_s), nullptr);
    QStringList texts;
    for (const QLabel *label : sheet.findChildren<QLabel *>())
        texts << label->text();
    EXPECT_TRUE(texts.contains(u"No supported content"_s));
    EXPECT_TRUE(texts.contains(u"Cancel to close."_s));
    EXPECT_FALSE(sheet.saveButton()->isEnabled());
    EXPECT_EQ(sheet.noteField(), nullptr);

    ShareController controller;
    QObject::connect(&sheet, &ShareSheet::cancelRequested, &controller, &ShareController::cancel);
    QSignalSpy cancelled(&controller, &ShareController::cancelled);
    sheet.show();
    QTest::keyClick(&sheet, Qt::Key_Escape);
    ASSERT_EQ(cancelled.count(), 1);
    EXPECT_EQ(cancelled.at(0).at(0).toString(), u"com.quillory.share"_s);
    EXPECT_EQ(cancelled.at(0).at(1).toInt(), 0);
    EXPECT_EQ(cancelled.at(0).at(2).toString(), u"User cancelled"_s);
    EXPECT_FALSE(sheet.isVisible());
}

// The items are extracted once, and the note goes on every one; a note of only blanks is none.
TEST(ShareController, ExtractsOnceAndPutsTheNoteOnEveryItemButANoteOfOnlyBlanksIsNoNote)
{
    const QString inbox = *InboxLayout::ensureInbox();
    QDir(inbox).removeRecursively();
    {
        ShareController controller;
        controller.loadSharedItems({Attachment::forLink(QUrl(u"https://a.example"_s)),
                                    Attachment::forLink(QUrl(u"https://b.example"_s))});
        controller.loadSharedItems({Attachment::forLink(QUrl(u"https://c.example"_s))});
        ASSERT_EQ(controller.sharedItems().size(), 2);
        EXPECT_EQ(controller.save(u"both"_s), 2);
        const auto records = recordsIn(inbox);
        ASSERT_EQ(records.size(), 2);
        for (const PendingItemRecord &record : records)
            EXPECT_EQ(record.note, u"both"_s);
        QDir(inbox).removeRecursively();
    }
    ShareController controller;
    controller.loadSharedItems({Attachment::forLink(QUrl(u"https://a.example"_s))});
    ShareSheet sheet(controller.sharedItems());
    QObject::connect(&sheet, &ShareSheet::saveRequested, &controller, &ShareController::save);
    sheet.show();
    sheet.noteField()->setFocus();
    QTest::keyClicks(sheet.noteField(), u"  "_s);
    QTest::keyClick(sheet.noteField(), Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(sheet.noteField(), u" \u00a0 "_s);
    QTest::keyClick(sheet.noteField(), Qt::Key_Return);

    const QStringList names = QDir(inbox).entryList({u"*.json"_s}, QDir::Files);
    ASSERT_EQ(names.size(), 1);
    QFile record(inbox + u'/' + names.first());
    ASSERT_TRUE(record.open(QIODevice::ReadOnly));
    const QByteArray json = record.readAll();
    EXPECT_FALSE(json.contains("\"note\"")) << json.constData();
    QDir(inbox).removeRecursively();
}
