#include <PrivateBus.h>
#include <platform/LinuxFileRevealer.h>

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::PrivateBus;

namespace {

// Stands in for a file manager on the bus and records what it was asked to show.
class FileManager final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QStringList shown;

public slots:
    void ShowItems(const QStringList &uris, const QString &) { shown << uris; }
};

// Catches what would have been opened in the desktop's default application.
class OpenedUrls final : public QObject
{
    Q_OBJECT

public:
    OpenedUrls() { QDesktopServices::setUrlHandler(u"file"_s, this, "open"); }
    ~OpenedUrls() override { QDesktopServices::unsetUrlHandler(u"file"_s); }
    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls << url; }
};

} // namespace

TEST(LinuxFileRevealer, AsksTheFileManagerWithoutWaitingForIt)
{
    PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon (package dbus-daemon) is needed";
    QDBusConnection service = bus.connect(u"file-manager"_s);
    FileManager manager;
    ASSERT_TRUE(service.registerObject(u"/org/freedesktop/FileManager1"_s, &manager,
                                       QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(service.registerService(u"org.freedesktop.FileManager1"_s));
    OpenedUrls opened;

    LinuxFileRevealer revealer(bus.connect(u"quillory"_s));
    revealer.reveal(u"/home/me/Documents/report.pdf"_s);
    // The file manager answers in this very thread, so a call that waited for it would have
    // timed out before returning, and fallen back to opening the folder.
    EXPECT_TRUE(manager.shown.isEmpty());
    EXPECT_TRUE(opened.urls.isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !manager.shown.isEmpty(); }, 5000));
    EXPECT_EQ(manager.shown, QStringList{u"file:///home/me/Documents/report.pdf"_s});
    QTest::qWait(100);
    EXPECT_TRUE(opened.urls.isEmpty());
}

TEST(LinuxFileRevealer, OpensTheFolderWhenNoFileManagerAnswers)
{
    PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon (package dbus-daemon) is needed";
    OpenedUrls opened;
    LinuxFileRevealer revealer(bus.connect(u"quillory"_s));
    revealer.reveal(u"/home/me/Documents/report.pdf"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !opened.urls.isEmpty(); }, 5000));
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl::fromLocalFile(u"/home/me/Documents"_s)});

    // No bus at all: straight to the folder.
    opened.urls.clear();
    LinuxFileRevealer offline(QDBusConnection(u"never-connected"_s));
    offline.reveal(u"/srv/shared/notes.txt"_s);
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl::fromLocalFile(u"/srv/shared"_s)});
}

#include "FileRevealerTest.moc"
