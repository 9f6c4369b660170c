#pragma once

#include <QSemaphore>
#include <QThreadPool>

namespace quillory::test {

// Holds every thread of the global pool until released, so that work handed to the pool
// waits in its queue.
class PoolBlocker final
{
public:
    PoolBlocker()
    {
        QThreadPool *pool = QThreadPool::globalInstance();
        m_threads = pool->maxThreadCount();
        for (int i = 0; i < m_threads; ++i) {
            pool->start([this] {
                m_started.release();
                m_release.acquire();
            });
        }
        m_started.acquire(m_threads);
    }
    ~PoolBlocker() { release(); }

    void release()
    {
        m_release.release(m_threads);
        m_threads = 0;
    }

private:
    int m_threads = 0;
    QSemaphore m_started;
    QSemaphore m_release;
};

} // namespace quillory::test
