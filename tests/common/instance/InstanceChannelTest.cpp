#include "ScopedEnv.h"
#include <instance/InstanceChannel.h>
#include <instance/InstanceServer.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quillory;
using namespace Qt::StringLiterals;

using quillory::test::ScopedEnv;

namespace {

int modeOf(const QString &path)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777)
                                                                    : -1;
}

constexpr uid_t nobody = 65534;

// Runs `child` in a forked process as the user "nobody"; its exit status. Only calls that are
// safe after fork() in a process with threads may be made there.
template <typename Child> pid_t forkAsNobody(Child child)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setresgid(nobody, nobody, nobody) != 0 || ::setresuid(nobody, nobody, nobody) != 0)
            ::_exit(100);
        ::_exit(child());
    }
    return pid;
}

sockaddr_un addressOf(const QString &path)
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(address.sun_path, name.constData(),
                size_t(qMin(name.size(), qsizetype(sizeof(address.sun_path) - 1))));
    return address;
}

} // namespace

TEST(InstanceChannel, SocketsLiveOnlyInAFolderNoOneElseMayEnter)
{
    QTemporaryDir runtime; // made 0700
    QTemporaryDir temporary;
    QTemporaryDir library;
    ScopedEnv tmpdir("TMPDIR", temporary.path());
    const QString fallback = temporary.filePath(u"quillory-%1"_s.arg(::geteuid()));
    {
        ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.path());
        const auto path = InstanceChannel::socketPath(library.path());
        ASSERT_TRUE(path);
        EXPECT_EQ(QFileInfo(*path).path(), runtime.path());
        EXPECT_FALSE(QFile::exists(fallback));

        // One library is one socket however it is named; another library is another.
        const QString link = runtime.filePath(u"link"_s);
        ASSERT_TRUE(QFile::link(library.path(), link));
        EXPECT_EQ(InstanceChannel::socketPath(link), path);
        QTemporaryDir other;
        EXPECT_NE(InstanceChannel::socketPath(other.path()), path);
    }

    // A runtime folder others may enter, a link, a relative or no value: the private folder of
    // our own in the temporary folder is made instead.
    QTemporaryDir open;
    QFile::setPermissions(open.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                           QFile::ReadOther | QFile::ExeOther);
    const QString runtimeLink = temporary.filePath(u"runtime-link"_s);
    ASSERT_TRUE(QFile::link(runtime.path(), runtimeLink));
    for (const QString &value : {open.path(), runtimeLink, u"relative"_s, QString()}) {
        SCOPED_TRACE(value.toStdString());
        ScopedEnv xdg("XDG_RUNTIME_DIR", value);
        const auto path = InstanceChannel::socketPath(library.path());
        ASSERT_TRUE(path);
        EXPECT_EQ(QFileInfo(*path).path(), fallback);
        EXPECT_EQ(modeOf(fallback), 0700);
    }
    EXPECT_EQ(modeOf(open.path()), 0705) << "left as it was";

    // Something else holding the fallback's name is left alone, and there is no socket.
    ScopedEnv xdg("XDG_RUNTIME_DIR", QString());
    ASSERT_TRUE(QDir(fallback).removeRecursively());
    QTemporaryDir target;
    const struct
    {
        const char *name;
        std::function<void()> make;
    } squatted[] = {
        {"a link to a private folder", [&] { QFile::link(target.path(), fallback); }},
        {"a file",
         [&] {
             QFile file(fallback);
             file.open(QIODevice::WriteOnly);
         }},
        {"a folder others may enter",
         [&] {
             QDir().mkdir(fallback);
             QFile::setPermissions(fallback, QFile::ReadOwner | QFile::WriteOwner |
                                                 QFile::ExeOwner | QFile::ReadOther |
                                                 QFile::WriteOther | QFile::ExeOther);
         }},
    };
    for (const auto &c : squatted) {
        SCOPED_TRACE(c.name);
        c.make();
        const int before = modeOf(fallback);
        EXPECT_FALSE(InstanceChannel::socketPath(library.path()));
        EXPECT_EQ(modeOf(fallback), before);
        EXPECT_TRUE(QDir(target.path()).isEmpty());
        QFile::remove(fallback);
        QDir().rmdir(fallback);
    }
}

