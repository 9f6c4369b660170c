// The test reads JSON members by name on nearly every line: plain literals keep it legible.
#undef QT_NO_CAST_FROM_ASCII

#include "DeepTrees.h"
#include "PeakMemory.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QLocale>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <exchange/EncryptedBackup.h>
#include <exchange/ExportDocumentReader.h>
#include <exchange/ExportDocumentWriter.h>
#include <exchange/ExportService.h>
#include <exchange/ImportFile.h>
#include <exchange/ImportJob.h>
#include <exchange/JsonCursor.h>
#include <model/Folder.h>
#include <model/FolderNesting.h>
#include <model/Item.h>
#include <model/LibraryStore.h>
#include <model/SqliteDatabase.h>
#include <model/Tag.h>
#include <security/SecurityService.h>

#include <gtest/gtest.h>

using namespace quillory;

namespace {

class ExportImportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        store = open("library.store");
        ASSERT_TRUE(store);
    }

    std::unique_ptr<LibraryStore> open(const QString &name)
    {
        QString error;
        auto s = LibraryStore::open(dir.filePath(name), &error);
        EXPECT_TRUE(s) << error.toStdString();
        return s;
    }

    // A small library touching every exported field.
    void fill(LibraryStore &s)
    {
        Tag *red = s.insert(std::make_unique<Tag>(QStringLiteral("red"), QColor(255, 0, 0)));
        Tag *blue = s.insert(std::make_unique<Tag>(QStringLiteral("blue"), QColor(0, 0, 255)));
        Folder *top = s.insert(std::make_unique<Folder>(QStringLiteral("Top"),
                                                        QStringLiteral("star"), QColor(0, 255, 0)));
        Folder *inner = s.insert(std::make_unique<Folder>(
            QStringLiteral("Inner \"quoted\""), QStringLiteral("folder"), QColor(1, 2, 3), top));
        inner->setSortOrder(3);
        auto link = std::make_unique<Item>(ItemType::WebLink, QStringLiteral("A/B\ttitle ü"),
                                           QUrl(QStringLiteral("https://example.com/a/b")),
                                           QStringLiteral("line\nbreak"), inner);
        link->addTag(blue);
        link->addTag(red);
        link->setFavorite(true);
        ItemMetadata metadata;
        metadata.author = QStringLiteral("Ann");
        metadata.description = QStringLiteral("About");
        metadata.platform = QStringLiteral("web");
        metadata.siteName = QStringLiteral("Example");
        metadata.keywords = QStringList{QStringLiteral("k")};
        link->setMetadata(metadata);
        link->setImageData(QByteArray("\x00\xff/image", 9));
        link->setThumbnailData(QByteArray("thumb"));
        s.insert(std::move(link));
        auto bare = std::make_unique<Item>(ItemType::Document, QStringLiteral("bare"));
        bare->setArchived(true);
        s.insert(std::move(bare));
    }

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        return test::writeTestFile(dir, name, bytes);
    }

    // Runs an import to its end; the failure message, or empty on success.
    QString import(LibraryStore &s, const QString &path,
                   const std::optional<QString> &passphrase = std::nullopt,
                   ImportResult *result = nullptr)
    {
        ImportJob job(s, path);
        QString failure;
        bool over = false;
        QObject::connect(&job, &ImportJob::failed, [&](const QString &m) {
            failure = m;
            over = true;
        });
        QObject::connect(&job, &ImportJob::passphraseNeeded, [&] {
            failure = QStringLiteral("passphrase needed");
            over = true;
        });
        QObject::connect(&job, &ImportJob::finished, [&](const ImportResult &r) {
            if (result)
                *result = r;
            over = true;
        });
        job.start(passphrase);
        EXPECT_TRUE(QTest::qWaitFor([&] { return over; }, 20000));
        return failure;
    }

    QByteArray exportOf(LibraryStore &s, bool images)
    {
        return ExportService::exportDocument(s.items(), s.folders(), s.tags(), images);
    }

    QTemporaryDir dir;
    std::unique_ptr<LibraryStore> store;
};

QJsonObject firstWhere(const QJsonDocument &doc, const char *list, const char *member,
                       const QString &value)
{
    for (const auto &v : doc.object().value(QLatin1StringView(list)).toArray()) {
        if (v.toObject().value(QLatin1StringView(member)).toString() == value)
            return v.toObject();
    }
    return {};
}

} // namespace

