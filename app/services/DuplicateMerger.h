#pragma once

#include <vector>

namespace quillory {

class Item;
class LibraryStore;

// Makes one item of several that hold the same page: the kept item gains every tag of the
// others, the longest note, the earliest creation date and the favourite mark if any had
// it; the others are deleted. Its title, address, folder and pictures stay its own.
class DuplicateMerger final
{
public:
    // False, changing nothing, when the library takes no changes or `keep` is one of
    // `others`.
    static bool merge(LibraryStore &store, Item &keep, const std::vector<Item *> &others);
};

} // namespace quillory
