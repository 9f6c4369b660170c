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

TEST(Tag, EqualityAndHashFollowTheId)
{
    Tag one(u"one"_s, QColor());
    Tag copy(u"other name"_s, QColor(Qt::red));
    EXPECT_FALSE(one == copy);
    copy.setId(one.id());
    EXPECT_TRUE(one == copy);
    EXPECT_EQ(qHash(one), qHash(copy));
}

TEST(Tag, ItemCountLeavesOutArchivedItems)
{
    Tag tag(u"t"_s, QColor());
    Item a(ItemType::WebLink, u"a"_s);
    Item b(ItemType::WebLink, u"b"_s);
    a.addTag(&tag);
    b.addTag(&tag);
    b.toggleArchive();
    EXPECT_EQ(tag.items().size(), 2);
    EXPECT_EQ(tag.itemCount(), 1);
}
