#include "Eventually.h"
#include "FaultyDisk.h"
#include "IntakeBench.h"
#include "PoolBlocker.h"
#include "TestFiles.h"
#include "TestHttpServer.h"
#include "TestPictures.h"

#include <inbox/InboxLayout.h>
#include <intake/AppNotifier.h>
#include <intake/PendingItemsService.h>
#include <platform/NullNewItemsListener.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::FaultyDisk;
using quillory::test::PoolBlocker;
using quillory::test::TestHttpServer;
using quillory::test::TestPictures;
using quillory::test::writeTestFile;

namespace {

class PendingItemsServiceTest : public ::testing::Test, protected quillory::test::IntakeBench
{
protected:
    PendingItemsServiceTest()
        : m_inbox(*InboxLayout::ensureInbox()),
          m_service(std::make_unique<PendingItemsService>(*store, *intake))
    {
    }
    // A new start of the program over the same library and inbox.
    void reopen()
    {
        m_service.reset();
        open();
        m_service = std::make_unique<PendingItemsService>(*store, *intake);
    }
    ~PendingItemsServiceTest() override
    {
        m_service.reset();
        QDir(m_inbox).removeRecursively();
    }

    QString inboxFile(const QString &name) const { return m_inbox + u'/' + name; }
    void write(const QString &name, const QByteArray &bytes)
    {
        QFile file(inboxFile(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QString record(const QByteArray &json)
    {
        const QString name = InboxLayout::uniqueName(u".json"_s);
        write(name, json);
        return name;
    }
    // A picture beside a record, under a name of the inbox's own form.
    QString companion(const QByteArray &bytes, const QString &extension = u".jpg"_s)
    {
        const QString name = InboxLayout::uniqueName(extension);
        write(name, bytes);
        return name;
    }
    static QByteArray pictureRecord(const QString &companion)
    {
        return R"({"type":"image","title":"P","imageFileName":")" + companion.toUtf8() + R"("})";
    }
    QStringList failed() const
    {
        return QDir(inboxFile(InboxLayout::failedName)).entryList(QDir::Files, QDir::Name);
    }
    // Runs one scan and waits until it has finished, pictures included.
    void scan()
    {
        QSignalSpy finished(m_service.get(), &PendingItemsService::scanFinished);
        m_service->processPendingItems();
        if (finished.isEmpty()) {
            ASSERT_TRUE(finished.wait(10000));
        }
    }
    Item *only()
    {
        EXPECT_EQ(store->items().size(), 1u);
        return store->items().empty() ? nullptr : store->items().front();
    }

    QString m_inbox;
    std::unique_ptr<PendingItemsService> m_service;
};

} // namespace

TEST_F(PendingItemsServiceTest, EachRecordBecomesAnItemByThePrecedenceOfItsMembers)
{
    const QByteArray picture = TestPictures::encoded(TestPictures::twoTone(80, 60), "png");
    const QString shot = InboxLayout::uniqueName(u".png"_s);
    write(u"Imported/A_Report.pdf"_s, "%PDF-1.4\n");
    const struct
    {
        const char *name;
        QByteArray json;
        std::function<void(Item *)> check;
        std::function<void()> companions = {};
    } cases[] = {
        {"a video link with a note",
         R"({"type":"video","title":"Talk","url":"mailto:a@b.example","note":"  later "})",
         [](Item *i) {
             EXPECT_EQ(i->type(), ItemType::Video);
             EXPECT_EQ(i->title(), u"Talk"_s);
             EXPECT_EQ(i->urlString(), u"mailto:a@b.example"_s);
             EXPECT_EQ(i->note(), u"  later "_s);
         }},
        {"a screenshot kind taken as given",
         R"({"type":"screenshot","title":"S","url":"mailto:s"})",
         [](Item *i) { EXPECT_EQ(i->type(), ItemType::Screenshot); }},
        {"an unknown kind", R"({"type":"hologram","title":"H","url":"mailto:h"})",
         [](Item *i) { EXPECT_EQ(i->type(), ItemType::WebLink); }},
        {"a huge title, bounded",
         R"({"type":"web_link","title":")" + QByteArray(600000, 'T') + R"(","url":"mailto:x"})",
         [](Item *i) { EXPECT_EQ(i->title().size(), ItemEnricher::titleLimit + 1); }},
        {"an unparsable address falls through to the picture",
         R"({"type":"image","title":"P","url":"http://exa mple","imageFileName":")" +
             shot.toUtf8() + R"("})",
         [&](Item *i) {
             EXPECT_EQ(i->type(), ItemType::Screenshot);
             EXPECT_FALSE(i->urlString());
             EXPECT_TRUE(i->hasImageData());
             EXPECT_TRUE(i->hasThumbnailData());
             EXPECT_FALSE(QFile::exists(inboxFile(shot))) << "the picture goes with it";
         },
         [&] { write(shot, picture); }},
        {"a document", R"({"type":"document","title":"Report","filePath":"Imported/A_Report.pdf"})",
         [this](Item *i) {
             EXPECT_EQ(i->type(), ItemType::Document);
             EXPECT_EQ(i->url(), QUrl::fromLocalFile(inboxFile(u"Imported/A_Report.pdf"_s)));
             EXPECT_EQ(i->sourceDomain(), u"A_Report.pdf"_s);
             EXPECT_TRUE(QFile::exists(inboxFile(u"Imported/A_Report.pdf"_s)));
         }},
        {"a shared picture file is shown as a picture, and stays",
         R"({"type":"image","title":"Cat","filePath":"Imported/B_cat.png","note":"n"})",
         [this](Item *i) {
             EXPECT_EQ(i->type(), ItemType::Image);
             EXPECT_EQ(i->url(), QUrl::fromLocalFile(inboxFile(u"Imported/B_cat.png"_s)));
             EXPECT_EQ(i->note(), u"n"_s);
             EXPECT_TRUE(i->hasImageData());
             EXPECT_TRUE(i->hasThumbnailData());
             EXPECT_TRUE(QFile::exists(inboxFile(u"Imported/B_cat.png"_s)));
         },
         [&] { write(u"Imported/B_cat.png"_s, picture); }},
        {"a picture file that does not decode is a document",
         R"({"type":"image","title":"Odd","filePath":"Imported/C_odd.png"})",
         [](Item *i) {
             EXPECT_EQ(i->type(), ItemType::Document);
             EXPECT_FALSE(i->hasImageData());
         },
         [this] { write(u"Imported/C_odd.png"_s, "no picture here"); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        store->removeAll(RecordKind::Item);
        if (c.companions)
            c.companions();
        const QString name = record(c.json);
        scan();
        if (Item *item = only())
            c.check(item);
        EXPECT_FALSE(QFile::exists(inboxFile(name)));
    }
}

TEST_F(PendingItemsServiceTest, RecordsThatMakeNothingAreDeletedAndOthersLeftAlone)
{
    // Only a UUID and ".json" is a record: the inbox may hold other programs' files.
    const QByteArray link = R"({"type":"web_link","title":"x","url":"mailto:x"})";
    const QStringList others = {
        u"upper.JSON"_s, u"notes.json"_s, InboxLayout::uniqueName(u".JSON"_s),
        InboxLayout::uniqueName(u".json.bak"_s), u"x"_s + InboxLayout::uniqueName(u".json"_s)};
    for (const QString &name : others)
        write(name, link);
    const QString noTitle = record(R"({"type":"web_link","url":"mailto:x"})");
    const QString missing =
        record(R"({"type":"document","title":"D","filePath":"Imported/gone.pdf"})");
    const QString numberPath = record(R"({"type":"document","title":"D","filePath":7})");
    const QString lower = InboxLayout::uniqueName(u".json"_s).toLower();
    write(lower, R"({"type":"web_link","title":"lower","url":"mailto:l"})");
    scan();
    ASSERT_NE(only(), nullptr);
    EXPECT_EQ(only()->title(), u"lower"_s) << "a UUID in lower case is a UUID";
    for (const QString &name : {noTitle, missing, numberPath, lower})
        EXPECT_FALSE(QFile::exists(inboxFile(name)));
    for (const QString &name : others)
        EXPECT_TRUE(QFile::exists(inboxFile(name))) << qPrintable(name);
    // A name used again, once its record has gone, is a new share; back to back, a scan
    // imports nothing twice.
    write(lower, R"({"type":"web_link","title":"again","url":"mailto:a"})");
    scan();
    EXPECT_EQ(store->items().size(), 2u);
    EXPECT_FALSE(QFile::exists(inboxFile(lower)));
    scan();
    EXPECT_EQ(store->items().size(), 2u);
}

TEST_F(PendingItemsServiceTest, HostileRecordsNeverReachOutsideTheInbox)
{
    QTemporaryDir outside;
    const QString secret = outside.filePath(u"secret.png"_s);
    const QByteArray picture = TestPictures::encoded(TestPictures::twoTone(8, 8), "png");
    const QByteArray outsideRecord = R"({"type":"web_link","title":"t","url":"mailto:x"})";
    writeTestFile(outside, u"secret.png"_s, picture);
    writeTestFile(outside, u"record.json"_s, outsideRecord);
    const QByteArray relative = QDir(m_inbox).relativeFilePath(secret).toUtf8();
    const QString link = InboxLayout::uniqueName(u".png"_s);
    const QString fifo = InboxLayout::uniqueName(u".png"_s);
    const QString huge = InboxLayout::uniqueName(u".png"_s);
    const QString fifoRecord = InboxLayout::uniqueName(u".json"_s);
    const QString folderRecord = InboxLayout::uniqueName(u".json"_s);
    const QString linkedRecord = InboxLayout::uniqueName(u".json"_s);
    const QString anotherRecord = record(outsideRecord);
    QFile::link(secret, inboxFile(link));
    QFile::link(secret, inboxFile(u"Imported/link.pdf"_s));
    QFile::link(outside.filePath(u"record.json"_s), inboxFile(linkedRecord));
    write(u"plain.png"_s, picture); // another program's file
    ASSERT_EQ(::mkfifo(QFile::encodeName(inboxFile(fifo)).constData(), 0600), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(inboxFile(fifoRecord)).constData(), 0600), 0);
    QDir().mkpath(inboxFile(folderRecord));
    {
        QFile file(inboxFile(huge)); // sparse: no disk used
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(qint64(300) * 1024 * 1024));
    }
    const auto named = [](const QString &name) -> QByteArray {
        return R"({"type":"image","title":"t","imageFileName":")" + name.toUtf8() + R"("})";
    };
    const QByteArray records[] = {
        named(QString::fromUtf8(relative)),
        named(link),
        named(fifo),
        named(huge),
        named(u"plain.png"_s),
        named(anotherRecord), // another record is no picture of this one's to delete
        R"({"type":"document","title":"t","filePath":"Imported/../)" + relative + R"("})",
        R"({"type":"document","title":"t","filePath":")" + secret.toUtf8() + R"("})",
        R"({"type":"document","title":"t","filePath":"Imported/link.pdf"})",
        R"({"type":"web_link","title":5,"url":"mailto:x"})",
        R"({"type":"web_link","title":"t","url":"mailto:x")", // cut short
        R"({"type":"web_link","title":NaN})",
        QByteArray(100000, '[') + QByteArray(100000, ']'),
        "[]",
        QByteArray(2 * 1024 * 1024, ' ') + R"({"type":"web_link","title":"t","url":"mailto:x"})",
    };
    QStringList names;
    for (const QByteArray &json : records)
        names << record(json);
    scan();
    // Only the other record's own item: the record naming it as its picture took nothing.
    ASSERT_EQ(store->items().size(), 1u);
    for (const QString &name : names)
        EXPECT_FALSE(QFile::exists(inboxFile(name))) << qPrintable(name);
    QFile file(secret);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), picture) << "the file outside is neither moved nor deleted";
    QFile other(outside.filePath(u"record.json"_s));
    ASSERT_TRUE(other.open(QIODevice::ReadOnly));
    EXPECT_EQ(other.readAll(), outsideRecord) << "a linked record is neither read nor deleted";
    EXPECT_TRUE(QFileInfo(inboxFile(folderRecord)).isDir());
    EXPECT_TRUE(QFile::exists(inboxFile(u"plain.png"_s)));
    EXPECT_TRUE(failed().contains(huge)) << "a picture too large to read is kept, with its record";
}

