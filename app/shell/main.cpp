#include "QuilloryApp.h"

#include <LibraryStore.h>
#include <SymbolIcon.h>

#include <QApplication>
#include <cstdio>

using namespace quillory;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillory"));
    QApplication::setApplicationName(QStringLiteral("Quillory"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillory"));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quillory.Quillory"));
    SymbolIcon::installThemeFallback();

    QString error;
    auto quillory = QuilloryApp::create(LibraryStore::openDefault(&error));
    if (!quillory) {
        std::printf("%s%s\n", qPrintable(QuilloryApp::failurePrefix), qPrintable(error));
        std::fflush(stdout);
        return 1;
    }
    quillory->start();
    return app.exec();
}
