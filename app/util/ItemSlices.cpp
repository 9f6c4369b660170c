#include <util/ItemSlices.h>

#include <model/Item.h>
#include <model/LibraryStore.h>

#include <QElapsedTimer>
#include <algorithm>

namespace quillory {

namespace {

// Time the interface thread spends on the items before it lets other events through.
constexpr qint64 sliceMilliseconds = 8;

} // namespace

ItemSlices::ItemSlices(LibraryStore &store) : m_store(store)
{
    m_timer.setInterval(0);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { slice(); });
}

void ItemSlices::start(int batch, Visit visit, std::function<void()> done)
{
    m_batch = std::max(batch, 1);
    m_visit = std::move(visit);
    m_done = std::move(done);
    m_ids.clear();
    m_ids.reserve(m_store.items().size());
    for (const Item *item : m_store.items())
        m_ids.push_back(item->id());
    m_next = 0;
    m_timer.start();
}

void ItemSlices::slice()
{
    QElapsedTimer clock;
    clock.start();
    while (m_next < m_ids.size() && clock.elapsed() < sliceMilliseconds) {
        for (int i = 0; i < m_batch && m_next < m_ids.size(); ++i) {
            if (const Item *item = m_store.item(m_ids[m_next++]))
                m_visit(*item);
        }
    }
    if (m_next < m_ids.size())
        return;
    m_timer.stop();
    m_ids = {};
    // Last: `done` may start what outlives this walk, or end it.
    if (m_done)
        m_done();
}

} // namespace quillory
