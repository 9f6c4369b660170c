// Dropslip and Quillory as separate, real programs, talking only through the inbox and the
// session bus, as they do on a desktop.
#include <PrivateBus.h>
#include <QuilloryProcess.h>
#include <TestFiles.h>
#include <TestHttpServer.h>
#include <TestPictures.h>
#include <inbox/PendingItemRecord.h>
#include <model/Item.h>
#include <model/LibraryStore.h>
#include <model/SqliteDatabase.h>
#include <model/SqliteStatement.h>
#include <platform/DBusNewItemsListener.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quillory;
using namespace quillory::test;
using namespace Qt::StringLiterals;

namespace {

class ShareEndToEndTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        m_server.route(u"/article"_s,
                       TestHttpServer::Response::html("<title>From the article</title>"));
        ASSERT_TRUE(m_server.isListening());
    }

    void TearDown() override
    {
        if (m_quillory.state() != QProcess::NotRunning) {
            ::kill(pid_t(m_quillory.processId()), SIGKILL);
            m_quillory.waitForFinished(5000);
        }
    }

    QString container() const { return m_home.filePath(u"data/group.nqa.quillory.shared"_s); }
    QString inbox() const { return container() + u"/PendingItems"_s; }
    QStringList records() const { return QDir(inbox()).entryList({u"*.json"_s}, QDir::Files); }
    // The records waiting in the inbox, as Quillory reads them.
    QList<PendingItemRecord> readRecords() const
    {
        QList<PendingItemRecord> read;
        for (const QString &name : records()) {
            QFile file(inbox() + u'/' + name);
            const auto record = file.open(QIODevice::ReadOnly)
                                    ? PendingItemRecord::fromJson(file.readAll())
                                    : std::nullopt;
            EXPECT_TRUE(record) << name.toStdString();
            if (record)
                read << *record;
        }
        return read;
    }

    // Starts dropslip with `arguments` and `input` on its standard input, in a session of
    // `home` without a display when `withDisplay` is false.
    void startDropslip(QProcess &dropslip, const QStringList &arguments, bool withDisplay = true,
                       const QByteArray &input = {},
                       QProcessEnvironment env = QProcessEnvironment())
    {
        if (env.isEmpty())
            env = sessionEnvironment(m_home.path());
        if (!withDisplay)
            env.remove(u"QT_QPA_PLATFORM"_s);
        dropslip.setProcessEnvironment(env);
        dropslip.start(QStringLiteral(DROPSLIP_PATH), arguments);
        EXPECT_TRUE(dropslip.waitForStarted(5000));
        dropslip.write(input);
        dropslip.closeWriteChannel();
    }

    // Runs dropslip to its end; its standard output.
    QString share(const QStringList &arguments, const QString &busAddress)
    {
        QProcess dropslip;
        startDropslip(dropslip, arguments, true, {}, sessionEnvironment(m_home.path(), busAddress));
        EXPECT_TRUE(dropslip.waitForFinished(20000));
        EXPECT_EQ(dropslip.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(dropslip.exitCode(), 0) << dropslip.readAllStandardError().toStdString();
        return QString::fromUtf8(dropslip.readAllStandardOutput());
    }

    void startQuilloryOn(const QString &busAddress)
    {
        startQuillory(m_quillory, m_home.path(), busAddress);
        ASSERT_TRUE(m_quillory.waitForStarted(10000));
        // Running once the store exists and the inbox is watched (made at start-up).
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return QFile::exists(container() + u"/default.store"_s) && QDir(inbox()).exists();
            },
            20000));
        QTest::qWait(500);
    }

    // Reads a title from the store file while Quillory has it open (it writes ahead to its
    // log, which another reader sees).
    bool storeHasItemTitled(const QString &title) const
    {
        SqliteDatabase db;
        if (!db.open(container() + u"/default.store"_s, SqliteDatabase::Mode::ReadOnly, nullptr))
            return false;
        SqliteStatement count = db.prepare("SELECT count(*) FROM items WHERE title = ?");
        count.bind(1, title);
        return count.step() && count.int64(0) > 0;
    }

    // Ends Quillory as the session does at log-out, which saves, then opens its library.
    std::unique_ptr<LibraryStore> stopQuilloryAndOpenLibrary()
    {
        ::kill(pid_t(m_quillory.processId()), SIGTERM);
        EXPECT_TRUE(m_quillory.waitForFinished(15000));
        EXPECT_EQ(m_quillory.exitCode(), 0);
        QString error;
        auto store = LibraryStore::open(container() + u"/default.store"_s, &error);
        EXPECT_TRUE(store) << error.toStdString();
        return store;
    }

    QTemporaryDir m_home;
    TestHttpServer m_server;
    QProcess m_quillory;
};

const Item *itemOfType(const LibraryStore &store, ItemType type)
{
    for (const Item *item : store.items()) {
        if (item->type() == type)
            return item;
    }
    return nullptr;
}

} // namespace

