#pragma once

#include <QTest>

// QtTest's QTRY_ macros report to QtTest's own log and return quietly, so under GoogleTest a
// condition that never came true would pass. These wait the same way and fail the test.
namespace quillory::test {

// Runs the event loop until `condition` holds or `timeoutMs` has passed; true if it held.
template <typename Condition> bool eventually(Condition condition, int timeoutMs = 5000)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

} // namespace quillory::test

#define EXPECT_EVENTUALLY(condition, timeoutMs)                                                    \
    EXPECT_TRUE(::quillory::test::eventually([&] { return bool(condition); }, (timeoutMs)))        \
        << "never came true: " #condition
#define ASSERT_EVENTUALLY(condition, timeoutMs)                                                    \
    ASSERT_TRUE(::quillory::test::eventually([&] { return bool(condition); }, (timeoutMs)))        \
        << "never came true: " #condition
