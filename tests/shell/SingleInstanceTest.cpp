#include <SingleInstance.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quillory;

TEST(SingleInstance, SecondLaunchAsksTheFirstToComeForward)
{
    QTemporaryDir dir;
    SingleInstance first(dir.path());
    ASSERT_TRUE(first.acquire());
    QSignalSpy activated(&first, &SingleInstance::activationRequested);

    SingleInstance second(dir.path());
    EXPECT_FALSE(second.acquire()) << "the library is already open";
    EXPECT_TRUE(activated.wait(5000));

    // Another library is another instance.
    QTemporaryDir other;
    SingleInstance elsewhere(other.path());
    EXPECT_TRUE(elsewhere.acquire());
}

TEST(SingleInstance, ReleasedWhenTheHolderEnds)
{
    QTemporaryDir dir;
    {
        SingleInstance first(dir.path());
        ASSERT_TRUE(first.acquire());
    }
    SingleInstance next(dir.path());
    EXPECT_TRUE(next.acquire());
}
