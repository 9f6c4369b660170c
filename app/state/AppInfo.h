#pragma once

#include <QColor>
#include <QList>
#include <QString>

namespace quillory {

// Version texts stamped in at configure time, and the colours the pickers offer.
class AppInfo final
{
public:
    static QString appVersion();
    static QString buildNumber();
    // Blue, indigo, purple, pink, red, orange, yellow, green, mint, teal, cyan, gray.
    static const QList<QColor> &colorPalette();
};

} // namespace quillory