TEST(InstanceServer, AnswersActivationOnlyAndDropsWhatIsNoRequest)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"s.socket"_s);
    InstanceServer server;
    ASSERT_TRUE(server.listen(path));
    QSignalSpy activated(&server, &InstanceServer::activationRequested);

    EXPECT_EQ(InstanceChannel::ask(path, InstanceChannel::activate, 2000), InstanceChannel::ok);
    EXPECT_TRUE(activated.wait(2000));

    // Neither a question it does not know nor a line longer than any request is answered;
    // the long one is cut off at once rather than waited on.
    EXPECT_FALSE(InstanceChannel::ask(path, "open everything\n", 2000));
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(InstanceChannel::ask(path, QByteArray(100'000, 'a'), 2000));
    EXPECT_LT(timer.elapsed(), 900);
    QTest::qWait(100);
    EXPECT_EQ(activated.count(), 1);

    // Whatever was left at the path (by a Quillory that crashed) gives way to a new server.
    InstanceServer next;
    EXPECT_TRUE(next.listen(path));
    EXPECT_EQ(InstanceChannel::ask(path, InstanceChannel::activate, 2000), InstanceChannel::ok);
}

// Other users cannot even reach the socket's folder; these reach a socket all may use, to see
// that each end turns away a process of another user by itself. Running as another user takes
// root.
TEST(InstanceServer, APeerOfAnotherUserIsDroppedUnheard)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can start a process as another user";
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther);
    const QString path = dir.filePath(u"s.socket"_s);
    InstanceServer server;
    ASSERT_TRUE(server.listen(path));
    ::chmod(QFile::encodeName(path).constData(), 0777);
    QSignalSpy activated(&server, &InstanceServer::activationRequested);

    const sockaddr_un address = addressOf(path);
    const pid_t child = forkAsNobody([&address] {
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::connect(s, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) != 0)
            return 101;
        // The server may have hung up already; that is no signal to die of.
        (void)!::send(s, "activate\n", 9, MSG_NOSIGNAL);
        char answer[16];
        return ::read(s, answer, sizeof(answer)) <= 0 ? 0 : 103; // closed without a word
    });
    ASSERT_GT(child, 0);
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    QTest::qWait(200);
    EXPECT_EQ(activated.count(), 0);
}

TEST(InstanceChannel, AServerOfAnotherUserIsNotBelieved)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can start a process as another user";
    QTemporaryDir dir;
    const QString path = dir.filePath(u"s.socket"_s);
    const sockaddr_un address = addressOf(path);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    // Bound here, listening as "nobody", answering every line as a Quillory would.
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr *>(&address), sizeof(address)), 0);
    const pid_t child = forkAsNobody([listener, &ready] {
        if (::listen(listener, 8) != 0 || ::write(ready[1], "r", 1) != 1)
            return 101;
        for (;;) {
            const int peer = ::accept(listener, nullptr, nullptr);
            if (peer < 0)
                return 102;
            char request[64];
            if (::read(peer, request, sizeof(request)) > 0)
                (void)!::write(peer, "ok\n", 3);
            ::close(peer);
        }
    });
    ASSERT_GT(child, 0);
    ::close(listener);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);

    EXPECT_FALSE(InstanceChannel::ask(path, InstanceChannel::activate, 2000));
    // It does answer: the same exchange over a plain socket gets its "ok".
    QLocalSocket plain;
    plain.connectToServer(path);
    ASSERT_TRUE(plain.waitForConnected(2000));
    plain.write(InstanceChannel::activate);
    ASSERT_TRUE(plain.waitForReadyRead(2000));
    EXPECT_EQ(plain.readAll(), InstanceChannel::ok);

    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
}
