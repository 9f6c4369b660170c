#include <inbox/InboxFolder.h>
#include <inbox/InboxLayout.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

TEST(InboxFolder, ALinkInPlaceOfAFolderIsNotOpened)
{
    QTemporaryDir dir;
    const QString elsewhere = dir.filePath(u"elsewhere"_s);
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    ASSERT_TRUE(QFile::link(elsewhere, dir.filePath(u"inbox"_s)));
    EXPECT_FALSE(InboxFolder::open(dir.filePath(u"inbox"_s)).isOpen());
    EXPECT_TRUE(InboxFolder::open(dir.filePath(u"inbox"_s), InboxFolder::Links::Follow).isOpen());

    const InboxFolder top = InboxFolder::open(dir.path());
    ASSERT_TRUE(top.isOpen());
    EXPECT_FALSE(top.folder(u"inbox"_s).isOpen());
    EXPECT_FALSE(top.folder(u"inbox"_s, InboxFolder::Missing::Create).isOpen());
    EXPECT_FALSE(top.folder(u"../x"_s, InboxFolder::Missing::Create).isOpen());
    put(dir.filePath(u"file"_s), "x");
    EXPECT_FALSE(top.folder(u"file"_s, InboxFolder::Missing::Create).isOpen());
    const InboxFolder made = top.folder(u"made"_s, InboxFolder::Missing::Create);
    ASSERT_TRUE(made.isOpen());
    struct stat info = {};
    ASSERT_EQ(::stat(QFile::encodeName(dir.filePath(u"made"_s)).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(QDir(elsewhere).isEmpty());
}

TEST(InboxFolder, LinksAtANameAreNeitherReadNorWrittenThroughNorFollowedToBeDeleted)
{
    QTemporaryDir dir;
    const QString victim = dir.filePath(u"victim.json"_s);
    put(victim, "another program's");
    ASSERT_TRUE(QDir().mkpath(dir.filePath(u"inbox"_s)));
    const InboxFolder inbox = InboxFolder::open(dir.filePath(u"inbox"_s));
    ASSERT_TRUE(inbox.isOpen());
    const QString name = InboxLayout::uniqueName(u".json"_s);
    ASSERT_TRUE(QFile::link(victim, inbox.filePath(name)));

    EXPECT_FALSE(inbox.read(name, 1024));
    EXPECT_FALSE(inbox.isRegularFile(name));
    EXPECT_TRUE(inbox.remove(name));
    EXPECT_EQ(contents(victim), "another program's") << "the link went, not what it points at";

    ASSERT_TRUE(QFile::link(victim, inbox.filePath(name)));
    ASSERT_TRUE(inbox.write(name, "a record"));
    EXPECT_EQ(contents(victim), "another program's");
    EXPECT_EQ(inbox.read(name, 1024), QByteArray("a record")) << "the link was replaced";

    ASSERT_TRUE(QFile::link(victim, inbox.filePath(u"copy"_s)));
    ASSERT_TRUE(inbox.copy(inbox.filePath(name), u"copy"_s));
    EXPECT_EQ(contents(victim), "another program's");
    EXPECT_EQ(inbox.read(u"copy"_s, 1024), QByteArray("a record"));

    // Bounded reads, and no name that leaves the folder.
    EXPECT_FALSE(inbox.read(name, 3));
    EXPECT_FALSE(inbox.read(u"../victim.json"_s, 1024));
    EXPECT_FALSE(inbox.remove(u"../victim.json"_s));
    EXPECT_FALSE(inbox.write(u"../victim.json"_s, "x"));
    EXPECT_EQ(contents(victim), "another program's");
    EXPECT_EQ(QDir(inbox.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2)
        << "no temporary file left";

    const InboxFolder aside = inbox.folder(u"Failed"_s, InboxFolder::Missing::Create);
    ASSERT_TRUE(inbox.move(name, aside, name));
    EXPECT_EQ(aside.read(name, 1024), QByteArray("a record"));
    QStringList names = inbox.names();
    names.sort();
    EXPECT_EQ(names, (QStringList{u"Failed"_s, u"copy"_s}));
}
