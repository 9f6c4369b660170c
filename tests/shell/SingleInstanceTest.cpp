#include "QuilloryProcess.h"

#include <SingleInstance.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::startQuillory;
using Outcome = SingleInstance::Outcome;

namespace {

void writeLock(const QString &directory, const QByteArray &contents)
{
    QFile lock(QDir(directory).filePath(SingleInstance::lockFileName));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
    lock.write(contents);
}

// True while some process holds the advisory lock on the file.
bool lockIsHeld(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

// A folder nobody may create files in, root included.
QString unwritableFolder(const QTemporaryDir &dir)
{
    if (::geteuid() == 0)
        return u"/proc/self"_s;
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    return dir.path();
}

} // namespace

TEST(SingleInstance, SecondLaunchAsksTheFirstToComeForward)
{
    QTemporaryDir dir;
    SingleInstance first(dir.path());
    ASSERT_EQ(first.acquire(), Outcome::Acquired);
    QSignalSpy activated(&first, &SingleInstance::activationRequested);

    SingleInstance second(dir.path());
    EXPECT_EQ(second.acquire(), Outcome::AnotherRunning) << "the library is already open";
    EXPECT_TRUE(activated.wait(5000));

    // Another library is another instance.
    QTemporaryDir other;
    SingleInstance elsewhere(other.path());
    EXPECT_EQ(elsewhere.acquire(), Outcome::Acquired);
}

TEST(SingleInstance, ReleasedWhenTheHolderEnds)
{
    QTemporaryDir dir;
    {
        SingleInstance first(dir.path());
        ASSERT_EQ(first.acquire(), Outcome::Acquired);
    }
    SingleInstance next(dir.path());
    EXPECT_EQ(next.acquire(), Outcome::Acquired);
}

TEST(SingleInstance, LockFilesNobodyHoldsAreTakenOver)
{
    const QByteArray ownHost = QSysInfo::machineHostName().toUtf8();
    const struct
    {
        const char *name;
        QByteArray contents;
    } cases[] = {
        {"empty", {}},
        {"garbage", QByteArray("\x01\xff not a lock \0\0", 16)},
        {"another host's", "4242\nanother-machine\nQuillory\n"},
        {"a process id now used by another program",
         QByteArray::number(qint64(::getppid())) + '\n' + ownHost + '\n'},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        writeLock(dir.path(), c.contents);
        SingleInstance instance(dir.path());
        EXPECT_EQ(instance.acquire(), Outcome::Acquired);
        EXPECT_TRUE(instance.holdsLockFile());
    }
}

// A live holder that does not answer may be a Quillory that is stuck saving: taking over
// would put two writers on one library, so the launch stops and says why.
TEST(SingleInstance, LockHeldByAProcessThatDoesNotAnswerIsNotTakenOver)
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(SingleInstance::lockFileName);
    writeLock(dir.path(), "1\n");
    const int squatter = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(::flock(squatter, LOCK_EX | LOCK_NB), 0);
    SingleInstance instance(dir.path());
    instance.setPatience(100);
    EXPECT_EQ(instance.acquire(), Outcome::Unresponsive);
    EXPECT_FALSE(instance.holdsLockFile());
    EXPECT_TRUE(instance.problem().contains(path)) << instance.problem().toStdString();
    ::close(squatter);
    EXPECT_FALSE(lockIsHeld(path));
    EXPECT_EQ(SingleInstance(dir.path()).acquire(), Outcome::Acquired)
        << "once the holder is gone the lock is free again";
}

TEST(SingleInstance, WithoutALockFileTheSocketStillKeepsLaunchesApart)
{
    QTemporaryDir dir;
    const QString folder = unwritableFolder(dir);
    SingleInstance first(folder);
    ASSERT_EQ(first.acquire(), Outcome::Acquired);
    EXPECT_FALSE(first.holdsLockFile());
    SingleInstance second(folder);
    EXPECT_EQ(second.acquire(), Outcome::AnotherRunning);
    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST(SingleInstance, QuilloryStartsOverALockLeftByACrash)
{
    QTemporaryDir home;
    const QString container = home.filePath(u"data/group.nqa.quillory.shared"_s);
    ASSERT_TRUE(QDir().mkpath(container));
    writeLock(container, "garbage left behind");
    QProcess quillory;
    startQuillory(quillory, home.path());
    const QString lock = QDir(container).filePath(SingleInstance::lockFileName);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return lockIsHeld(lock) || quillory.state() == QProcess::NotRunning; }, 15000));
    EXPECT_EQ(quillory.state(), QProcess::Running) << "it must run, not give up silently";
    EXPECT_TRUE(lockIsHeld(lock));
    ::kill(pid_t(quillory.processId()), SIGTERM);
    ASSERT_TRUE(quillory.waitForFinished(15000));
    EXPECT_EQ(quillory.exitCode(), 0);
}
