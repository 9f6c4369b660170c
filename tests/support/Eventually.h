#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>

// QtTest's QTRY_ macros report to QtTest's own log and return quietly, so under GoogleTest a
// condition that never came true would pass. These wait the same way and fail the test.
namespace quillory::test {

// Runs the event loop until `condition` holds or `timeoutMs` has passed; true if it held.
template <typename Condition> bool eventually(Condition condition, int timeoutMs = 5000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QTest::qWait(5);
    }
    return true;
}

} // namespace quillory::test

#define EXPECT_EVENTUALLY(condition, timeoutMs)                                                    \
    EXPECT_TRUE(::quillory::test::eventually([&] { return bool(condition); }, (timeoutMs)))        \
        << "never came true: " #condition
#define ASSERT_EVENTUALLY(condition, timeoutMs)                                                    \
    ASSERT_TRUE(::quillory::test::eventually([&] { return bool(condition); }, (timeoutMs)))        \
        << "never came true: " #condition
