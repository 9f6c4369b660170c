#include <Item.h>
#include <SearchIndex.h>
#include <SubstringFinder.h>

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

std::vector<Item *> pointers(const std::vector<std::unique_ptr<Item>> &items)
{
    std::vector<Item *> list;
    for (const auto &item : items)
        list.push_back(item.get());
    return list;
}

size_t itemsHolding(const SearchIndex &index, std::string_view word)
{
    std::vector<quint32> hits;
    index.scan({SubstringFinder(word)}, hits);
    size_t found = 0;
    for (size_t position = 0; position < index.list().size(); ++position)
        found += hits[index.slotAt(position)] != 0 ? 1 : 0;
    return found;
}

} // namespace

// Dead slots are counted, neither too few (the index would grow without end) nor too many
// (it would be built again and again): a rebuild copies only what is left, and after it the
// items' old slot numbers, from the index before, count as nothing.
TEST(SearchIndex, IsBuiltAgainOnceMostlyDeadAndOnlyThen)
{
    std::vector<std::unique_ptr<Item>> items;
    for (int i = 0; i < 9000; ++i)
        items.push_back(std::make_unique<Item>(ItemType::WebLink, u"Pear "_s + QString::number(i)));
    SearchIndex index;
    index.follow(pointers(items));
    EXPECT_EQ(index.slotCount(), 9000u);
    EXPECT_FALSE(index.wantsRebuild());

    items.resize(3000);
    EXPECT_TRUE(index.wantsRebuild());
    // In another order, so that many items' old slot numbers lie below the new index's size.
    std::vector<Item *> reversed = pointers(items);
    std::reverse(reversed.begin(), reversed.end());
    index.follow(reversed);
    EXPECT_EQ(index.slotCount(), 3000u);
    EXPECT_FALSE(index.wantsRebuild());

    items.front()->setTitle(u"Quince"_s);
    index.follow(reversed);
    EXPECT_EQ(index.slotCount(), 3001u);
    EXPECT_FALSE(index.wantsRebuild());
    EXPECT_EQ(itemsHolding(index, "quince"), 1u);
    EXPECT_EQ(itemsHolding(index, "pear"), 2999u);

    // Once more slots are dead than live, it is built again.
    for (size_t i = 1; i < items.size(); ++i)
        items[i]->setTitle(u"Plum "_s + QString::number(i));
    index.follow(reversed);
    EXPECT_EQ(index.slotCount(), 6000u);
    EXPECT_FALSE(index.wantsRebuild());
    items.front()->setTitle(u"Plum"_s);
    index.follow(reversed);
    EXPECT_TRUE(index.wantsRebuild());
    index.follow(pointers(items));
    EXPECT_EQ(index.slotCount(), 3000u);
    EXPECT_FALSE(index.wantsRebuild());
    EXPECT_EQ(itemsHolding(index, "plum"), 3000u);
    EXPECT_EQ(itemsHolding(index, "pear"), 0u);
}
