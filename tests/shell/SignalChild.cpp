// A Quillory that adds one item and then waits to be told to stop, for the test that a
// termination signal saves before the process ends.
#include <intake/ItemIntake.h>
#include <model/LibraryStore.h>
#include <shell/QuilloryApp.h>
#include <shell/QuitSignals.h>

#include <QApplication>
#include <QUrl>
#include <cstdio>

using namespace quillory;
using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QuitSignals quitSignals;
    QString error;
    auto quillory =
        QuilloryApp::create(LibraryStore::open(QString::fromLocal8Bit(argv[1]), &error));
    if (!quillory)
        return 2;
    QObject::connect(&quitSignals, &QuitSignals::received, quillory.get(),
                     &QuilloryApp::quitForSignal);
    quillory->store().setAutosaveDelay(600000); // only the signal's save can write the item
    quillory->start();
    quillory->intake().createFileItem(QUrl::fromLocalFile(u"/tmp/notes.pdf"_s));
    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}
