#pragma once

#include <model/SmartFolder.h>

#include <QtGlobal>
#include <memory>
#include <optional>
#include <vector>

namespace quillory {

class Folder;
class Item;
class Record;

// The shown list's first stage: the library's items in the chosen smart folder and folder,
// newest first. The walk is kept and walked again only when the library, the selection or
// the clock may have changed what it holds, so that typing a query does not walk the whole
// library on every keystroke.
class SelectionWalk final
{
public:
    SelectionWalk() = default;
    Q_DISABLE_COPY_MOVE(SelectionWalk)

    // Whether `item` belongs in the smart folder (as of `cutoff`) and the folder chosen.
    static bool contains(const Item &item, const std::optional<SmartFolder> &smartFolder,
                         const Folder *folder, qint64 cutoff);
    // The seven-day folders change with the clock alone.
    static bool followsClock(const std::optional<SmartFolder> &smartFolder)
    {
        return smartFolder == SmartFolder::RecentlyAdded ||
               smartFolder == SmartFolder::RecentlyViewed;
    }

    // The items of `newestFirst` in the selection. A search may go on reading the list
    // handed out after the next walk: that walk then fills a list of its own.
    std::shared_ptr<const std::vector<Item *>> walk(const std::vector<Record *> &newestFirst,
                                                    const std::optional<SmartFolder> &smartFolder,
                                                    const Folder *folder, qint64 cutoff);
    // The library changed: the next walk reads it again.
    void forget() { m_walkedFor.reset(); }

private:
    struct Selection
    {
        const std::vector<Record *> *library = nullptr;
        std::optional<SmartFolder> smartFolder;
        const Folder *folder = nullptr;
        bool operator==(const Selection &) const = default;
    };

    std::optional<Selection> m_walkedFor;
    // The room of the list before stays paged in for the next walk.
    std::shared_ptr<std::vector<Item *>> m_selected;
};

} // namespace quillory
