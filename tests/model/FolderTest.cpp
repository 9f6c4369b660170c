#include <model/Folder.h>
#include <model/Item.h>

#include <gtest/gtest.h>
#include <memory>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

std::unique_ptr<Folder> folder(const char *name, Folder *parent = nullptr)
{
    return std::make_unique<Folder>(QString::fromLatin1(name), u"folder"_s, QColor(), parent);
}

} // namespace

TEST(Folder, CreationDefaults)
{
    Folder f(u"Work"_s, u"briefcase"_s, QColor(255, 0, 0));
    EXPECT_EQ(f.name(), u"Work"_s);
    EXPECT_EQ(f.iconName(), u"briefcase"_s);
    EXPECT_EQ(f.colorHex(), u"#FF0000"_s);
    EXPECT_EQ(f.sortOrder(), 0);
    EXPECT_EQ(f.parent(), nullptr);
    EXPECT_LE(f.createdAt(), f.modifiedAt());
    EXPECT_EQ(Folder(QString(), QString(), QColor()).colorHex(), u"#007AFF"_s);
}

TEST(Folder, ParentAndChildrenStayInStep)
{
    auto root = folder("root");
    auto a = folder("a", root.get());
    auto b = folder("b");
    EXPECT_EQ(root->children(), QList<Folder *>{a.get()});
    EXPECT_TRUE(b->setParent(root.get()));
    EXPECT_EQ(root->children(), (QList<Folder *>{a.get(), b.get()}));
    EXPECT_TRUE(b->setParent(a.get()));
    EXPECT_EQ(root->children(), QList<Folder *>{a.get()});
    EXPECT_EQ(a->children(), QList<Folder *>{b.get()});
}

TEST(Folder, RefusesToBecomeItsOwnAncestor)
{
    auto root = folder("root");
    auto child = folder("child", root.get());
    auto grandchild = folder("grandchild", child.get());
    EXPECT_FALSE(root->setParent(root.get()));
    EXPECT_FALSE(root->setParent(grandchild.get()));
    EXPECT_EQ(root->parent(), nullptr);
    EXPECT_TRUE(root->isAncestorOf(*grandchild));
    EXPECT_FALSE(grandchild->isAncestorOf(*root));
}

TEST(Folder, AllDescendantsIsDepthFirstPreOrder)
{
    auto root = folder("root");
    auto a = folder("A", root.get());
    auto b = folder("B", root.get());
    auto a1 = folder("A1", a.get());
    auto a1x = folder("A1x", a1.get());
    EXPECT_EQ(root->allDescendants(), (QList<Folder *>{a.get(), a1.get(), a1x.get(), b.get()}));
    EXPECT_TRUE(b->allDescendants().isEmpty());
}

TEST(Folder, AllDescendantsHandlesDeepTrees)
{
    std::vector<std::unique_ptr<Folder>> chain;
    chain.push_back(folder("0"));
    for (int i = 1; i < 20000; ++i)
        chain.push_back(folder("n", chain.back().get()));
    EXPECT_EQ(chain.front()->allDescendants().size(), 19999);
    // Tear down from the leaf so no destructor walks a long chain.
    while (!chain.empty())
        chain.pop_back();
}

TEST(Folder, SortedChildrenIsStable)
{
    auto root = folder("root");
    auto two = folder("two", root.get());
    auto zeroA = folder("zeroA", root.get());
    auto zeroB = folder("zeroB", root.get());
    two->setSortOrder(2);
    EXPECT_EQ(root->sortedChildren(), (QList<Folder *>{zeroA.get(), zeroB.get(), two.get()}));
}

TEST(Folder, DestroyingAFolderLeavesItsItemsUnfiled)
{
    auto f = folder("f");
    Item item(ItemType::WebLink, u"x"_s, std::nullopt, std::nullopt, f.get());
    EXPECT_EQ(item.folder(), f.get());
    f.reset();
    EXPECT_EQ(item.folder(), nullptr);
}
