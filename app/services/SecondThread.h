#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>
#include <type_traits>

namespace quillory {

// A thread kept for the second half of a pass split in two. Starting a thread for each pass
// costs tens of microseconds here (clone, then a fresh stack faulted in page by page), and a
// search of a large library takes about a millisecond; the kept thread only waits to be woken.
class SecondThread final
{
public:
    // Runs `here` on the calling thread and `there` on the kept one at the same time, and
    // returns once both are done. While another pass holds the kept thread, `there` gets a
    // thread of its own instead, so passes on several threads at once never wait for each
    // other.
    template <typename Here, typename There> static void runBoth(Here &&here, There &&there)
    {
        using Closure = std::remove_reference_t<There>;
        const Task task{&there, [](void *closure) { (*static_cast<Closure *>(closure))(); }};
        SecondThread &kept = instance();
        if (!kept.tryStart(task)) {
            std::thread helper([&there] { there(); });
            here();
            helper.join();
            return;
        }
        // Waits even if `here` throws: `there` may still be reading the caller's frame.
        struct Waiter
        {
            SecondThread &thread;
            ~Waiter() { thread.waitUntilDone(); }
        } waiter{kept};
        here();
    }

    SecondThread(const SecondThread &) = delete;
    SecondThread &operator=(const SecondThread &) = delete;

private:
    struct Task
    {
        void *closure = nullptr;
        void (*run)(void *) = nullptr;
    };

    SecondThread();
    ~SecondThread();
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
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace quillory
