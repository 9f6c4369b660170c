#include <keeping/HostBackoff.h>

#include <gtest/gtest.h>

using namespace quillory;

TEST(HostBackoffTest, HonoursWhatTheSiteAsksWithinBounds)
{
    const QDateTime now =
        QDateTime::fromString(QStringLiteral("2026-03-01T12:00:00Z"), Qt::ISODate);
    const HostBackoff::Limits limits{1000, 60'000};
    struct Case
    {
        int strikes;
        QByteArray retryAfter;
        qint64 expected;
    };
    const Case cases[] = {
        {1, "", 1000},
        {2, "", 2000},
        {3, "", 4000},
        {20, "", 60'000}, // grows no further than the cap
        {1, "5", 5000},
        {1, " 7 ", 7000},
        {3, "1", 4000}, // never less than its own growing wait
        {1, "99999999999999999999", 60'000},
        {1, "-5", 1000},
        {1, "soon", 1000},
        {1, "Sun, 01 Mar 2026 12:00:30 GMT", 30'000},
        {1, "Sun, 01 Mar 2026 11:00:00 GMT", 1000}, // a date gone by
        {1, "Sun, 01 Mar 2099 11:00:00 GMT", 60'000},
        {1, QByteArray(10000, '9'), 1000}, // too long to be anything
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.retryAfter.left(40).toStdString());
        EXPECT_EQ(HostBackoff::waitMs(c.strikes, c.retryAfter, now, limits), c.expected);
    }
}
