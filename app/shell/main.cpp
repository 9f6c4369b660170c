#include "AppState.h"

#include <LibraryStore.h>

#include <QApplication>
#include <QMainWindow>
#include <cstdio>

using namespace quillory;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillory"));
    QApplication::setApplicationName(QStringLiteral("Quillory"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillory"));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quillory.Quillory"));

    AppState state;

    QString error;
    const std::unique_ptr<LibraryStore> store = LibraryStore::openDefault(&error);
    if (!store) {
        std::printf("Failed to initialize model container: %s\n", qPrintable(error));
        std::fflush(stdout);
        return 1;
    }
    state.followStore(*store);

    QMainWindow window;
    window.setObjectName(QStringLiteral("main"));
    window.setWindowTitle(QStringLiteral("Quillory"));
    window.resize(1200, 800);
    window.show();

    return app.exec();
}