TEST_F(ShareEndToEndTest, ALinkAPdfAPictureAndTextReachARunningQuilloryOverTheBus)
{
    PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon (package dbus-daemon) is needed";
    DBusNewItemsListener listener(bus.connect(u"listener"_s));
    ASSERT_TRUE(listener.isListening());
    QSignalSpy rung(&listener, &NewItemsListener::newItems);

    const QString pdf = writeTestFile(m_home, u"Report.final.pdf"_s, "%PDF-1.4\n%%EOF\n");
    const QString picture = writeTestFile(
        m_home, u"cat.png"_s, TestPictures::encoded(TestPictures::twoTone(120, 90), "png"));
    const QString link = m_server.url(u"/article"_s).toString();
    const QString output =
        share({u"--yes"_s, link, pdf, picture, u"--text"_s, u"https://example.org/read-later"_s,
               u"--text"_s, u"just some words"_s},
              bus.address());
    EXPECT_TRUE(output.contains(u"Saved 4 of 4 items"_s)) << output.toStdString();
    ASSERT_TRUE(rung.wait(5000)) << "the new-items signal was sent";
    QTest::qWait(200);
    EXPECT_EQ(rung.count(), 1) << "once for the whole share";

    // One record per item (what each holds is pinned by SharedRecordsTest), nothing half-written.
    ASSERT_EQ(records().size(), 4);
    QStringList kinds;
    for (const PendingItemRecord &record : readRecords())
        kinds << record.type + u':' + record.title;
    kinds.sort();
    EXPECT_EQ(kinds, (QStringList{u"document:Report.final"_s, u"image:cat"_s,
                                  u"web_link:127.0.0.1"_s, u"web_link:example.org"_s}));
    EXPECT_EQ(QDir(inbox()).entryList(QDir::Files).size(), 4);

    // Quillory, started after the share, imports what waited for it.
    startQuilloryOn(bus.address());
    ASSERT_TRUE(QTest::qWaitFor([&] { return records().isEmpty(); }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return storeHasItemTitled(u"From the article"_s); }, 20000))
        << "the link is enriched from its page";

    // While it runs, the next share arrives by the bus signal (and the watch).
    share({u"--yes"_s, u"https://example.org/second"_s}, bus.address());
    ASSERT_TRUE(QTest::qWaitFor([&] { return records().isEmpty(); }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return storeHasItemTitled(u"example.org"_s); }, 20000));

    const auto store = stopQuilloryAndOpenLibrary();
    ASSERT_TRUE(store);
    EXPECT_EQ(store->items().size(), 5u);
    const Item *documentItem = itemOfType(*store, ItemType::Document);
    ASSERT_NE(documentItem, nullptr);
    EXPECT_TRUE(documentItem->url().isLocalFile());
    EXPECT_TRUE(QFile::exists(documentItem->url().toLocalFile())) << "shared files stay";
    const Item *imageItem = itemOfType(*store, ItemType::Image);
    ASSERT_NE(imageItem, nullptr);
    EXPECT_TRUE(imageItem->hasImageData());
    EXPECT_TRUE(imageItem->hasThumbnailData());
}

TEST_F(ShareEndToEndTest, WithoutASessionBusTheInboxWatchStillBringsSharesIn)
{
    startQuilloryOn(QString());
    const QString output = share({u"--yes"_s, m_server.url(u"/article"_s).toString()}, QString());
    EXPECT_TRUE(output.contains(u"Saved 1 of 1 item"_s)) << output.toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return records().isEmpty(); }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return storeHasItemTitled(u"From the article"_s); }, 20000));
    const auto store = stopQuilloryAndOpenLibrary();
    ASSERT_TRUE(store);
    ASSERT_EQ(store->items().size(), 1u);
    EXPECT_EQ(store->items().front()->url(), m_server.url(u"/article"_s));
}