TEST_F(ExportImportTest, DocumentIsSortedEscapedStableAndLeavesAbsentMembersAndImagesOut)
{
    fill(*store);
    const QByteArray bytes = exportOf(*store, false);
    const auto doc = QJsonDocument::fromJson(bytes);
    ASSERT_TRUE(doc.isObject());
    EXPECT_TRUE(bytes.contains("https:\\/\\/example.com\\/a\\/b"));
    EXPECT_FALSE(bytes.contains("https://"));
    EXPECT_TRUE(bytes.contains("\n  \"exportDate\" : "));
    EXPECT_EQ(doc.object().keys(),
              (QStringList{"appVersion", "exportDate", "folders", "items", "tags", "version"}));
    // Members appear in code-point order in the text itself.
    const QList<QByteArray> order{
        "\"createdAt\"", "\"folderId\"",   "\"id\"",   "\"isArchived\"",   "\"isFavorite\"",
        "\"metadata\"",  "\"modifiedAt\"", "\"note\"", "\"sourceDomain\"", "\"tagIds\"",
        "\"title\"",     "\"type\"",       "\"url\""};
    const qsizetype itemAt = bytes.indexOf("\"A\\/B\\ttitle");
    qsizetype last = bytes.lastIndexOf("\n    {", itemAt);
    for (const QByteArray &name : order) {
        const qsizetype at = bytes.indexOf(name, last);
        EXPECT_GT(at, last) << name.constData();
        last = at;
    }

    const QJsonObject link = firstWhere(doc, "items", "type", "web_link");
    EXPECT_EQ(link.value("title").toString(), QStringLiteral("A/B\ttitle ü"));
    EXPECT_EQ(link.value("note").toString(), QStringLiteral("line\nbreak"));
    EXPECT_EQ(link.value("metadata").toObject().keys(),
              (QStringList{"author", "description", "platform", "siteName"}));
    EXPECT_FALSE(link.contains("imageData"));
    const QString id = link.value("id").toString();
    EXPECT_EQ(id, id.toUpper());
    EXPECT_EQ(id.size(), 36);
    EXPECT_EQ(link.value("tagIds").toArray().size(), 2);
    const QRegularExpression date(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$)");
    EXPECT_TRUE(date.match(link.value("createdAt").toString()).hasMatch());

    const QJsonObject bare = firstWhere(doc, "items", "type", "document");
    EXPECT_EQ(bare.keys(), (QStringList{"createdAt", "id", "isArchived", "isFavorite", "modifiedAt",
                                        "tagIds", "title", "type"}));
    EXPECT_TRUE(bare.value("tagIds").toArray().isEmpty());
    const QJsonObject top = firstWhere(doc, "folders", "name", "Top");
    EXPECT_FALSE(top.contains("parentId"));
    EXPECT_TRUE(top.contains("sortOrder"));

    // Two exports differ only in their date; images go only when asked for.
    const auto strip = [](QByteArray text) {
        const qsizetype at = text.indexOf("\"exportDate\"");
        return text.remove(at, text.indexOf('\n', at) - at);
    };
    QTest::qWait(5);
    EXPECT_EQ(strip(bytes), strip(exportOf(*store, false)));
    const QJsonObject withImages =
        firstWhere(QJsonDocument::fromJson(exportOf(*store, true)), "items", "type", "web_link");
    EXPECT_EQ(QByteArray::fromBase64(withImages.value("imageData").toString().toLatin1()),
              QByteArray("\x00\xff/image", 9));
    EXPECT_EQ(withImages.value("thumbnailData").toString(), QStringLiteral("dGh1bWI="));
}

TEST_F(ExportImportTest, EmptyLibraryExportsEmptyListsAndAnotherVersionOfThatImports)
{
    QByteArray bytes = exportOf(*store, false);
    const auto doc = QJsonDocument::fromJson(bytes);
    for (const char *list : {"items", "folders", "tags"})
        EXPECT_TRUE(doc.object().value(QLatin1StringView(list)).toArray().isEmpty()) << list;
    EXPECT_EQ(doc.object().value("version").toString(), QStringLiteral("1.0"));
    bytes.replace("\"version\" : \"1.0\"", "\"version\" : \"2.0\"");
    EXPECT_EQ(import(*store, writeFile("v2.json", bytes)), QString());
}

