#include "ScopedEnv.h"
#include <inbox/ContainerDirectory.h>
#include <inbox/InboxFolder.h>
#include <inbox/InboxLayout.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillory;
using namespace Qt::StringLiterals;

using quillory::test::ScopedEnv;

TEST(ContainerDirectory, FollowsXdgDataHomeThenHome)
{
    {
        ScopedEnv data("XDG_DATA_HOME", "/srv/data");
        EXPECT_EQ(ContainerDirectory::path(), u"/srv/data/group.nqa.quillory.shared"_s);
    }
    {
        ScopedEnv data("XDG_DATA_HOME", QByteArray());
        ScopedEnv home("HOME", "/home/ada");
        EXPECT_EQ(ContainerDirectory::path(),
                  u"/home/ada/.local/share/group.nqa.quillory.shared"_s);
    }
    {
        // A relative XDG_DATA_HOME is invalid and ignored.
        ScopedEnv data("XDG_DATA_HOME", "relative/data");
        ScopedEnv home("HOME", "/home/ada");
        EXPECT_EQ(ContainerDirectory::path(),
                  u"/home/ada/.local/share/group.nqa.quillory.shared"_s);
    }
    // Neither: no container at all.
    ScopedEnv data("XDG_DATA_HOME", QByteArray());
    ScopedEnv home("HOME", QByteArray());
    EXPECT_FALSE(ContainerDirectory::path().has_value());
    EXPECT_FALSE(ContainerDirectory::ensure().has_value());
}

TEST(ContainerDirectory, IsMadePrivateAndALinkIsNotOpened)
{
    QTemporaryDir dir;
    ScopedEnv data("XDG_DATA_HOME", dir.path().toUtf8());
    const QString container = *ContainerDirectory::path();
    const auto mode = [&container] {
        struct stat info = {};
        EXPECT_EQ(::stat(QFile::encodeName(container).constData(), &info), 0);
        return info.st_mode & 0777;
    };
    ASSERT_TRUE(ContainerDirectory::ensure());
    EXPECT_EQ(mode(), 0700u) << "made so";
    // One others can reach is made private.
    ASSERT_EQ(::chmod(QFile::encodeName(container).constData(), 0755), 0);
    EXPECT_TRUE(ContainerDirectory::open().isOpen());
    EXPECT_EQ(mode(), 0700u);
    ASSERT_EQ(::chmod(QFile::encodeName(container).constData(), 0775), 0);
    EXPECT_TRUE(ContainerDirectory::ensure());
    EXPECT_EQ(mode(), 0700u) << "at Quillory's start too";

    // A link in the container's place is another folder: the inbox is not made in it.
    const QString real = dir.filePath(u"elsewhere"_s);
    ASSERT_TRUE(QDir().rename(container, real));
    ASSERT_TRUE(QFile::link(real, container));
    ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0755), 0);
    EXPECT_FALSE(ContainerDirectory::open().isOpen());
    EXPECT_FALSE(InboxLayout::openInbox().isOpen());
    EXPECT_FALSE(QFileInfo::exists(real + u"/PendingItems"_s));
    struct stat info = {};
    ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0755u) << "the folder it points at is left as it is";
}

TEST(ContainerDirectory, AnotherUsersContainerIsNotOpened)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a folder to another user";
    QTemporaryDir dir;
    ScopedEnv data("XDG_DATA_HOME", dir.path().toUtf8());
    const QString container = *ContainerDirectory::ensure();
    ASSERT_EQ(::chown(QFile::encodeName(container).constData(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(container).constData(), 0777), 0);
    EXPECT_FALSE(ContainerDirectory::open().isOpen());
    EXPECT_FALSE(InboxLayout::openInbox().isOpen());
    EXPECT_FALSE(QFileInfo::exists(container + u"/PendingItems"_s));
}