// What Dropslip says when it is given nothing it can share; none of it writes a record.
TEST_F(ShareEndToEndTest, DropslipSaysWhyItDidNothing)
{
    QDir().mkpath(m_home.filePath(u"folder"_s));
    const QString fifo = m_home.filePath(u"fifo"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QByteArray noise(4096, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + 13) % 251);
    const struct
    {
        const char *name;
        QStringList arguments;
        QByteArray input;
        bool withDisplay;
        QString says;
    } cases[] = {
        {"no arguments", {}, {}, true, u"nothing to share"_s},
        {"a missing file", {u"--yes"_s, m_home.filePath(u"gone"_s)}, {}, true, u"no such file"_s},
        {"a folder", {u"--yes"_s, m_home.filePath(u"folder"_s)}, {}, true, u"folder"_s},
        {"an endless device", {u"--yes"_s, u"/dev/zero"_s}, {}, true, u"not a regular file"_s},
        {"a named pipe", {u"--yes"_s, fifo}, {}, true, u"not a regular file"_s},
        {"binary noise on standard input", {u"--yes"_s, u"-"_s}, noise, true, u"nothing to save"_s},
        {"a sheet without a display", {u"https://example.org/a"_s}, {}, false, u"no display"_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QProcess dropslip;
        startDropslip(dropslip, c.arguments, c.withDisplay, c.input);
        ASSERT_TRUE(dropslip.waitForFinished(10000)) << "it must not hang";
        EXPECT_EQ(dropslip.exitStatus(), QProcess::NormalExit);
        EXPECT_NE(dropslip.exitCode(), 0);
        const QString said = QString::fromUtf8(dropslip.readAllStandardError());
        EXPECT_TRUE(said.contains(c.says)) << said.toStdString();
        EXPECT_TRUE(records().isEmpty());
    }
}

// An option right after --text is that text, as QCommandLineParser reads it: the program says
// so, shows the sheet or explains why it cannot, and never aborts or drops a link given with it.
TEST_F(ShareEndToEndTest, AnOptionAfterTextIsTheTextAndNeverCostsTheLink)
{
    const QString link = u"https://example.org/kept"_s;

    // Without a display the sheet cannot be shown, and the program says why.
    for (const QString &option : {u"--yes"_s, u"-y"_s, u"-h"_s, u"--help"_s}) {
        SCOPED_TRACE(option.toStdString());
        QProcess dropslip;
        startDropslip(dropslip, {u"--text"_s, option, link}, false);
        ASSERT_TRUE(dropslip.waitForFinished(10000));
        EXPECT_EQ(dropslip.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(dropslip.exitCode(), 2);
        const QString said = QString::fromUtf8(dropslip.readAllStandardError());
        EXPECT_TRUE(
            said.contains(u"--text "_s + option + u": "_s + option + u" was taken as the text"_s))
            << said.toStdString();
        EXPECT_TRUE(said.contains(u"no display"_s)) << said.toStdString();
        EXPECT_TRUE(records().isEmpty());
    }

    // With one, the sheet comes up holding the link, and waits.
    {
        QProcess dropslip;
        startDropslip(dropslip, {u"--text"_s, u"--yes"_s, link});
        QByteArray said;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return (said += dropslip.readAllStandardError()).contains("held nothing"); },
            10000))
            << said.constData();
        EXPECT_FALSE(dropslip.waitForFinished(1500)) << "the sheet waits for Save or Cancel";
        EXPECT_EQ(dropslip.state(), QProcess::Running) << dropslip.exitCode();
        dropslip.kill();
        dropslip.waitForFinished(5000);
        EXPECT_TRUE(records().isEmpty());
    }

    // --yes given apart from --text saves the link.
    for (const QStringList &arguments : {QStringList{u"--yes"_s, u"--text"_s, u"--yes"_s, link},
                                         QStringList{u"--text"_s, u"-h"_s, link, u"-y"_s}}) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        QProcess dropslip;
        startDropslip(dropslip, arguments);
        ASSERT_TRUE(dropslip.waitForFinished(20000));
        EXPECT_EQ(dropslip.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(dropslip.exitCode(), 0) << dropslip.readAllStandardError().constData();
        EXPECT_TRUE(dropslip.readAllStandardOutput().contains("Saved 1 of 1 item"));
        const QList<PendingItemRecord> saved = readRecords();
        ASSERT_EQ(saved.size(), 1);
        EXPECT_EQ(saved.first().url, link);
        QFile::remove(inbox() + u'/' + records().first());
    }
}

// Where the shared MIME database is out of reach (a session whose XDG_DATA_DIRS leaves out
// /usr/share), links, text and standard input are still told apart: Dropslip types them itself.
TEST_F(ShareEndToEndTest, WithoutTheMimeDatabaseEachKindIsStillSaved)
{
    const QString pdf = writeTestFile(m_home, u"Report.pdf"_s, "%PDF-1.4\n");
    QDir().mkpath(m_home.filePath(u"no-data"_s));
    QProcessEnvironment env = sessionEnvironment(m_home.path());
    env.insert(u"XDG_DATA_DIRS"_s, m_home.filePath(u"no-data"_s));
    QProcess dropslip;
    startDropslip(dropslip,
                  {u"--yes"_s, u"https://example.org/a"_s, u"--text"_s, u"https://vimeo.com/1"_s,
                   pdf, u"-"_s},
                  true, TestPictures::encoded(TestPictures::twoTone(8, 6), "png"), env);
    ASSERT_TRUE(dropslip.waitForFinished(20000));
    EXPECT_EQ(dropslip.exitCode(), 0) << dropslip.readAllStandardError().constData();

    QMap<QString, PendingItemRecord> saved;
    for (const PendingItemRecord &record : readRecords())
        saved.insert(record.type, record);
    EXPECT_EQ(saved.keys(), (QStringList{u"document"_s, u"image"_s, u"video"_s, u"web_link"_s}));
    EXPECT_EQ(saved[u"web_link"_s].url, u"https://example.org/a"_s);
    EXPECT_EQ(saved[u"video"_s].url, u"https://vimeo.com/1"_s);
    EXPECT_TRUE(saved[u"document"_s].filePath.value_or(QString()).endsWith(u"_Report.pdf"_s));
    EXPECT_TRUE(saved[u"image"_s].imageFileName);
}