TEST_F(ExportImportTest, RoundTripRebuildsRecordsWithNewIdsAndDoublesOnSecondImport)
{
    fill(*store);
    const QString path = writeFile("export.json", exportOf(*store, true));
    auto target = open("target.store");
    ImportResult result;
    ASSERT_EQ(import(*target, path, std::nullopt, &result), QString());
    EXPECT_EQ(result.summary(), QStringLiteral("Imported 2 items, 2 folders, 2 tags"));
    ASSERT_EQ(target->items().size(), 2u);
    Item *link = nullptr;
    for (Item *i : target->items())
        if (i->type() == ItemType::WebLink)
            link = i;
    ASSERT_TRUE(link);
    EXPECT_EQ(link->title(), QStringLiteral("A/B\ttitle ü"));
    EXPECT_EQ(link->urlString(), QStringLiteral("https://example.com/a/b"));
    EXPECT_EQ(link->note(), QStringLiteral("line\nbreak"));
    EXPECT_TRUE(link->isFavorite());
    ASSERT_TRUE(link->folder());
    EXPECT_EQ(link->folder()->name(), QStringLiteral("Inner \"quoted\""));
    EXPECT_EQ(link->folder()->sortOrder(), 3);
    ASSERT_TRUE(link->folder()->parent());
    EXPECT_EQ(link->folder()->parent()->name(), QStringLiteral("Top"));
    ASSERT_EQ(link->tags().size(), 2);
    EXPECT_EQ(link->tags()[0]->name(), QStringLiteral("blue"));
    EXPECT_EQ(link->tags()[0]->colorHex(), QStringLiteral("#0000FF"));
    const auto metadata = link->metadata();
    ASSERT_TRUE(metadata);
    EXPECT_EQ(metadata->author, QStringLiteral("Ann"));
    EXPECT_EQ(metadata->description, QStringLiteral("About"));
    EXPECT_FALSE(metadata->siteName);
    EXPECT_EQ(link->imageData(), QByteArray("\x00\xff/image", 9));
    for (Item *i : store->items())
        EXPECT_FALSE(target->item(i->id())) << "imported records get new ids";
    EXPECT_FALSE(target->hasUnsavedChanges());

    // Everything it added was saved: it is there after reopening, and a second import doubles.
    ASSERT_EQ(import(*target, path), QString());
    target.reset();
    auto reopened = open("target.store");
    EXPECT_EQ(reopened->items().size(), 4u);
    EXPECT_EQ(reopened->folders().size(), 4u);
    EXPECT_EQ(reopened->tags().size(), 4u);
}

TEST_F(ExportImportTest, BackupOpensOnlyWithItsPassphraseAndNeverAfterAChangedByte)
{
    fill(*store);
    const QByteArray document = exportOf(*store, true);
    const auto sealed = EncryptedBackup::seal(document, QStringLiteral("correct horse"));
    ASSERT_TRUE(sealed.ok());
    EXPECT_NE(sealed.value(),
              EncryptedBackup::seal(document, QStringLiteral("correct horse")).value());
    const QJsonObject envelope = QJsonDocument::fromJson(sealed.value()).object();
    EXPECT_EQ(envelope.keys(), (QStringList{"data", "salt", "version"}));
    EXPECT_EQ(envelope.value("salt").toString().size(), 44);
    EXPECT_FALSE(sealed.value().contains('\n'));

    const auto opened = EncryptedBackup::open(envelope, QStringLiteral("correct horse"));
    ASSERT_TRUE(std::holds_alternative<QByteArray>(opened));
    EXPECT_EQ(std::get<QByteArray>(opened), document);
    EXPECT_EQ(std::get<ImportError>(EncryptedBackup::open(envelope, QStringLiteral("wrong"))),
              ImportError(ImportError::Kind::DecryptionFailed));

    const QByteArray box = QByteArray::fromBase64(envelope.value("data").toString().toLatin1());
    for (qsizetype at : {qsizetype(0), qsizetype(12), box.size() / 2, box.size() - 1}) {
        QByteArray changed = box;
        changed[at] = char(changed[at] ^ 0x01);
        QJsonObject bad = envelope;
        bad["data"] = QString::fromLatin1(changed.toBase64());
        EXPECT_EQ(
            std::get<ImportError>(EncryptedBackup::open(bad, QStringLiteral("correct horse"))),
            ImportError(ImportError::Kind::DecryptionFailed))
            << at;
    }
    QJsonObject other = envelope;
    other["version"] = QStringLiteral("2.0");
    EXPECT_EQ(std::get<ImportError>(EncryptedBackup::open(other, QStringLiteral("correct horse"))),
              ImportError(ImportError::Kind::UnsupportedVersion));
    other = envelope;
    other["salt"] = QStringLiteral("not base64!");
    EXPECT_EQ(std::get<ImportError>(EncryptedBackup::open(other, QStringLiteral("correct horse"))),
              ImportError(ImportError::Kind::InvalidFormat));

    // Through the import: the passphrase is asked for, then the library comes back.
    const QString path = writeFile("backup.qlbackup", sealed.value());
    auto target = open("target.store");
    EXPECT_EQ(import(*target, path), QStringLiteral("passphrase needed"));
    EXPECT_EQ(import(*target, path, QStringLiteral("wrong")),
              QStringLiteral("Failed to decrypt backup"));
    EXPECT_TRUE(target->items().empty());
    EXPECT_EQ(import(*target, path, QStringLiteral("correct horse")), QString());
    EXPECT_EQ(target->items().size(), 2u);
}

