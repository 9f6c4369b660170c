#include <keeping/HostBackoff.h>

#include <QLocale>
#include <algorithm>

namespace quillory {

std::optional<qint64> HostBackoff::retryAfterMs(const QByteArray &value, const QDateTime &now)
{
    const QByteArray trimmed = value.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > 40)
        return std::nullopt;
    if (std::all_of(trimmed.begin(), trimmed.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        // More digits than any sane wait are a very long wait, not an overflow.
        if (trimmed.size() > 9)
            return qint64(999'999'999) * 1000;
        return trimmed.toLongLong() * 1000;
    }
    const QDateTime at = QLocale::c().toDateTime(QString::fromLatin1(trimmed),
                                                 QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
    if (!at.isValid())
        return std::nullopt;
    QDateTime utc = at;
    utc.setTimeSpec(Qt::UTC);
    return std::max<qint64>(0, now.msecsTo(utc));
}

qint64 HostBackoff::waitMs(int strikes, const QByteArray &retryAfter, const QDateTime &now,
                           Limits limits)
{
    qint64 grown = std::max<qint64>(limits.firstWaitMs, 0);
    for (int i = 1; i < strikes && grown < limits.longestWaitMs; ++i)
        grown *= 2;
    const qint64 asked = retryAfterMs(retryAfter, now).value_or(0);
    return std::min(std::max(grown, asked), limits.longestWaitMs);
}

} // namespace quillory
