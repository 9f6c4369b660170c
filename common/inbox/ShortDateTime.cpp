#include <inbox/ShortDateTime.h>

namespace quillory {

QString ShortDateTime::format(const QDateTime &when, const QLocale &locale)
{
    const bool twelveHour =
        locale.timeFormat(QLocale::ShortFormat).contains(QLatin1Char('a'), Qt::CaseInsensitive);
    const QString pattern = QStringLiteral("MMM d, ") +
                            (twelveHour ? QStringLiteral("h:mm AP") : QStringLiteral("HH:mm"));
    return locale.toString(when.toLocalTime(), pattern);
}

} // namespace quillory
