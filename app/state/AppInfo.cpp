#include <state/AppInfo.h>

#include <model/NamedColor.h>
#include <util/BuildInfo.h>

namespace quillory {

QString AppInfo::appVersion()
{
    return BuildInfo::appVersion();
}

QString AppInfo::buildNumber()
{
    static const QString build = [] {
        const QString b = QStringLiteral(QUILLORY_BUILD_NUMBER);
        return b.isEmpty() ? QStringLiteral("1") : b;
    }();
    return build;
}

QString AppInfo::versionText()
{
    return appVersion() + QStringLiteral(" (") + buildNumber() + QLatin1Char(')');
}

QUrl AppInfo::websiteUrl()
{
    return QUrl(QStringLiteral(QUILLORY_WEBSITE_URL), QUrl::StrictMode);
}

QString AppInfo::supportEmail()
{
    return QStringLiteral(QUILLORY_SUPPORT_EMAIL);
}

const QList<QColor> &AppInfo::colorPalette()
{
    static const QList<QColor> palette = [] {
        QList<QColor> colors;
        for (NamedColor c :
             {NamedColor::Blue, NamedColor::Indigo, NamedColor::Purple, NamedColor::Pink,
              NamedColor::Red, NamedColor::Orange, NamedColor::Yellow, NamedColor::Green,
              NamedColor::Mint, NamedColor::Teal, NamedColor::Cyan, NamedColor::Gray})
            colors.append(toColor(c));
        return colors;
    }();
    return palette;
}

} // namespace quillory
