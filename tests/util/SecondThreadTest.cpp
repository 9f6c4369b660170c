#include <util/SecondThread.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace quillory;

// Both halves run at once, on two threads, and the call returns only once the slower one
// is done: the caller reads what the kept thread wrote as soon as it returns. One pass at a
// time, the second half runs on the same kept thread each time.
TEST(SecondThread, RunsBothHalvesAndReturnsOnceBothAreDone)
{
    std::thread::id kept;
    for (int round = 0; round < 50; ++round) {
        std::thread::id here;
        std::thread::id there;
        int written = 0;
        SecondThread::runBoth([&] { here = std::this_thread::get_id(); },
                              [&] {
                                  there = std::this_thread::get_id();
                                  if (round % 10 == 0)
                                      std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                  written = round + 1;
                              });
        ASSERT_EQ(written, round + 1);
        ASSERT_EQ(here, std::this_thread::get_id());
        ASSERT_NE(there, here);
        if (round == 0)
            kept = there;
        ASSERT_EQ(there, kept) << "round " << round;
    }
}

// Passes on several threads at once: each gets its second half run exactly once, whether by
// the kept thread or by one of its own, and none waits forever for another's.
TEST(SecondThread, PassesOnSeveralThreadsAtOnceEachRunOnce)
{
    constexpr int callers = 4;
    constexpr int rounds = 300;
    std::vector<std::thread> threads;
    std::vector<int> halves(callers * rounds * 2, 0);
    for (int c = 0; c < callers; ++c) {
        threads.emplace_back([&halves, c] {
            for (int r = 0; r < rounds; ++r) {
                const size_t at = size_t((c * rounds + r) * 2);
                SecondThread::runBoth([&] { ++halves[at]; }, [&] { ++halves[at + 1]; });
                if (halves[at + 1] != 1)
                    return; // seen below
            }
        });
    }
    for (std::thread &t : threads)
        t.join();
    for (size_t i = 0; i < halves.size(); ++i)
        ASSERT_EQ(halves[i], 1) << "half " << i;
}

// The caller's half may throw; the other half still reads the caller's frame meanwhile, so
// the call waits for it before the exception leaves.
TEST(SecondThread, WaitsForTheOtherHalfWhenTheCallersHalfThrows)
{
    std::atomic<bool> finished = false;
    bool finishedWhenCaught = false;
    try {
        SecondThread::runBoth([] { throw std::runtime_error("caller's half"); },
                              [&] {
                                  std::this_thread::sleep_for(std::chrono::milliseconds(30));
                                  finished = true;
                              });
    } catch (const std::runtime_error &) {
        finishedWhenCaught = finished;
    }
    EXPECT_TRUE(finishedWhenCaught);
    // The kept thread serves the next pass as before.
    int written = 0;
    SecondThread::runBoth([] {}, [&] { written = 1; });
    EXPECT_EQ(written, 1);
}

// A pass nested in another finds the kept thread held and starts a thread of its own; when its
// caller's half throws, it too waits for the other half before the exception leaves.
TEST(SecondThread, ANestedPassGetsAThreadOfItsOwnAndWaitsForItToo)
{
    std::thread::id outerThere;
    std::thread::id innerThere;
    std::atomic<bool> finished = false;
    bool finishedWhenCaught = false;
    SecondThread::runBoth(
        [&] {
            try {
                SecondThread::runBoth([] { throw std::runtime_error("caller's half"); },
                                      [&] {
                                          innerThere = std::this_thread::get_id();
                                          std::this_thread::sleep_for(
                                              std::chrono::milliseconds(30));
                                          finished = true;
                                      });
            } catch (const std::runtime_error &) {
                finishedWhenCaught = finished;
            }
        },
        [&] { outerThere = std::this_thread::get_id(); });
    EXPECT_TRUE(finishedWhenCaught);
    EXPECT_NE(innerThere, outerThere);
    EXPECT_NE(innerThere, std::this_thread::get_id());
}

// What the second half throws reaches the caller once both halves are done, whichever thread
// ran it, and the kept thread serves the next pass as before.
TEST(SecondThread, WhatTheSecondHalfThrowsReachesTheCaller)
{
    for (int nested = 0; nested < 2; ++nested) {
        bool hereFinished = false;
        bool caught = false;
        const auto pass = [&] {
            try {
                SecondThread::runBoth(
                    [&] {
                        std::this_thread::sleep_for(std::chrono::milliseconds(10));
                        hereFinished = true;
                    },
                    [] { throw std::runtime_error("second half"); });
            } catch (const std::runtime_error &) {
                caught = hereFinished;
            }
        };
        if (nested == 1)
            SecondThread::runBoth(pass, [] {});
        else
            pass();
        EXPECT_TRUE(caught) << (nested == 1 ? "on a thread of its own" : "on the kept thread");
    }
    int written = 0;
    SecondThread::runBoth([] {}, [&] { written = 1; });
    EXPECT_EQ(written, 1);
}
