#include "QuilloryProcess.h"
#include "TestFiles.h"

#include <instance/InstanceChannel.h>
#include <shell/SingleInstance.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::startQuillory;
using quillory::test::writeTestFile;
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

QString socketOf(const QString &library)
{
    const auto path = InstanceChannel::socketPath(library);
    EXPECT_TRUE(path);
    return path.value_or(QString());
}

// A process of this user's that listens at the library's socket and never says a word; the
// system accepts connections for it all the same.
class Squatter final
{
public:
    explicit Squatter(const QString &path) : m_fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        qstrncpy(address.sun_path, name.constData(), sizeof(address.sun_path));
        ::unlink(name.constData());
        m_listening =
            ::bind(m_fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) == 0 &&
            ::listen(m_fd, 64) == 0;
    }
    ~Squatter() { ::close(m_fd); }
    Squatter(const Squatter &) = delete;
    Squatter &operator=(const Squatter &) = delete;
    bool isListening() const { return m_listening; }

private:
    int m_fd;
    bool m_listening = false;
};

// `count` connections to `socket` that never say a word; as many as could be made.
std::vector<std::unique_ptr<QLocalSocket>> idlePeers(const QString &socket, int count)
{
    std::vector<std::unique_ptr<QLocalSocket>> peers;
    for (int i = 0; i < count; ++i) {
        auto peer = std::make_unique<QLocalSocket>();
        peer->connectToServer(socket);
        if (!peer->waitForConnected(2000))
            break;
        peers.push_back(std::move(peer));
    }
    return peers;
}

