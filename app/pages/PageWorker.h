#pragma once

#include <model/StoreFailure.h>

#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace quillory {

class PageStore;

// A thread with its own connection to the kept pages, running what it is given in order.
// The store is opened by the first task, on this thread; when that fails every task is
// given no store, and `failure()` says why. A standard thread rather than Qt's pool, so that
// the thread checker sees every hand-over.
class PageWorker final
{
public:
    using Task = std::function<void(PageStore *)>;

    explicit PageWorker(QString storePath);
    // Runs the task under way to its end and drops the others.
    ~PageWorker();
    PageWorker(const PageWorker &) = delete;
    PageWorker &operator=(const PageWorker &) = delete;

    void post(Task task);
    // Returns once every task posted before has run.
    void waitForIdle();
    // Why the store could not be opened, once a task has tried.
    StoreFailure failure() const;

private:
    void serve();

    const QString m_storePath;
    std::unique_ptr<PageStore> m_store; // this thread's alone
    bool m_opened = false;              // this thread's alone
    mutable std::mutex m_mutex;
    std::condition_variable m_woken;
    std::condition_variable m_idle;
    std::deque<Task> m_tasks;
    bool m_running = false; // a task is under way
    bool m_stopping = false;
    StoreFailure m_failure;
    std::thread m_thread;
};

} // namespace quillory
