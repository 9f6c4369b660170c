#include <model/Item.h>
#include <model/Tag.h>

#include <algorithm>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;

TEST(Tag, OrderBySortOrderThenLocalizedCaseInsensitiveName)
{
    Tag beta(u"beta"_s, QColor());
    Tag upper(u"Alpha"_s, QColor());
    Tag lower(u"alpha"_s, QColor());
    EXPECT_TRUE(upper < beta);
    EXPECT_TRUE(lower < beta);
    EXPECT_FALSE(upper < lower);
    EXPECT_FALSE(lower < upper);

    Tag a(u"a"_s, QColor());
    Tag z(u"z"_s, QColor());
    a.setSortOrder(1);
    EXPECT_TRUE(z < a);
    EXPECT_FALSE(a < z);

    std::vector<Tag *> tags{&beta, &a, &upper, &z};
    std::stable_sort(tags.begin(), tags.end(), [](const Tag *x, const Tag *y) { return *x < *y; });
    EXPECT_EQ(tags, (std::vector<Tag *>{&upper, &beta, &z, &a}));
}

// A tag is its id: a second record carrying it is the same tag to an item, and its count
// leaves out archived items.
TEST(Tag, IdentityIsTheIdAndTheCountLeavesOutArchivedItems)
{
    Tag tag(u"t"_s, QColor());
    Tag copy(u"t copy"_s, QColor(Qt::red));
    EXPECT_FALSE(tag == copy);
    copy.setId(tag.id());
    EXPECT_TRUE(tag == copy);
    EXPECT_EQ(qHash(tag), qHash(copy));

    Item a(ItemType::WebLink, u"a"_s);
    Item b(ItemType::WebLink, u"b"_s);
    a.addTag(&tag);
    a.addTag(&copy);
    EXPECT_EQ(a.tags().size(), 1);
    b.addTag(&tag);
    b.toggleArchive();
    EXPECT_EQ(tag.items().size(), 2);
    EXPECT_EQ(tag.itemCount(), 1);
    a.removeTag(copy);
    EXPECT_TRUE(a.tags().isEmpty());
    EXPECT_EQ(tag.items(), QList<Item *>{&b});
}
