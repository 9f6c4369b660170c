#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QUrl>

namespace quillory {

// Version texts stamped in at configure time, and the colours the pickers offer.
class AppInfo final
{
public:
    static QString appVersion();
    static QString buildNumber();
    // "1.2 (45)", as About shows it.
    static QString versionText();
    // The maker's web page and support address, as the packager configured them.
    static QUrl websiteUrl();
    static QString supportEmail();
    // Blue, indigo, purple, pink, red, orange, yellow, green, mint, teal, cyan, gray.
    static const QList<QColor> &colorPalette();
};

} // namespace quillory