TEST_F(PendingItemsServiceTest, RecordsStayUntilTheirItemsAreSaved)
{
    FaultyDisk disk;
    reopen();

    disk.setFull(true);
    const QString name = record(R"({"type":"web_link","title":"kept","url":"mailto:k"})");
    scan();
    ASSERT_NE(only(), nullptr);
    EXPECT_TRUE(QFile::exists(inboxFile(name))) << "a crash now would lose the share";
    scan();
    EXPECT_EQ(store->items().size(), 1u) << "not imported a second time";
    disk.setFull(false);
    ASSERT_EVENTUALLY(!QFile::exists(inboxFile(name)), 5000);
    EXPECT_FALSE(store->hasUnsavedChanges());
}

TEST_F(PendingItemsServiceTest, TriggersScanAndWebItemsAreEnrichedAFewAtATime)
{
    TestHttpServer server;
    TestHttpServer::Response slow = TestHttpServer::Response::html("<title>From the page</title>");
    slow.firstByteDelayMs = 400;
    server.route(u"/page"_s, slow);
    QSignalSpy enriched(enricher.get(), &ItemEnricher::finished);
    for (int i = 0; i < 10; ++i)
        record(R"({"type":"web_link","title":"shared","url":")" +
               server.url(u"/page?n=%1"_s.arg(i)).toEncoded() + R"("})");
    NullNewItemsListener listener;
    QSignalSpy finished(m_service.get(), &PendingItemsService::scanFinished);
    m_service->followTriggers(AppNotifier::shared(), listener); // scans once at start
    ASSERT_TRUE(finished.wait(5000));
    ASSERT_EQ(store->items().size(), 10u);
    QTest::qWait(250);
    EXPECT_EQ(server.totalHits(), ItemEnricher::maxInFlight);
    ASSERT_EVENTUALLY((enriched.count()) == (10), 20000);
    for (const Item *item : store->items())
        EXPECT_EQ(item->title(), u"From the page"_s);

    // Dropslip's signal, relayed as the in-process notification, makes a new scan.
    const QString late = record(R"({"type":"web_link","title":"late","url":"mailto:l"})");
    listener.announce();
    ASSERT_EVENTUALLY(!QFile::exists(inboxFile(late)), 5000);
    EXPECT_EQ(store->items().size(), 11u);
}

