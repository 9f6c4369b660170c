#pragma once

#include <vector>

namespace quillory {

class Item;

// Items that hold the same page: equal WebAddressKey of their web addresses. Items without
// an address, or whose address names a file, are never duplicates.
class DuplicateFinder final
{
public:
    using Group = std::vector<Item *>;

    // Every group of two or more, each oldest first, the groups in the order of their oldest
    // item.
    static std::vector<Group> groups(const std::vector<Item *> &items);
    // The items of `items` other than `item` that hold its page, oldest first. Cheap enough
    // to ask on every link added: only addresses that name the same host are looked at
    // closely.
    static Group sameAs(const Item &item, const std::vector<Item *> &items);
};

} // namespace quillory
