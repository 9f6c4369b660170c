#include <pages/PageWorker.h>

#include <pages/PageStore.h>

namespace quillory {

PageWorker::PageWorker(QString storePath)
    : m_storePath(std::move(storePath)), m_thread([this] { serve(); })
{
}

PageWorker::~PageWorker()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_tasks.clear();
    }
    m_woken.notify_all();
    m_thread.join();
}

void PageWorker::post(Task task)
{
    {
        const std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_woken.notify_one();
}

void PageWorker::waitForIdle()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_stopping || (m_tasks.empty() && !m_running); });
}

StoreFailure PageWorker::failure() const
{
    const std::lock_guard lock(m_mutex);
    return m_failure;
}

void PageWorker::serve()
{
    for (;;) {
        Task task;
        {
            std::unique_lock lock(m_mutex);
            m_woken.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
            if (m_stopping)
                break;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
            m_running = true;
        }
        if (!m_opened) {
            m_opened = true;
            StoreFailure failure;
            m_store = PageStore::open(m_storePath, &failure);
            if (!m_store) {
                const std::lock_guard lock(m_mutex);
                m_failure = failure;
            }
        }
        task(m_store.get());
        {
            const std::lock_guard lock(m_mutex);
            m_running = false;
        }
        m_idle.notify_all();
    }
    // The connection is closed on the thread that used it.
    m_store.reset();
    m_idle.notify_all();
}

} // namespace quillory
