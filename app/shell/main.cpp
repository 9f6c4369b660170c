#include <shell/QuilloryApp.h>
#include <shell/QuitSignals.h>
#include <shell/SingleInstance.h>
#include <shell/StartupFailure.h>

#include <inbox/ContainerDirectory.h>
#include <inbox/PictureLimits.h>
#include <model/LibraryStore.h>
#include <views/widgets/SymbolIcon.h>

#include <QApplication>
#include <QIcon>

using namespace quillory;

int main(int argc, char *argv[])
{
    PictureLimits::capJpegMemory();
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillory"));
    QApplication::setApplicationName(QStringLiteral("Quillory"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillory"));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quillory.Quillory"));
    // The installed icon when the theme has it, else the copy built in (an uninstalled build).
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("com.quillory.Quillory"),
                         QIcon(QStringLiteral(":/com.quillory.Quillory.svg"))));
    SymbolIcon::installThemeFallback();
    // From here on a termination request waits for the event loop, which saves first. Until
    // there is a library to save, it just ends the process (a start-up dialog included).
    QuitSignals quitSignals;
    const auto beforeLibrary = QObject::connect(&quitSignals, &QuitSignals::received, &app,
                                                [](int) { QCoreApplication::exit(1); });

    // One process per library: a second launch brings the running window forward instead.
    const auto container = ContainerDirectory::ensure();
    std::unique_ptr<SingleInstance> instance;
    if (container) {
        instance = std::make_unique<SingleInstance>(*container);
        switch (instance->acquire()) {
        case SingleInstance::Outcome::Acquired:
            break;
        case SingleInstance::Outcome::AnotherRunning:
            return 0;
        case SingleInstance::Outcome::Unresponsive:
        case SingleInstance::Outcome::Refused:
            StartupFailure::report(instance->problem(),
                                   LibraryStore::defaultPath().value_or(QString()));
            return 1;
        }
    }

    QString error;
    auto quillory = QuilloryApp::create(LibraryStore::openDefault(&error));
    if (!quillory) {
        StartupFailure::report(error, LibraryStore::defaultPath().value_or(QString()));
        return 1;
    }
    if (instance)
        QObject::connect(instance.get(), &SingleInstance::activationRequested, quillory.get(),
                         &QuilloryApp::showMainWindow);
    QObject::disconnect(beforeLibrary);
    QObject::connect(&quitSignals, &QuitSignals::received, quillory.get(),
                     &QuilloryApp::quitForSignal);
    quillory->start();
    return app.exec();
}
