#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace quillory {

class Item;
class LibraryStore;

// Makes one item of several that hold the same page: the kept item gains every tag of the
// others, every note (one after the other), the earliest creation date, the favourite mark
// if any had it, a folder if it had none, and stays archived only if all of them were; the
// others are deleted. Its title, address and pictures stay its own.
class DuplicateMerger final
{
public:
    // False, changing nothing, when the library takes no changes or `keep` is one of
    // `others`.
    static bool merge(LibraryStore &store, Item &keep, const std::vector<Item *> &others);

private:
    static std::optional<QString> joinedNotes(const std::optional<QString> &kept,
                                              const std::optional<QString> &other);
};

} // namespace quillory
