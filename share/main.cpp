#include <share/ShareCommandLine.h>
#include <share/ShareController.h>
#include <share/ShareSheet.h>

#include <inbox/PictureLimits.h>
#include <text/CountedNoun.h>

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <cstdio>

using namespace quillory;

namespace {

std::optional<QByteArray> readStandardInput()
{
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        return QByteArray();
    return ShareCommandLine::readWhole(input);
}

void print(FILE *stream, const QString &text)
{
    const QByteArray line = text.toUtf8() + '\n';
    std::fputs(line.constData(), stream);
}

// The arguments as QCoreApplication::arguments() will give them, before there is one.
QStringList rawArguments(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// Qt would abort, with advice about reinstalling, when it finds no display to open.
bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

int saveWithoutAsking(ShareController &controller)
{
    if (controller.sharedItems().isEmpty()) {
        print(stderr, QStringLiteral("dropslip: nothing to save: no supported content"));
        return 1;
    }
    const int written = controller.save(QString());
    for (const QString &problem : controller.problems())
        print(stderr, QStringLiteral("dropslip: ") + problem);
    print(stdout, QStringLiteral("Saved %1 of %2 to the Quillory inbox.")
                      .arg(QString::number(written),
                           CountedNoun::of(controller.sharedItems().size(), QStringLiteral("item"),
                                           QStringLiteral("items"))));
    return written > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    // Dropslip only reads pictures' headers; should anything of Qt's decode one, libjpeg is
    // held to the same cap as in Quillory.
    PictureLimits::capJpegMemory();

    // Saving at once needs no window: starting without a display is faster, and works in a
    // terminal or a keyboard shortcut's script. Neither does saying there is nothing to do.
    // Read by the parser's own rules, so that "--text --yes" (the text "--yes") still gets
    // the window it needs, or is told why there is none.
    const ShareCommandLine::Options options = ShareCommandLine::optionsIn(rawArguments(argc, argv));
    const bool windowless = argc < 2 || options.yes || options.help || !hasDisplay();
    std::unique_ptr<QCoreApplication> app(windowless ? new QCoreApplication(argc, argv)
                                                     : new QApplication(argc, argv));
    QCoreApplication::setApplicationName(QStringLiteral("Dropslip"));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quillory.Dropslip"));
    if (!windowless) {
        // Outside a desktop that names its icon theme, the sheet's symbols come from Breeze,
        // which Quillory depends on anyway.
        QIcon::setFallbackThemeName(QStringLiteral("breeze"));
        QGuiApplication::setWindowIcon(
            QIcon::fromTheme(QStringLiteral("com.quillory.Quillory"),
                             QIcon(QStringLiteral(":/com.quillory.Quillory.svg"))));
    }

    const ShareCommandLine line =
        ShareCommandLine::parse(QCoreApplication::arguments().mid(1), readStandardInput);
    if (line.help) {
        print(stdout, ShareCommandLine::usage());
        return 0;
    }
    for (const QString &problem : line.problems)
        print(stderr, QStringLiteral("dropslip: ") + problem);
    if (line.attachments.isEmpty() && line.problems.isEmpty()) {
        print(stderr, QStringLiteral("dropslip: nothing to share (see --help)"));
        return 2;
    }

    if (windowless && !line.yes) {
        // A sheet without a QApplication would abort. Besides a missing display, Qt taking an
        // option of its own out of the arguments ("-qmljsdebugger=...") can lead here.
        print(stderr, hasDisplay()
                          ? QStringLiteral("dropslip: the arguments ask both to show the "
                                           "share sheet and not to; see --help")
                          : QStringLiteral("dropslip: there is no display to show the "
                                           "share sheet on; use --yes to save without it"));
        return 2;
    }

    ShareController controller;
    controller.loadSharedItems(line.attachments);
    if (const qsizetype unused = line.attachments.size() - controller.sharedItems().size();
        unused > 0)
        print(stderr, QStringLiteral("dropslip: %1 of the %2 given held nothing to share "
                                     "(text is kept only when it is an address)")
                          .arg(QString::number(unused),
                               CountedNoun::of(line.attachments.size(), QStringLiteral("thing"),
                                               QStringLiteral("things"))));
    if (line.yes)
        return saveWithoutAsking(controller);

    ShareSheet sheet(controller.sharedItems());
    int status = 1;
    QObject::connect(&sheet, &ShareSheet::saveRequested, &controller, [&](const QString &note) {
        status = controller.save(note) > 0 ? 0 : 1;
        for (const QString &problem : controller.problems())
            print(stderr, QStringLiteral("dropslip: ") + problem);
        sheet.accept();
    });
    QObject::connect(&sheet, &ShareSheet::cancelRequested, &controller, &ShareController::cancel);
    QObject::connect(&controller, &ShareController::cancelled, &controller,
                     [](const QString &, int, const QString &description) {
                         print(stderr, QStringLiteral("dropslip: ") + description);
                     });
    sheet.show();
    sheet.exec();
    return status;
}
