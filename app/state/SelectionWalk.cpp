#include <state/SelectionWalk.h>

#include <model/Folder.h>
#include <model/Item.h>
#include <model/PrefetchAhead.h>

namespace quillory {

namespace {

// Inlined into the walk, which waits on each record's memory: a call per record costs more
// than the test itself.
inline bool inSelection(const Item &item, const std::optional<SmartFolder> &smartFolder,
                        const Folder *folder, qint64 cutoff)
{
    if (smartFolder && !smartFolder->contains(item, cutoff))
        return false;
    return folder == nullptr || (item.folder() != nullptr && item.folder()->id() == folder->id());
}

} // namespace

bool SelectionWalk::contains(const Item &item, const std::optional<SmartFolder> &smartFolder,
                             const Folder *folder, qint64 cutoff)
{
    return inSelection(item, smartFolder, folder, cutoff);
}

std::shared_ptr<const std::vector<Item *>>
SelectionWalk::walk(const std::vector<Record *> &newestFirst,
                    const std::optional<SmartFolder> &smartFolder, const Folder *folder,
                    qint64 cutoff)
{
    const Selection asked{&newestFirst, smartFolder, folder};
    if (m_selected && m_walkedFor == asked && !followsClock(smartFolder))
        return m_selected;
    if (!m_selected || m_selected.use_count() > 1)
        m_selected = std::make_shared<std::vector<Item *>>();
    std::vector<Item *> &selected = *m_selected;
    selected.clear();
    selected.reserve(newestFirst.size());
    for (size_t i = 0; i < newestFirst.size(); ++i) {
        prefetchAhead(newestFirst, i);
        auto *item = static_cast<Item *>(newestFirst[i]);
        if (inSelection(*item, smartFolder, folder, cutoff))
            selected.push_back(item);
    }
    m_walkedFor = asked;
    return m_selected;
}

} // namespace quillory