TEST_F(PendingItemsServiceTest, LinksInPlaceOfTheInboxFoldersAreNeverFollowed)
{
    // Another folder's files, reachable through links planted where the inbox and its
    // Imported folder should be: a scan that followed them would import and delete them.
    QTemporaryDir elsewhere;
    const QByteArray victimRecord = R"({"type":"web_link","title":"victim","url":"mailto:v"})";
    const QString victimName = InboxLayout::uniqueName(u".json"_s);
    for (const QString &name : {u"victim.json"_s, victimName})
        writeTestFile(elsewhere, name, victimRecord);
    const auto victimsIntact = [&] {
        for (const QString &name : {u"victim.json"_s, victimName}) {
            QFile victim(elsewhere.filePath(name));
            ASSERT_TRUE(victim.open(QIODevice::ReadOnly)) << qPrintable(name);
            EXPECT_EQ(victim.readAll(), victimRecord);
        }
    };
    ASSERT_TRUE(QDir(m_inbox).removeRecursively());
    ASSERT_TRUE(QFile::link(elsewhere.path(), m_inbox));
    scan();
    EXPECT_TRUE(store->items().empty());
    victimsIntact();
    EXPECT_EQ(QDir(elsewhere.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 2)
        << "nothing made in the folder the link points at";

    // The same files as someone's Imported folder: a document record naming one waits, while
    // the rest of the inbox is imported.
    ASSERT_TRUE(QFile::remove(m_inbox));
    ASSERT_TRUE(QDir().mkpath(m_inbox));
    ASSERT_TRUE(QFile::link(elsewhere.path(), inboxFile(InboxLayout::importedName)));
    const QString document = record(R"({"type":"document","title":"D","filePath":"Imported/)" +
                                    victimName.toUtf8() + R"("})");
    record(R"({"type":"web_link","title":"link","url":"mailto:l"})");
    scan();
    ASSERT_NE(only(), nullptr);
    EXPECT_EQ(only()->title(), u"link"_s);
    EXPECT_TRUE(QFile::exists(inboxFile(document)));
    victimsIntact();
    store->removeAll(RecordKind::Item);

    // A container that is itself a link is not used at all.
    ASSERT_TRUE(QFile::remove(inboxFile(InboxLayout::importedName)));
    const QString container = QFileInfo(m_inbox).absolutePath();
    const QString moved = container + u".real"_s;
    ASSERT_TRUE(QDir().rename(container, moved));
    ASSERT_TRUE(QFile::link(moved, container));
    const QString waiting = record(R"({"type":"web_link","title":"t","url":"mailto:t"})");
    scan();
    EXPECT_TRUE(store->items().empty());
    EXPECT_TRUE(QFile::exists(inboxFile(waiting)));
    ASSERT_TRUE(QFile::remove(container));
    ASSERT_TRUE(QDir().rename(moved, container));
}

