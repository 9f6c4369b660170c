#include "QuilloryApp.h"
#include "SingleInstance.h"

#include <ContainerDirectory.h>

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

    // One process per library: a second launch brings the running window forward instead.
    const auto container = ContainerDirectory::ensure();
    std::unique_ptr<SingleInstance> instance;
    if (container) {
        instance = std::make_unique<SingleInstance>(*container);
        if (!instance->acquire())
            return 0;
    }

    QString error;
    auto quillory = QuilloryApp::create(LibraryStore::openDefault(&error));
    if (!quillory) {
        std::printf("%s%s\n", qPrintable(QuilloryApp::failurePrefix), qPrintable(error));
        std::fflush(stdout);
        return 1;
    }
    if (instance)
        QObject::connect(instance.get(), &SingleInstance::activationRequested, quillory.get(),
                         &QuilloryApp::showMainWindow);
    quillory->start();
    return app.exec();
}
