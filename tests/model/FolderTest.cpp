#include <model/Folder.h>

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

TEST(Folder, TreeLinksStayInStepRefuseCyclesAndListInOrder)
{
    auto root = folder("root");
    auto a = folder("a", root.get());
    auto b = folder("b");
    EXPECT_EQ(root->children(), QList<Folder *>{a.get()});
    EXPECT_TRUE(b->setParent(root.get()));
    EXPECT_EQ(root->children(), (QList<Folder *>{a.get(), b.get()}));
    auto zero = folder("zero", root.get());
    a->setSortOrder(2);
    EXPECT_EQ(root->sortedChildren(), (QList<Folder *>{b.get(), zero.get(), a.get()}))
        << "equal sort orders keep their order";
    EXPECT_TRUE(b->setParent(a.get()));
    EXPECT_EQ(root->children(), (QList<Folder *>{a.get(), zero.get()}));
    EXPECT_EQ(a->children(), QList<Folder *>{b.get()});

    auto b1 = folder("b1", b.get());
    EXPECT_EQ(root->allDescendants(), (QList<Folder *>{a.get(), b.get(), b1.get(), zero.get()}))
        << "depth first, pre-order";
    EXPECT_TRUE(zero->allDescendants().isEmpty());
    EXPECT_FALSE(root->setParent(root.get()));
    EXPECT_FALSE(root->setParent(b1.get()));
    EXPECT_EQ(root->parent(), nullptr);
    EXPECT_TRUE(root->isAncestorOf(*b1));
    EXPECT_FALSE(b1->isAncestorOf(*root));
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
