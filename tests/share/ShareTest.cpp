#include <Attachment.h>
#include <InboxLayout.h>
#include <InboxWriter.h>
#include <PendingItemRecord.h>
#include <ShareController.h>
#include <ShareSheet.h>

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

SharedItem item(SharedItemType type, const QString &title)
{
    SharedItem shared;
    shared.type = type;
    shared.title = title;
    return shared;
}

} // namespace

TEST(InboxWriter, CompanionsThenRecordsAllWhole)
{
    QTemporaryDir dir;
    const QString inbox = dir.filePath(u"PendingItems"_s);
    QDir().mkpath(inbox);
    QFile source(dir.filePath(u"My Notes.txt"_s));
    ASSERT_TRUE(source.open(QIODevice::WriteOnly));
    source.write("shared file");
    source.close();

    SharedItem link = item(SharedItemType::Video, u"link"_s);
    link.url = QUrl(u"https://youtu.be/x"_s);
    link.note = u" "_s;
    SharedItem file = item(SharedItemType::Document, u"file"_s);
    file.url = QUrl::fromLocalFile(source.fileName());
    SharedItem picture = item(SharedItemType::Image, u"picture"_s);
    picture.imageData = QByteArray("picture bytes");
    SharedItem pdf = item(SharedItemType::Document, u"pdf"_s);
    pdf.imageData = QByteArray("%PDF-1.4");
    SharedItem vanished = item(SharedItemType::Document, u"vanished"_s);
    vanished.url = QUrl::fromLocalFile(dir.filePath(u"gone.txt"_s));

    const QDateTime when(QDate(2026, 1, 31), QTime(9, 5, 0, 123), Qt::UTC);
    const InboxWriter::Outcome outcome =
        InboxWriter([&] { return when; }).saveItems({link, file, picture, pdf, vanished}, inbox);
    EXPECT_EQ(outcome.written, 5);
    EXPECT_EQ(outcome.problems.size(), 1) << "the file that was gone";

    const auto records = recordsIn(inbox);
    ASSERT_EQ(records.size(), 5);
    EXPECT_EQ(records[u"link"_s].url, u"https://youtu.be/x"_s);
    EXPECT_EQ(records[u"link"_s].type, u"video"_s);
    EXPECT_EQ(records[u"link"_s].note, u" "_s) << "a note of blanks is still a note";
    EXPECT_EQ(records[u"link"_s].createdAt, QDateTime(QDate(2026, 1, 31), QTime(9, 5), Qt::UTC));
    const QString copied = *records[u"file"_s].filePath;
    EXPECT_TRUE(copied.startsWith(u"Imported/"_s) && copied.endsWith(u"_My Notes.txt"_s));
    QFile copy(inbox + u'/' + copied);
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), QByteArray("shared file"));
    const QString pictureName = *records[u"picture"_s].imageFileName;
    EXPECT_TRUE(pictureName.endsWith(u".jpg"_s));
    EXPECT_FALSE(records[u"picture"_s].filePath);
    EXPECT_TRUE(QFile::exists(inbox + u'/' + pictureName));
    EXPECT_TRUE(records[u"pdf"_s].filePath->endsWith(u".pdf"_s));
    EXPECT_FALSE(records[u"pdf"_s].imageFileName);
    EXPECT_FALSE(records[u"vanished"_s].filePath);
    EXPECT_FALSE(records[u"file"_s].note);

    // Nothing half-written is left under any name.
    QStringList all = QDir(inbox).entryList(QDir::Files | QDir::Hidden);
    all += QDir(inbox + u"/Imported"_s).entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : all)
        EXPECT_FALSE(name.startsWith(u'.')) << qPrintable(name);
    EXPECT_EQ(all.size(), 5 + 1 + 2);
}

TEST(ShareSheet, ShowsTheItemsAndSavesWithTheNote)
{
    ShareSheet sheet({item(SharedItemType::WebLink, u"a"_s), item(SharedItemType::Image, u"b"_s),
                      item(SharedItemType::Document, u"c"_s)});
    EXPECT_EQ(sheet.size(), QSize(400, 320));
    EXPECT_EQ(sheet.findChild<QAbstractItemView *>(u"items"_s)->model()->rowCount(), 3);
    EXPECT_EQ(sheet.noteField()->placeholderText(), u"Note..."_s);
    QSignalSpy saved(&sheet, &ShareSheet::saveRequested);
    sheet.show();
    QTest::keyClicks(sheet.noteField(), u"for the talk"_s);
    QTest::mouseClick(sheet.saveButton(), Qt::LeftButton);
    ASSERT_EQ(saved.count(), 1);
    EXPECT_EQ(saved.at(0).at(0).toString(), u"for the talk"_s);
    EXPECT_FALSE(sheet.saveButton()->isEnabled());
    EXPECT_FALSE(sheet.cancelButton()->isEnabled());
    QTest::mouseClick(sheet.saveButton(), Qt::LeftButton);
    EXPECT_EQ(saved.count(), 1) << "saved once";
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

TEST(ShareController, ExtractsOnceAndPutsTheNoteOnEveryItem)
{
    ShareController controller;
    controller.loadSharedItems({Attachment::forLink(QUrl(u"https://a.example"_s)),
                                Attachment::forLink(QUrl(u"https://b.example"_s))});
    controller.loadSharedItems({Attachment::forLink(QUrl(u"https://c.example"_s))});
    ASSERT_EQ(controller.sharedItems().size(), 2);
    EXPECT_EQ(controller.save(u"both"_s), 2);
    const auto records = recordsIn(*InboxLayout::inboxPath());
    ASSERT_EQ(records.size(), 2);
    for (const PendingItemRecord &record : records)
        EXPECT_EQ(record.note, u"both"_s);
}
