#pragma once

#include <model/Folder.h>
#include <model/Item.h>
#include <model/Tag.h>

#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace quillory::bench {

// A made-up library with the shape of a heavy user's: word-list titles, notes on a third of
// the items, a few tags each, links spread over thousands of sites and two years of history.
// The same seed always gives the same titles, notes, links, dates and relationships (record
// ids stay random). Nothing here is in a store; callers insert the records if they need to.
struct SyntheticLibrary
{
    static constexpr std::uint64_t defaultSeed = 0x5eed'2024'0b00'cafeULL;
    static constexpr int tagCount = 200;
    static constexpr int domainCount = 5000;
    static constexpr int topFolderCount = 12;
    static constexpr int childFolderCount = 28;

    static SyntheticLibrary generate(std::size_t itemCount, std::uint64_t seed = defaultSeed);

    // The common words titles, notes, paths and tag names are drawn from.
    static const QStringList &words();

    SyntheticLibrary() = default;
    SyntheticLibrary(SyntheticLibrary &&) = default;
    SyntheticLibrary &operator=(SyntheticLibrary &&) = default;
    ~SyntheticLibrary();

    std::vector<Item *> itemPointers() const;
    // Total bytes of every item's lower-cased search text.
    std::size_t searchTextBytes() const;

    // Declared parents first, so a store can insert them in this order.
    std::vector<std::unique_ptr<Folder>> folders;
    std::vector<std::unique_ptr<Tag>> tags;
    std::vector<std::unique_ptr<Item>> items;
};

} // namespace quillory::bench
