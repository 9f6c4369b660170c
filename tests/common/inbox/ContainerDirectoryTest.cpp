#include <ContainerDirectory.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

// Sets environment variables for one test and restores them afterwards.
class ScopedEnv
{
public:
    ScopedEnv(const char *name, const QByteArray &value)
        : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    QByteArray m_old;
    bool m_had;
};

} // namespace

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
}

TEST(ContainerDirectory, NoHomeAndNoXdgDataHomeMeansNoContainer)
{
    ScopedEnv data("XDG_DATA_HOME", QByteArray());
    ScopedEnv home("HOME", QByteArray());
    EXPECT_FALSE(ContainerDirectory::path().has_value());
    EXPECT_FALSE(ContainerDirectory::ensure().has_value());
}

TEST(ContainerDirectory, EnsureCreatesAPrivateDirectory)
{
    QTemporaryDir dir;
    ScopedEnv data("XDG_DATA_HOME", dir.path().toUtf8());
    const auto created = ContainerDirectory::ensure();
    ASSERT_TRUE(created.has_value());
    const QFileInfo info(*created);
    EXPECT_TRUE(info.isDir());
    EXPECT_FALSE(info.permission(QFileDevice::ReadOther));
}
