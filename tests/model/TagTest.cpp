#include <Item.h>
#include <Tag.h>

#include <algorithm>
#include <gtest/gtest.h>

using namespace quillory;

TEST(Tag, CreationDefaults)
{
    Tag tag(QStringLiteral("Reading"), QColor(0, 0x7A, 0xFF));
    EXPECT_EQ(tag.name(), QStringLiteral("Reading"));
    EXPECT_EQ(tag.colorHex(), QStringLiteral("#007AFF"));
    EXPECT_EQ(tag.sortOrder(), 0);
    EXPECT_TRUE(tag.items().isEmpty());
    EXPECT_EQ(Tag(QStringLiteral("x"), QColor()).colorHex(), QStringLiteral("#007AFF"));
}

TEST(Tag, OrderBySortOrderThenLocalizedCaseInsensitiveName)
{
    Tag beta(QStringLiteral("beta"), QColor());
    Tag upper(QStringLiteral("Alpha"), QColor());
    Tag lower(QStringLiteral("alpha"), QColor());
    EXPECT_TRUE(upper < beta);
    EXPECT_TRUE(lower < beta);
    EXPECT_FALSE(upper < lower);
    EXPECT_FALSE(lower < upper);

    Tag a(QStringLiteral("a"), QColor());
    Tag z(QStringLiteral("z"), QColor());
    a.setSortOrder(1);
    EXPECT_TRUE(z < a);
    EXPECT_FALSE(a < z);

    std::vector<Tag *> tags{&beta, &a, &upper, &z};
    std::stable_sort(tags.begin(), tags.end(), [](const Tag *x, const Tag *y) { return *x < *y; });
    EXPECT_EQ(tags, (std::vector<Tag *>{&upper, &beta, &z, &a}));
}

TEST(Tag, EqualityAndHashFollowTheId)
{
    Tag one(QStringLiteral("one"), QColor());
    Tag copy(QStringLiteral("other name"), QColor(Qt::red));
    EXPECT_FALSE(one == copy);
    copy.setId(one.id());
    EXPECT_TRUE(one == copy);
    EXPECT_EQ(qHash(one), qHash(copy));
}

TEST(Tag, ItemCountLeavesOutArchivedItems)
{
    Tag tag(QStringLiteral("t"), QColor());
    Item a(ItemType::WebLink, QStringLiteral("a"));
    Item b(ItemType::WebLink, QStringLiteral("b"));
    a.addTag(&tag);
    b.addTag(&tag);
    b.toggleArchive();
    EXPECT_EQ(tag.items().size(), 2);
    EXPECT_EQ(tag.itemCount(), 1);
}