// An envelope is known by its members, in any order or layout and among others; one whose
// values are damaged is still a backup, and only opening it says what is wrong.
TEST_F(ExportImportTest, BackupEnvelopeIsKnownByItsMembersWhateverItsLayout)
{
    fill(*store);
    const auto sealed = EncryptedBackup::seal(exportOf(*store, false), "pass");
    ASSERT_TRUE(sealed.ok());
    QJsonObject envelope = QJsonDocument::fromJson(sealed.value()).object();
    envelope.insert("comment", QJsonArray{1, QJsonObject{{"items", 2}}, "x"});
    QByteArray reordered = QJsonDocument(envelope).toJson(QJsonDocument::Indented);
    reordered.replace("\"salt\"", "\"s\\u0061lt\"");
    const QString path = writeFile("reordered.qlbackup", reordered);
    auto target = open("target.store");
    EXPECT_EQ(import(*target, path), "passphrase needed");
    EXPECT_EQ(import(*target, path, QStringLiteral("pass")), QString());
    EXPECT_EQ(target->items().size(), 2u);

    const QString damaged = writeFile("damaged.qlbackup", R"({"version":1,"salt":[],"data":{}})");
    EXPECT_EQ(import(*target, damaged), "passphrase needed");
    EXPECT_EQ(import(*target, damaged, QStringLiteral("pass")), "Invalid file format");
    const QString wrongSalt =
        writeFile("salt.qlbackup", R"({"version":"1.0","salt":null,"data":"AAAA"})");
    EXPECT_EQ(import(*target, wrongSalt, QStringLiteral("pass")), "Invalid file format");
    const QString truncated = writeFile("truncated.qlbackup", sealed.value().chopped(2));
    EXPECT_TRUE(import(*target, truncated).startsWith("Invalid file format:"));
    EXPECT_EQ(target->items().size(), 2u);

    // Damaged copies are envelopes when the platform's parser reads one, unless they are not
    // strictly JSON (that parser lets some of it through), and open alike either way.
    const QByteArray small = EncryptedBackup::seal("{}", "pass").value();
    static const char alphabet[] = "{}[]\",:\\/ 0a1.eE+-tfnulx\x00\x80\xc3";
    quint32 seed = 20260311;
    const auto next = [&seed](quint32 bound) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % bound;
    };
    int envelopes = 0;
    for (int round = 0; round < 2000; ++round) {
        QByteArray edited = small;
        const auto at = qsizetype(next(quint32(edited.size())));
        const char c = alphabet[next(sizeof alphabet - 1)];
        if (next(2) == 0)
            edited[at] = c;
        else
            edited.insert(at, c);
        QJsonParseError error;
        const QJsonDocument reference = QJsonDocument::fromJson(edited, &error);
        const bool isOne = error.error == QJsonParseError::NoError && reference.isObject() &&
                           EncryptedBackup::isEnvelope(reference.object());
        const auto read = EncryptedBackup::envelopeOf(edited);
        if (!read) {
            JsonCursor strict(edited);
            EXPECT_FALSE(isOne && strict.skipValue() && strict.atEnd()) << edited.toStdString();
            continue;
        }
        ASSERT_TRUE(isOne) << edited.toStdString();
        ++envelopes;
        const auto opened = EncryptedBackup::open(*read, "pass");
        const auto expected = EncryptedBackup::open(reference.object(), "pass");
        ASSERT_EQ(opened.index(), expected.index()) << edited.toStdString();
        if (const auto *failure = std::get_if<ImportError>(&opened)) {
            EXPECT_EQ(*failure, std::get<ImportError>(expected)) << edited.toStdString();
        }
    }
    EXPECT_GT(envelopes, 0);
}

TEST_F(ExportImportTest, BackupKeyDiffersFromTheLibraryKey)
{
    const QByteArray salt(32, '\x07');
    const auto backup = EncryptedBackup::deriveBackupKey(QStringLiteral("pass word"), salt);
    const auto library = SecurityService::deriveKey(QStringLiteral("pass word"), salt);
    ASSERT_TRUE(backup.ok() && library.ok());
    EXPECT_FALSE(backup.value() == library.value());
    EXPECT_FALSE(EncryptedBackup::deriveBackupKey(QString(QChar(0xD800)), salt).ok());
}

