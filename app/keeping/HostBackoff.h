#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QtGlobal>
#include <optional>

namespace quillory {

// How long a site is left alone after it said it was busy (429, 503) or did not answer:
// what its Retry-After asked for, but never less than a wait that doubles with each strike
// in a row and never more than the cap, so that a server asking for a year is asked again
// within the hour and one that asks for nothing is not hammered either.
class HostBackoff final
{
public:
    struct Limits
    {
        qint64 firstWaitMs = 30'000;
        qint64 longestWaitMs = 30 * 60'000;
    };

    // `strikes` counts from 1.
    static qint64 waitMs(int strikes, const QByteArray &retryAfter, const QDateTime &now,
                         Limits limits);
    // Seconds, or an HTTP date; nothing for anything else.
    static std::optional<qint64> retryAfterMs(const QByteArray &value, const QDateTime &now);
};

} // namespace quillory
