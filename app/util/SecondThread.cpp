#include <util/SecondThread.h>

namespace quillory {

SecondThread::SecondThread() : m_thread([this] { serve(); })
{
}

bool SecondThread::helps()
{
    static const bool twoCores = std::thread::hardware_concurrency() > 1;
    return twoCores;
}

SecondThread &SecondThread::instance()
{
    static SecondThread *kept = new SecondThread();
    return *kept;
}

bool SecondThread::tryStart(Task task)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_held)
            return false;
        m_held = true;
        m_done = false;
        m_task = task;
    }
    m_woken.notify_one();
    return true;
}

void SecondThread::waitUntilDone()
{
    std::unique_lock lock(m_mutex);
    m_finished.wait(lock, [this] { return m_done; });
    m_held = false;
}

void SecondThread::serve()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_woken.wait(lock, [this] { return m_task.run != nullptr; });
        const Task task = m_task;
        m_task = {};
        lock.unlock();
        task.run(task.closure);
        lock.lock();
        m_done = true;
        m_finished.notify_one();
    }
}

} // namespace quillory
