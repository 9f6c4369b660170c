#pragma once

#include <QTimer>
#include <QUuid>
#include <functional>
#include <vector>

namespace quillory {

class Item;
class LibraryStore;

// Walks the items of a store, as they stood when started, a slice of a few milliseconds
// per event-loop pass, so that copying a large library leaves the window responsive. An
// item deleted meanwhile is passed over. Interface thread.
class ItemSlices final
{
public:
    using Visit = std::function<void(const Item &)>;

    explicit ItemSlices(LibraryStore &store);

    // `batch` items are visited between looks at the clock: 1 when one item may take
    // milliseconds. `done` runs once every item has been visited.
    void start(int batch, Visit visit, std::function<void()> done);

private:
    void slice();

    LibraryStore &m_store;
    std::vector<QUuid> m_ids;
    size_t m_next = 0;
    int m_batch = 1;
    Visit m_visit;
    std::function<void()> m_done;
    QTimer m_timer;
};

} // namespace quillory
