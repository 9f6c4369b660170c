#include "Eventually.h"
#include "QuilloryProcess.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using quillory::test::eventually;
using quillory::test::sessionEnvironment;

namespace {

// Ends a started program on every path out of the test.
struct Running
{
    QProcess process;
    ~Running()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
};

} // namespace

// On a Wayland desktop Quillory talks to the compositor itself; through XWayland it would be
// blurred on scaled screens and cut off from the desktop's own input methods.
TEST(WaylandLaunch, OpensItsWindowOnAWaylandCompositorWithoutX)
{
    const QString weston = QStandardPaths::findExecutable(u"weston"_s);
    ASSERT_FALSE(weston.isEmpty()) << "weston is not installed (scripts/setup.sh installs it)";
    QTemporaryDir home;
    QProcessEnvironment env = sessionEnvironment(home.path());

    Running compositor;
    compositor.process.setProcessEnvironment(env);
    compositor.process.setProcessChannelMode(QProcess::MergedChannels);
    compositor.process.start(weston,
                             {u"--backend=headless-backend.so"_s, u"--socket=quillory-test"_s,
                              u"--idle-time=0"_s, u"--shell=kiosk-shell.so"_s});
    ASSERT_TRUE(eventually([&] { return QFile::exists(home.filePath(u"quillory-test"_s)); }, 10000))
        << compositor.process.readAll().toStdString();

    // No X display and no platform chosen for it: what a Wayland session gives a program.
    env.remove(u"QT_QPA_PLATFORM"_s);
    env.remove(u"DISPLAY"_s);
    env.insert(u"WAYLAND_DISPLAY"_s, u"quillory-test"_s);
    env.insert(u"XDG_SESSION_TYPE"_s, u"wayland"_s);
    env.insert(u"WAYLAND_DEBUG"_s, u"client"_s); // the protocol it speaks, on standard error
    Running quillory;
    quillory.process.setProcessEnvironment(env);
    quillory.process.start(QStringLiteral(QUILLORY_PATH), {});
    QByteArray protocol;
    const QRegularExpression titled(uR"(xdg_toplevel@\d+\.set_title\("Quillory"\))"_s);
    const QRegularExpression shown(uR"(xdg_surface@\d+\.ack_configure)"_s);
    const bool windowShown = eventually(
        [&] {
            protocol += quillory.process.readAllStandardError();
            const QString text = QString::fromUtf8(protocol);
            return text.contains(titled) && text.contains(shown);
        },
        20000);
    EXPECT_TRUE(windowShown) << "no Wayland window titled Quillory; it said:\n"
                             << protocol.right(3000).toStdString();
    EXPECT_EQ(quillory.process.state(), QProcess::Running);

    quillory.process.terminate();
    ASSERT_TRUE(quillory.process.waitForFinished(10000));
    EXPECT_EQ(quillory.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(quillory.process.exitCode(), 0);
}
