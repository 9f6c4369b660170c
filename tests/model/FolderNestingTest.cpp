#include <model/Folder.h>
#include <model/FolderNesting.h>

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <numeric>
#include <random>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype cap = FolderNesting::maxDepth;

qsizetype depthOf(const std::vector<qsizetype> &parents, qsizetype folder)
{
    qsizetype depth = 0;
    for (qsizetype f = folder; f >= 0; f = parents[size_t(f)])
        ++depth;
    return depth;
}

// Folder i's parent is i - 1, listed in a shuffled order.
std::vector<qsizetype> shuffledChain(qsizetype length, std::vector<qsizetype> &order)
{
    order.resize(size_t(length));
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    std::vector<qsizetype> place(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        place[size_t(order[i])] = qsizetype(i);
    std::vector<qsizetype> parents(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        parents[i] = order[i] == 0 ? -1 : place[size_t(order[i] - 1)];
    return parents;
}

} // namespace

TEST(FolderNesting, AChainIsCutAtTheDeepestLevelInAnyOrder)
{
    constexpr qsizetype length = 100'000;
    std::vector<qsizetype> order;
    std::vector<qsizetype> parents = shuffledChain(length, order);
    const std::vector<qsizetype> before = parents;
    EXPECT_EQ(FolderNesting::cap(parents), length - cap);
    std::vector<qsizetype> place(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        place[size_t(order[i])] = qsizetype(i);
    const qsizetype anchor = place[size_t(cap - 2)]; // the chain's folder on level cap - 1
    for (qsizetype level = 0; level < length; ++level) {
        const qsizetype f = place[size_t(level)];
        if (level < cap) {
            EXPECT_EQ(parents[size_t(f)], before[size_t(f)]) << "level " << level + 1;
        } else {
            ASSERT_EQ(parents[size_t(f)], anchor) << "level " << level + 1;
            ASSERT_EQ(depthOf(parents, f), cap);
        }
    }
    EXPECT_EQ(FolderNesting::cap(parents), 0) << "a cut tree stays as it is";
}

TEST(FolderNesting, BranchesBelowTheCutGoToTheirOwnAncestor)
{
    // Two chains of 70 levels under one root, and a shallow tree.
    std::vector<qsizetype> parents{-1};
    for (int chain = 0; chain < 2; ++chain) {
        qsizetype above = 0;
        for (qsizetype level = 2; level <= 70; ++level) {
            parents.push_back(above);
            above = qsizetype(parents.size()) - 1;
        }
    }
    parents.push_back(-1);
    parents.push_back(qsizetype(parents.size()) - 1);
    const std::vector<qsizetype> before = parents;
    EXPECT_EQ(FolderNesting::cap(parents), 2 * (70 - cap));
    for (size_t f = 0; f < parents.size(); ++f) {
        ASSERT_LE(depthOf(parents, qsizetype(f)), cap);
        if (parents[f] != before[f]) {
            // Its ancestor on level cap - 1 in the tree as it was.
            qsizetype up = before[f];
            while (depthOf(before, up) > cap - 1)
                up = before[size_t(up)];
            EXPECT_EQ(parents[f], up);
        }
    }
}

TEST(FolderNesting, LinkingCutsCyclesAndDeepTreesAndKeepsTheOrderGiven)
{
    constexpr int length = 20'000;
    std::vector<std::unique_ptr<Folder>> chain;
    std::vector<std::pair<Folder *, Folder *>> links;
    for (int i = 0; i < length; ++i) {
        chain.push_back(std::make_unique<Folder>(QString::number(i), u"folder"_s, QColor()));
        links.emplace_back(chain.back().get(), i == 0 ? nullptr : chain[size_t(i - 1)].get());
    }
    // A pair that names each other, and a folder that names itself.
    auto a = std::make_unique<Folder>(u"a"_s, u"folder"_s, QColor());
    auto b = std::make_unique<Folder>(u"b"_s, u"folder"_s, QColor());
    auto self = std::make_unique<Folder>(u"self"_s, u"folder"_s, QColor());
    links.emplace_back(a.get(), b.get());
    links.emplace_back(b.get(), a.get());
    links.emplace_back(self.get(), self.get());
    std::reverse(links.begin(), links.end());

    const std::vector<Folder *> moved = FolderNesting::link(links);
    EXPECT_EQ(qsizetype(moved.size()), length - cap);
    const Folder *anchor = chain[size_t(cap - 2)].get();
    EXPECT_EQ(anchor->children().size(), length - cap + 1);
    EXPECT_EQ(anchor->children().first(), chain[size_t(cap - 1)].get()) << "its own child first";
    for (int i = cap; i < length; ++i)
        ASSERT_EQ(chain[size_t(i)]->parent(), anchor);
    EXPECT_EQ(self->parent(), nullptr);
    EXPECT_TRUE((a->parent() == nullptr) != (b->parent() == nullptr)) << "cut at one link";

    while (!chain.empty()) // from the leaves up: no destructor walks a long chain
        chain.pop_back();
}