TEST_F(ExportImportTest, BadDocumentsAreRefusedWithAReasonAndChangeNothing)
{
    fill(*store);
    const QByteArray good = exportOf(*store, false);
    QByteArray wrongType = good;
    wrongType.replace("\"isFavorite\" : true", "\"isFavorite\" : \"yes\"");
    QByteArray missing = good;
    missing.replace("\"title\"", "\"titel\"");
    const std::vector<std::pair<const char *, QByteArray>> cases{
        {"empty", QByteArray()},
        {"truncated", good.left(good.size() / 2)},
        {"not json", QByteArray("\x89PNG\r\n\x1a\n binary", 15)},
        {"array", QByteArray("[1,2,3]")},
        {"deep", QByteArray(100000, '[') + QByteArray(100000, ']')},
        {"wrong type", wrongType},
        {"missing title", missing},
        {"items not a list",
         QByteArray(R"({"version":"1.0","exportDate":"2025-03-01T09:15:30.250Z",)"
                    R"("appVersion":"1","items":{},"folders":[],"tags":[]})")},
    };
    const auto before = store->items().size();
    for (const auto &[name, bytes] : cases) {
        const QString failure = import(*store, writeFile(QStringLiteral("bad.json"), bytes));
        EXPECT_TRUE(failure.startsWith(QStringLiteral("Invalid file format")))
            << name << ": " << failure.toStdString();
    }
    EXPECT_EQ(import(*store, writeFile(QStringLiteral("bookmarks.html"),
                                       "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n")),
              QStringLiteral("Invalid file format: this is a browser's bookmark file. Import it "
                             "with Import Bookmarks... instead."));
    EXPECT_FALSE(import(*store, dir.filePath("absent.json")).isEmpty());
    EXPECT_FALSE(import(*store, dir.path()).isEmpty()); // a folder
    QFile huge(dir.filePath("huge.json"));              // sparse: costs no disk
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(ImportFile::maximumSize + 1));
    huge.close();
    EXPECT_EQ(import(*store, huge.fileName()),
              QStringLiteral("The file is too large to import (more than 1 GiB)."));
    EXPECT_EQ(store->items().size(), before);
    EXPECT_EQ(store->folders().size(), 2u);
}

TEST_F(ExportImportTest, AFailedSaveLeavesTheLibraryAsItWas)
{
    fill(*store);
    const QString path = writeFile("export.json", exportOf(*store, false));
    auto target = open("target.store");
    ASSERT_TRUE(target->save());
    // Another program holds the write lock for longer than the worker waits for it.
    SqliteDatabase other;
    QString error;
    ASSERT_TRUE(other.open(dir.filePath("target.store"), SqliteDatabase::Mode::ReadWrite, &error));
    ASSERT_TRUE(other.exec("BEGIN IMMEDIATE", &error));
    const QString failure = import(*target, path);
    other.exec("ROLLBACK", &error);
    EXPECT_FALSE(failure.isEmpty());
    EXPECT_TRUE(target->items().empty());
    EXPECT_TRUE(target->tags().empty());
    target.reset();
    EXPECT_TRUE(open("target.store")->items().empty());
}

