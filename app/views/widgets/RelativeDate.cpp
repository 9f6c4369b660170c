#include <views/widgets/RelativeDate.h>

namespace quillory {

namespace {

QString count(qint64 n, const char *unit, bool future)
{
    const QString text = QStringLiteral("%1 %2%3")
                             .arg(n)
                             .arg(QLatin1String(unit))
                             .arg(n == 1 ? QString() : QStringLiteral("s"));
    return future ? QStringLiteral("in ") + text : text + QStringLiteral(" ago");
}

} // namespace

QString RelativeDate::format(const QDateTime &when, const QDateTime &now)
{
    const bool future = when > now;
    const qint64 seconds = future ? now.secsTo(when) : when.secsTo(now);
    if (seconds < 60)
        return QStringLiteral("now");
    if (seconds < 3600)
        return count(seconds / 60, "minute", future);
    if (seconds < 86400)
        return count(seconds / 3600, "hour", future);

    // Days and longer count calendar days in local time, so 23:00 yesterday is "yesterday".
    const QDate from = when.toLocalTime().date();
    const QDate to = now.toLocalTime().date();
    const qint64 days = future ? to.daysTo(from) : from.daysTo(to);
    if (days <= 1)
        return future ? QStringLiteral("tomorrow") : QStringLiteral("yesterday");
    if (days < 7)
        return count(days, "day", future);
    if (days < 14)
        return future ? QStringLiteral("next week") : QStringLiteral("last week");
    if (days < 30)
        return count(days / 7, "week", future);
    const qint64 months = days / 30;
    if (months < 2)
        return future ? QStringLiteral("next month") : QStringLiteral("last month");
    if (months < 12)
        return count(months, "month", future);
    const qint64 years = days / 365;
    if (years < 2)
        return future ? QStringLiteral("next year") : QStringLiteral("last year");
    return count(years, "year", future);
}

} // namespace quillory
