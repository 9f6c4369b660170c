#include <shell/StartupFailure.h>

#include <views/widgets/DisplayText.h>

#include <QGuiApplication>
#include <QMessageBox>
#include <cstdio>

namespace quillory {

void StartupFailure::report(const QString &reason, const QString &storePath)
{
    const QByteArray line = message(reason).toUtf8() + '\n';
    std::fputs(line.constData(), stdout);
    std::fflush(stdout);
    if (hasDisplay())
        dialog(reason, storePath)->exec();
}

std::unique_ptr<QMessageBox> StartupFailure::dialog(const QString &reason, const QString &storePath)
{
    auto box = std::make_unique<QMessageBox>(QMessageBox::Critical, QStringLiteral("Quillory"),
                                             QStringLiteral("Quillory cannot open your library."),
                                             QMessageBox::Ok);
    QString details = message(reason);
    if (!storePath.isEmpty())
        details += QStringLiteral("\n\nLibrary file: ") + storePath;
    details += QStringLiteral("\n\nThe file has not been changed.");
    box->setInformativeText(details);
    // The reason and the path come from the system and the disk: never read as markup.
    DisplayText::makePlain(*box);
    return box;
}

bool StartupFailure::hasDisplay()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

} // namespace quillory
