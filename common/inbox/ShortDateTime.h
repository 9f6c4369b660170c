#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace quillory {

// The date and time in the titles given to pictures and documents that come without a name
// ("Screenshot Mar 5, 3:41 PM", "Image Jan 31, 9:05 AM"): abbreviated month, day, and the
// locale's own clock, with AM and PM only where the locale uses them.
class ShortDateTime final
{
public:
    static QString format(const QDateTime &when, const QLocale &locale = QLocale());
};

} // namespace quillory
