#include <util/SecondThread.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
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

// Whichever half throws, the exception leaves only once both halves are done, since the other
// half still reads the caller's frame meanwhile: on the kept thread, or, in a pass nested in
// another that holds it, on a thread of its own. The kept thread serves the next pass as before.
TEST(SecondThread, WhatEitherHalfThrowsLeavesOnceBothAreDone)
{
    for (const bool callersHalfThrows : {true, false}) {
        for (const bool nested : {false, true}) {
            SCOPED_TRACE(std::string(callersHalfThrows ? "caller's half" : "second half") +
                         (nested ? " throws, nested" : " throws"));
            std::thread::id outerThere;
            std::thread::id slowThere;
            std::atomic<bool> finished = false;
            bool finishedWhenCaught = false;
            const auto slow = [&] {
                slowThere = std::this_thread::get_id();
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
                finished = true;
            };
            const auto throwing = [] { throw std::runtime_error("half"); };
            const auto pass = [&] {
                try {
                    if (callersHalfThrows)
                        SecondThread::runBoth(throwing, slow);
                    else
                        SecondThread::runBoth(slow, throwing);
                } catch (const std::runtime_error &) {
                    finishedWhenCaught = finished;
                }
            };
            if (nested)
                SecondThread::runBoth(pass, [&] { outerThere = std::this_thread::get_id(); });
            else
                pass();
            EXPECT_TRUE(finishedWhenCaught);
            if (nested && callersHalfThrows) {
                EXPECT_NE(slowThere, outerThere);
                EXPECT_NE(slowThere, std::this_thread::get_id());
            }
        }
    }
    int written = 0;
    SecondThread::runBoth([] {}, [&] { written = 1; });
    EXPECT_EQ(written, 1);
}