TEST_F(ExportImportTest, ExportFileIsWrittenWholeUnderItsDatedName)
{
    fill(*store);
    ExportData data;
    for (Item *i : store->items())
        data.items.push_back(ExportService::exportedItem(*i, false));
    const QDateTime when(QDate(2025, 3, 1), QTime(9, 15));
    EXPECT_EQ(
        ExportService::fileName(false, when, QLocale(QLocale::English, QLocale::UnitedStates)),
        QStringLiteral("quillory_export_3-1-25_9-15_AM.json"));
    const auto written = ExportService::writeDocument(
        ExportDocumentWriter::write(data), {false, true, "passphrase"}, dir.path(), when);
    ASSERT_TRUE(written.path) << written.error.toStdString();
    EXPECT_TRUE(written.path->endsWith(QStringLiteral(".qlbackup")));
    QFile file(*written.path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(EncryptedBackup::isEnvelope(QJsonDocument::fromJson(file.readAll()).object()));
    EXPECT_EQ(QDir(dir.path()).entryList({"*.tmp*", ".*quillory*"}, QDir::Files | QDir::Hidden),
              QStringList());
    const auto refused = ExportService::writeDocument(ExportDocumentWriter::write(data), {},
                                                      dir.filePath("absent/dir"), when);
    EXPECT_FALSE(refused.path);
    EXPECT_FALSE(refused.error.isEmpty());
}

// Whether a refused file is a backup is decided from a look at its members: read into a
// tree, a large file would take many times its size, here hundreds of megabytes.
TEST_F(ExportImportTest, ALargeFileThatIsNeitherExportNorBackupIsRefusedWithoutATree)
{
#ifdef __SANITIZE_ADDRESS__
    constexpr bool sanitized = true;
#else
    constexpr bool sanitized = false;
#endif
    const qsizetype zeros = 25'000'000; // some 50 MB
    for (const char *start : {"[", R"({"salt":"","padding":[)", R"({"data":"","items":{},"x":[)"}) {
        QByteArray bytes = start + QByteArray("0,").repeated(zeros) + '0' + ']';
        if (bytes.startsWith('{'))
            bytes += '}';
        const QString expected = ExportDocumentReader::read(bytes).error;
        ASSERT_TRUE(expected.startsWith("Invalid file format: ")) << expected.toStdString();
        if (bytes.startsWith('[')) {
            EXPECT_EQ(expected, "Invalid file format: the file holds no Quillory export.");
        }
        const qint64 sizeKiB = bytes.size() / 1024;
        const QString path = writeFile("large.json", bytes);
        bytes = QByteArray();

        test::PeakMemory::reset();
        const qint64 before = test::PeakMemory::peakKiB();
        EXPECT_EQ(import(*store, path), expected) << start;
        const qint64 grown = test::PeakMemory::peakKiB() - before;
        // The address sanitizer keeps freed memory resident a while, to catch its use. The
        // parser indexes every token first (four bytes each, and here every other byte is
        // one) and unescapes texts into a buffer of the file's size.
        if (!sanitized) {
            EXPECT_LT(grown, 6 * sizeKiB) << start << ": the import held " << grown << " KiB more";
        }
    }
    EXPECT_TRUE(store->items().empty());
}

// Each tag given to an item is checked against those it has, so a list past any real use
// is cut: linking all 200,000 would not end within the test's time.
TEST_F(ExportImportTest, AnItemListingTooManyTagsKeepsTheFirstOnes)
{
    ExportData data;
    ExportedItem item;
    item.id = ExportDocumentWriter::uuidText(QUuid::createUuid());
    item.type = "web_link";
    item.title = "tagged";
    data.tags.reserve(200'000);
    for (int i = 0; i < 200'000; ++i) {
        ExportedTag tag;
        tag.id = ExportDocumentWriter::uuidText(QUuid::createUuid());
        tag.name = QString::number(i);
        data.tags.push_back(tag);
        item.tagIds.push_back(tag.id);
        item.tagIds.push_back(data.tags.front().id); // repeats count for nothing
        item.tagIds.push_back("unknown");
    }
    data.items.push_back(std::move(item));
    const StoreFile::Contents contents = ExportService::importRecords(data);
    EXPECT_EQ(contents.tags.size(), 200'000u);
    ASSERT_EQ(contents.items.size(), 1u);
    const QList<Tag *> &tags = contents.items.front()->tags();
    ASSERT_EQ(tags.size(), ExportService::itemTagLimit);
    for (qsizetype i = 0; i < tags.size(); ++i)
        ASSERT_EQ(tags[i]->name(), QString::number(i));
}

// A large document keeps the file's order, and the problem reported is the first in the
// file, however far into it.
TEST_F(ExportImportTest, LargeDocumentReadsInOrderAndReportsItsFirstProblem)
{
    const auto documentWith = [](const std::vector<int> &badItems) {
        QJsonArray items;
        for (int i = 0; i < 10000; ++i) {
            QJsonObject item{{"id", ExportDocumentWriter::uuidText(QUuid::createUuid())},
                             {"type", "web_link"},
                             {"title", QString::number(i)},
                             {"createdAt", "2025-03-01T09:15:30.250Z"},
                             {"modifiedAt", "2025-03-01T09:15:30.250Z"},
                             {"isArchived", false},
                             {"isFavorite", false},
                             {"tagIds", QJsonArray()}};
            if (std::find(badItems.begin(), badItems.end(), i) != badItems.end())
                item.insert("isFavorite", "yes");
            items.append(item);
        }
        const QJsonObject root{
            {"version", "1.0"},        {"exportDate", "2025-03-01T09:15:30.250Z"},
            {"appVersion", "1"},       {"items", items},
            {"folders", QJsonArray()}, {"tags", QJsonArray()}};
        return QJsonDocument(root).toJson();
    };

    const auto good = ExportDocumentReader::read(documentWith({}));
    ASSERT_TRUE(good.data) << good.error.toStdString();
    ASSERT_EQ(good.data->items.size(), 10000u);
    for (int i : {0, 4999, 5000, 9999})
        EXPECT_EQ(good.data->items[size_t(i)].title, QString::number(i));

    const auto lateOnly = ExportDocumentReader::read(documentWith({7000}));
    EXPECT_FALSE(lateOnly.data);
    EXPECT_TRUE(lateOnly.error.contains("of item 7001")) << lateOnly.error.toStdString();

    const auto both = ExportDocumentReader::read(documentWith({3, 7000}));
    EXPECT_FALSE(both.data);
    EXPECT_TRUE(both.error.contains("of item 4 ")) << both.error.toStdString();
}

// Hand-edited or damaged documents: whatever the reader accepts is valid JSON, whatever the
// platform's own parser refuses the reader refuses too, and the way the text is laid out
// (member order, spacing, escapes) changes nothing that is read.
TEST_F(ExportImportTest, ReaderAgreesWithAConformingParserOnDamagedAndReformattedDocuments)
{
    fill(*store);
    store->insert(std::make_unique<Item>(ItemType::WebLink,
                                         QString::fromUtf8("caf\xC3\xA9 \xF0\x9F\x98\x80 \"x\""),
                                         QUrl("https://example.com/?q=a&b=%20")));
    const QByteArray good = exportOf(*store, true);
    const auto original = ExportDocumentReader::read(good);
    ASSERT_TRUE(original.data) << original.error.toStdString();
    const QByteArray expected = ExportDocumentWriter::write(*original.data);

    for (const auto format : {QJsonDocument::Compact, QJsonDocument::Indented}) {
        const QByteArray reformatted = QJsonDocument::fromJson(good).toJson(format);
        const auto read = ExportDocumentReader::read(reformatted);
        ASSERT_TRUE(read.data) << read.error.toStdString();
        EXPECT_EQ(ExportDocumentWriter::write(*read.data), expected);
    }

    static const char alphabet[] = "{}[]\",:\\/ 0123456789.eE+-tfnulx\x00\x01\x7f\x80\xc3\xff";
    quint32 seed = 20261207;
    const auto next = [&seed](quint32 bound) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % bound;
    };
    int accepted = 0;
    for (int round = 0; round < 600; ++round) {
        QByteArray damaged = good;
        for (int edits = 1 + int(next(3)); edits > 0; --edits) {
            const auto at = qsizetype(next(quint32(damaged.size())));
            const char c = alphabet[next(sizeof alphabet - 1)];
            switch (next(3)) {
            case 0:
                damaged[at] = c;
                break;
            case 1:
                damaged.remove(at, 1);
                break;
            default:
                damaged.insert(at, c);
            }
        }
        const auto read = ExportDocumentReader::read(damaged);
        QJsonParseError reference;
        QJsonDocument::fromJson(damaged, &reference);
        if (read.data) {
            ++accepted;
            EXPECT_EQ(reference.error, QJsonParseError::NoError) << damaged.toStdString();
        } else {
            EXPECT_TRUE(read.error.startsWith("Invalid file format")) << read.error.toStdString();
        }
    }
    EXPECT_GT(accepted, 0) << "some edits land in texts and keep the document readable";
}

// A document nesting its folders a hundred thousand levels deep: the tree is cut at the
// deepest level the library shows, in linear time, and the summary says how many moved.
TEST_F(ExportImportTest, FoldersNestedTooDeepAreMovedUpAndCounted)
{
    constexpr int depth = 100'000;
    ImportResult result;
    ASSERT_EQ(import(*store, writeFile("deep.json", test::DeepTrees::exportDocument(depth)),
                     std::nullopt, &result),
              QString());
    EXPECT_EQ(result.foldersImported, depth);
    EXPECT_EQ(result.foldersMovedUp, depth - FolderNesting::maxDepth);
    EXPECT_TRUE(result.summary().startsWith("Imported 1 item, " + QLocale().toString(depth) +
                                            " folders, 0 tags. "))
        << result.summary().toStdString();
    EXPECT_TRUE(result.summary().endsWith(
        "folders lay deeper than 64 levels and were moved up to level 64."))
        << result.summary().toStdString();
    ImportResult one;
    one.foldersMovedUp = 1;
    EXPECT_TRUE(one.summary().endsWith(
        ". 1 folder lay deeper than 64 levels and was moved up to level 64."))
        << one.summary().toStdString();
    ASSERT_EQ(store->folders().size(), size_t(depth));
    for (const Folder *f : store->folders()) {
        int levels = 1;
        for (const Folder *up = f->parent(); up != nullptr; up = up->parent())
            ++levels;
        ASSERT_LE(levels, FolderNesting::maxDepth) << f->name().toStdString();
    }
    ASSERT_EQ(store->items().size(), 1u);
    const Folder *deepest = store->items().front()->folder();
    ASSERT_NE(deepest, nullptr);
    EXPECT_EQ(deepest->name(), "Level 99999") << "the item stays in its folder";
    EXPECT_EQ(deepest->parent()->name(), "Level 62");
}

// Dates as the document carries them: the Gregorian calendar from year 0 to 9999, to the
// millisecond, read back to the same instant; anything else refused, never wrapped.
TEST(ExportDateTest, DatesRoundTripWithinTheCalendarAndImpossibleOnesAreRefused)
{
    const auto exportDated = [](const QString &date) {
        return ExportDocumentReader::read(
                   QStringLiteral(R"({"appVersion":"1","exportDate":"%1","folders":[],)"
                                  R"("items":[],"tags":[],"version":"1"})")
                       .arg(date)
                       .toUtf8())
            .data;
    };
    const auto utc = [](int y, int m, int d, int h, int min, int s, int ms) {
        return QDateTime(QDate(y, m, d), QTime(h, min, s, ms), Qt::UTC).toMSecsSinceEpoch();
    };
    const qint64 yearZero = -62'167'219'200'000; // 0000-01-01, Qt's 1 BC
    const std::vector<std::pair<const char *, qint64>> valid{
        {"2024-02-29T12:00:00Z", utc(2024, 2, 29, 12, 0, 0, 0)},
        {"2000-02-29T00:00:00.5Z", utc(2000, 2, 29, 0, 0, 0, 500)},
        {"1969-12-31T23:59:59.999Z", -1},
        {"2025-03-01T10:15:30.25+01:00", utc(2025, 3, 1, 9, 15, 30, 250)},
        {"2025-03-01T00:15:30.250-09:30", utc(2025, 3, 1, 9, 45, 30, 250)},
        {"0000-01-01T00:00:00.000Z", yearZero},
        {"9999-12-31T23:59:59.999Z", utc(9999, 12, 31, 23, 59, 59, 999)},
    };
    for (const auto &[text, msecs] : valid) {
        const auto read = exportDated(QLatin1StringView(text));
        ASSERT_TRUE(read) << text;
        EXPECT_EQ(read->exportDate, msecs) << text;
    }
    for (const char *text :
         {"2023-02-29T00:00:00Z", "1900-02-29T00:00:00Z", "2025-02-30T00:00:00Z",
          "2025-04-31T00:00:00Z", "2025-13-01T00:00:00Z", "2025-00-10T00:00:00Z",
          "2025-01-00T00:00:00Z", "10000-01-01T00:00:00Z", "-001-01-01T00:00:00Z",
          "x025-01-01T00:00:00Z", "2025-01-01T24:00:00Z", "2025-01-01T23:60:00Z",
          "2025-01-01T23:59:60Z", "2025-01-01T00:00:00+24:00", "2025-01-01T00:00:00"})
        EXPECT_FALSE(exportDated(QLatin1StringView(text))) << text;

    // Written in the four-digit form across the whole range, and read back to the same instant.
    for (const qint64 msecs : {qint64(0), qint64(-1), yearZero, utc(2000, 2, 29, 23, 59, 59, 1),
                               utc(2024, 12, 31, 0, 0, 0, 0), utc(9999, 12, 31, 23, 59, 59, 999)}) {
        const QString text = ExportDocumentWriter::dateText(msecs);
        EXPECT_EQ(text.size(), 24) << text.toStdString();
        const auto read = exportDated(text);
        ASSERT_TRUE(read) << text.toStdString();
        EXPECT_EQ(read->exportDate, msecs) << text.toStdString();
    }
    EXPECT_EQ(ExportDocumentWriter::dateText(yearZero), "0000-01-01T00:00:00.000Z");
    EXPECT_EQ(ExportDocumentWriter::dateText(-1), "1969-12-31T23:59:59.999Z");
    EXPECT_EQ(ExportDocumentWriter::dateText(utc(2024, 2, 29, 7, 5, 3, 9)),
              "2024-02-29T07:05:03.009Z");
    // Outside the four digits the writer falls back to Qt's form, whatever the value.
    EXPECT_FALSE(
        ExportDocumentWriter::dateText(yearZero - 1).startsWith(QLatin1StringView("0000")));
    EXPECT_FALSE(ExportDocumentWriter::dateText(utc(9999, 12, 31, 23, 59, 59, 999) + 1)
                     .startsWith(QLatin1StringView("9999")));
    for (const qint64 extreme :
         {std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()})
        EXPECT_FALSE(ExportDocumentWriter::dateText(extreme).startsWith(QLatin1StringView("0")));
}