// The library's folder in a fresh session of `home`, made.
QString containerIn(const QTemporaryDir &home)
{
    const QString container = home.filePath(u"data/group.nqa.quillory.shared"_s);
    EXPECT_TRUE(QDir().mkpath(container));
    return container;
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
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

    // Another library is another instance, and a library whose holder ended is free again.
    QTemporaryDir other;
    EXPECT_EQ(SingleInstance(other.path()).acquire(), Outcome::Acquired);
    EXPECT_EQ(SingleInstance(other.path()).acquire(), Outcome::Acquired);
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
    const int holder = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    // Nobody at the socket, then a listener that never answers: still nobody that answers.
    for (const bool squatted : {false, true}) {
        SCOPED_TRACE(squatted);
        std::optional<Squatter> squatter;
        if (squatted) {
            ASSERT_TRUE(squatter.emplace(socketOf(dir.path())).isListening());
        }
        SingleInstance instance(dir.path());
        instance.setPatience(squatted ? 300 : 100);
        EXPECT_EQ(instance.acquire(), Outcome::Unresponsive);
        EXPECT_FALSE(instance.holdsLockFile());
        EXPECT_TRUE(instance.problem().contains(path)) << instance.problem().toStdString();
    }
    ::close(holder);
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

// Connections that never say anything (a stuck or hostile program of this user's) neither
// hold a second launch back nor pile up.
TEST(SingleInstance, IdlePeersAreDroppedAndDoNotKeepALaunchUnanswered)
{
    QTemporaryDir dir;
    SingleInstance first(dir.path());
    ASSERT_EQ(first.acquire(), Outcome::Acquired);
    QSignalSpy activated(&first, &SingleInstance::activationRequested);
    const QString socket = socketOf(dir.path());

    QLocalSocket idle;
    idle.connectToServer(socket);
    ASSERT_TRUE(idle.waitForConnected(2000));
    QElapsedTimer connected;
    connected.start();
    SingleInstance second(dir.path());
    EXPECT_EQ(second.acquire(), Outcome::AnotherRunning);
    EXPECT_LT(connected.elapsed(), 800) << "answered without waiting for the idle peer";
    EXPECT_TRUE(idle.state() == QLocalSocket::UnconnectedState || idle.waitForDisconnected(3000));
    EXPECT_GT(connected.elapsed(), 700);
    EXPECT_LT(connected.elapsed(), 2000) << "dropped after about a second";
    EXPECT_TRUE(activated.wait(2000));

    const auto crowd = idlePeers(socket, 50);
    ASSERT_EQ(crowd.size(), 50u);
    SingleInstance third(dir.path());
    EXPECT_EQ(third.acquire(), Outcome::AnotherRunning);
    EXPECT_TRUE(activated.wait(2000));
    // The crowd is let go of, not kept open.
    for (const auto &peer : crowd)
        EXPECT_TRUE(peer->state() == QLocalSocket::UnconnectedState ||
                    peer->waitForDisconnected(3000));
}

// Anything of this user's can listen at the socket's name; only a Quillory's answer counts.
TEST(SingleInstance, AListenerThatNeverAnswersIsNotTakenForQuillory)
{
    // Nobody holds the lock: the squatter's place is taken over.
    QTemporaryDir dir;
    Squatter squatter(socketOf(dir.path()));
    ASSERT_TRUE(squatter.isListening());
    SingleInstance first(dir.path());
    ASSERT_EQ(first.acquire(), Outcome::Acquired);
    EXPECT_EQ(SingleInstance(dir.path()).acquire(), Outcome::AnotherRunning)
        << "the launch after is answered by the real one";
}

// The lock's name may hold anything; nothing is ever written through it.
TEST(SingleInstance, ALockFileThatIsNotAPlainFileIsLeftAloneAndSaidSo)
{
    QTemporaryDir dir;
    const QString lock = QDir(dir.path()).filePath(SingleInstance::lockFileName);
    const QString victim = dir.filePath(u"victim.txt"_s);
    const auto makeVictim = [&] { writeTestFile(dir, u"victim.txt"_s, "precious\n"); };
    const struct
    {
        const char *name;
        std::function<void()> make;
    } cases[] = {
        {"a link to another file", [&] { QFile::link(victim, lock); }},
        {"a link to nothing", [&] { QFile::link(dir.filePath(u"nowhere"_s), lock); }},
        {"a named pipe", [&] { ::mkfifo(QFile::encodeName(lock).constData(), 0600); }},
        {"a folder", [&] { QDir().mkdir(lock); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        makeVictim();
        c.make();
        SingleInstance instance(dir.path());
        instance.setPatience(100);
        EXPECT_EQ(instance.acquire(), Outcome::Refused);
        EXPECT_FALSE(instance.holdsLockFile());
        EXPECT_TRUE(instance.problem().contains(lock)) << instance.problem().toStdString();
        EXPECT_EQ(contentsOf(victim), "precious\n");
        EXPECT_FALSE(QFile::exists(dir.filePath(u"nowhere"_s)));
        QFile::remove(lock);
        QDir().rmdir(lock);
    }

    // A second name of another file is locked but never rewritten.
    makeVictim();
    ASSERT_EQ(::link(QFile::encodeName(victim).constData(), QFile::encodeName(lock).constData()),
              0);
    SingleInstance instance(dir.path());
    EXPECT_EQ(instance.acquire(), Outcome::Acquired);
    EXPECT_EQ(contentsOf(victim), "precious\n");
}

TEST(SingleInstance, QuilloryRefusesToStartOverALinkedLock)
{
    QTemporaryDir home;
    const QString container = containerIn(home);
    const QString victim = writeTestFile(home, u"victim.txt"_s, "precious\n");
    ASSERT_TRUE(QFile::link(victim, QDir(container).filePath(SingleInstance::lockFileName)));
    QProcess quillory;
    startQuillory(quillory, home.path());
    ASSERT_TRUE(quillory.waitForFinished(15000));
    EXPECT_EQ(quillory.exitCode(), 1);
    const QByteArray said = quillory.readAllStandardOutput();
    EXPECT_TRUE(said.contains("is not a plain file")) << said.constData();
    EXPECT_EQ(contentsOf(victim), "precious\n");
    EXPECT_FALSE(QFile::exists(container + u"/default.store"_s)) << "the library was not opened";
}

// The real program, started over a lock a crash left behind, then with idle peers at its
// socket: a second launch is answered and leaves.
TEST(SingleInstance, QuilloryStartsOverACrashsLockAndAnswersDespiteIdlePeers)
{
    QTemporaryDir home;
    const QString container = containerIn(home);
    writeLock(container, "garbage left behind");
    QProcess first;
    startQuillory(first, home.path());
    const QString lock = QDir(container).filePath(SingleInstance::lockFileName);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return lockIsHeld(lock) || first.state() == QProcess::NotRunning; }, 15000));
    ASSERT_EQ(first.state(), QProcess::Running) << "it must run, not give up silently";
    // Its socket, found as the program finds it (in the same runtime folder).
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.path()));
    const QString socket = socketOf(container);
    qputenv("XDG_RUNTIME_DIR", runtime);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(socket); }, 15000));
    const auto idle = idlePeers(socket, 20);
    ASSERT_EQ(idle.size(), 20u);
    QProcess second;
    QElapsedTimer timer;
    timer.start();
    startQuillory(second, home.path());
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardOutput().constData();
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_EQ(first.state(), QProcess::Running);
    ::kill(pid_t(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(15000));
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(socket)) << "the socket goes with the program";
}