TEST_F(PendingItemsServiceTest, BytesThatAreNoPictureStillMakeTheItemOnce)
{
    const QString garbage = companion("not a picture at all");
    const QString name = record(pictureRecord(garbage));
    scan();
    ASSERT_EQ(store->items().size(), 1u);
    EXPECT_FALSE(store->items().front()->hasImageData());
    EXPECT_FALSE(QFile::exists(inboxFile(name)));
    EXPECT_FALSE(QFile::exists(inboxFile(garbage)));
    EXPECT_TRUE(failed().isEmpty()) << "nothing failed: it was simply no picture";
    m_service = std::make_unique<PendingItemsService>(*store, *intake);
    scan();
    EXPECT_EQ(store->items().size(), 1u);
}

TEST_F(PendingItemsServiceTest, AnImportTheProcessDidNotSurviveIsSetAside)
{
    const QByteArray picture = TestPictures::encoded(TestPictures::twoTone(64, 48), "png");
    const QString shot = companion(picture, u".png"_s);
    const QString name = record(pictureRecord(shot));
    const QString importing = InboxLayout::withSuffix(name, InboxLayout::importingSuffix);
    {
        // Every worker busy, so the picture waits to be decoded; the process then "ends":
        // the service goes without ever hearing of it.
        PoolBlocker blocker;
        m_service->processPendingItems();
        EXPECT_TRUE(QFile::exists(inboxFile(importing))) << "marked before it is decoded";
        EXPECT_FALSE(QFile::exists(inboxFile(name)));
        m_service.reset();
        blocker.release();
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::sendPostedEvents();
    }
    ASSERT_TRUE(QFile::exists(inboxFile(importing)));

    // The next start finds it so and does not try the picture again.
    m_service = std::make_unique<PendingItemsService>(*store, *intake);
    scan();
    EXPECT_TRUE(store->items().empty());
    QStringList expected{name, shot};
    expected.sort();
    EXPECT_EQ(failed(), expected);
    EXPECT_FALSE(QFile::exists(inboxFile(importing)));
    EXPECT_FALSE(QFile::exists(inboxFile(shot)));

    // A record marked so and found decoded in this run goes back to waiting for the save.
    const QString next = record(pictureRecord(companion(picture, u".png"_s)));
    scan();
    ASSERT_NE(only(), nullptr);
    EXPECT_TRUE(only()->hasImageData());
    EXPECT_FALSE(QFile::exists(inboxFile(next)));
    EXPECT_EQ(failed(), expected);
}
