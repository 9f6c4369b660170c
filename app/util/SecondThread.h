#pragma once

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace quillory {

// A thread kept for the second half of a pass split in two. Starting a thread for each pass
// costs tens of microseconds here (clone, then a fresh stack faulted in page by page), and a
// search of a large library takes about a millisecond; the kept thread only waits to be woken.
class SecondThread final
{
public:
    // Runs `here` on the calling thread and `there` on the kept one at the same time, and
    // returns once both are done, also when `here` throws (`there` may be reading the caller's
    // frame meanwhile). What `there` throws is thrown here once both are done, unless `here`
    // threw too. While another pass holds the kept thread (one on another thread, or the pass
    // this one is nested in), `there` gets a thread of its own instead, so that no pass waits
    // for another to end.
    template <typename Here, typename There> static void runBoth(Here &&here, There &&there)
    {
        std::exception_ptr thrown;
        const auto guarded = [&there, &thrown] {
            try {
                there();
            } catch (...) {
                thrown = std::current_exception();
            }
        };
        runGuarded(here, guarded);
        if (thrown)
            std::rethrow_exception(thrown);
    }

    // Whether a second core is there to run the other half: splitting a pass on one core
    // only adds the handover. Asked of the system once.
    static bool helps();

    SecondThread(const SecondThread &) = delete;
    SecondThread &operator=(const SecondThread &) = delete;

private:
    struct Task
    {
        const void *closure = nullptr;
        void (*run)(const void *) = nullptr;
    };

    template <typename Here, typename There> static void runGuarded(Here &here, const There &there)
    {
        const Task task{&there,
                        [](const void *closure) { (*static_cast<const There *>(closure))(); }};
        SecondThread &kept = instance();
        if (!kept.tryStart(task)) {
            const std::jthread helper([&there] { there(); }); // joined on the way out
            here();
            return;
        }
        struct Waiter
        {
            SecondThread &thread;
            ~Waiter() { thread.waitUntilDone(); }
        } waiter{kept};
        here();
    }

    SecondThread();
    // Lives as long as the process: a search still running on a worker thread as the process
    // ends may yet split its pass.
    ~SecondThread() = delete;
    static SecondThread &instance();

    bool tryStart(Task task);
    void waitUntilDone();
    void serve();

    std::mutex m_mutex;
    std::condition_variable m_woken;
    std::condition_variable m_finished;
    Task m_task;
    bool m_held = false; // by a pass, from tryStart() until waitUntilDone()
    bool m_done = false;
    std::thread m_thread;
};

} // namespace quillory
