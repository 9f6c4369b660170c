#ifdef QUILLORY_WIDGET_TESTS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Every test process gets a throw-away HOME and XDG directories, so settings and stores
// written by tests never reach the developer's own, and no session bus: a test that needs one
// starts its own, so nothing a test sends reaches a running Quillory on the desktop.
int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
