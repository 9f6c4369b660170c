#include <model/Item.h>
#include <views/window/ItemListModel.h>

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <random>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

// Items that only need to be told apart: the model compares pointers.
class ItemPool
{
public:
    Item *fresh()
    {
        m_items.push_back(std::make_unique<Item>(ItemType::WebLink, QString::number(m_items.size()),
                                                 std::nullopt, std::nullopt, nullptr));
        return m_items.back().get();
    }
    std::vector<Item *> fresh(int count)
    {
        std::vector<Item *> items;
        for (int i = 0; i < count; ++i)
            items.push_back(fresh());
        return items;
    }

private:
    std::vector<std::unique_ptr<Item>> m_items;
};

struct ModelUnderTest
{
    ItemListModel model;
    // Fails the test on any signal that disagrees with the rows before and after it.
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
    QItemSelectionModel selection{&model};
    QSignalSpy resets{&model, &QAbstractItemModel::modelReset};

    void select(Item *item)
    {
        selection.setCurrentIndex(model.index(model.rowOf(item)),
                                  QItemSelectionModel::ClearAndSelect);
    }
    Item *current() const { return model.itemAt(selection.currentIndex().row()); }
};

// The changes one refresh brings when one thing happened to the library.
enum class Change { InsertOne, RemoveOne, MoveOne, InsertRun, RemoveRun, InsertAndRemove };

std::vector<Item *> changed(std::vector<Item *> items, Change change, ItemPool &pool,
                            std::mt19937 &random)
{
    const auto at = [&](size_t end) {
        return std::uniform_int_distribution<size_t>(0, end)(random);
    };
    switch (change) {
    case Change::InsertOne:
        items.insert(items.begin() + qsizetype(at(items.size())), pool.fresh());
        break;
    case Change::RemoveOne:
        items.erase(items.begin() + qsizetype(at(items.size() - 1)));
        break;
    case Change::MoveOne: {
        const size_t from = at(items.size() - 1);
        Item *moved = items[from];
        items.erase(items.begin() + qsizetype(from));
        items.insert(items.begin() + qsizetype(at(items.size())), moved);
        break;
    }
    case Change::InsertRun: {
        const size_t row = at(items.size());
        for (int i = 0; i < 30; ++i)
            items.insert(items.begin() + qsizetype(row), pool.fresh());
        break;
    }
    case Change::RemoveRun: {
        const size_t row = at(items.size() - 10);
        items.erase(items.begin() + qsizetype(row), items.begin() + qsizetype(row + 10));
        break;
    }
    case Change::InsertAndRemove:
        for (int i = 0; i < 3; ++i) {
            items.erase(items.begin() + qsizetype(at(items.size() - 1)));
            items.insert(items.begin() + qsizetype(at(items.size())), pool.fresh());
        }
        break;
    }
    return items;
}

TEST(ItemListModel, SmallChangesMoveTheRowsThatChangedAndKeepTheSelection)
{
    ItemPool pool;
    ModelUnderTest m;
    std::vector<Item *> items = pool.fresh(200);
    m.model.setItems(items);
    std::mt19937 random(7);
    for (int step = 0; step < 600; ++step) {
        const auto change = Change(step % 6);
        Item *selected = items[std::uniform_int_distribution<size_t>(0, items.size() - 1)(random)];
        m.select(selected);
        const std::vector<Item *> next = changed(items, change, pool, random);
        m.model.setItems(next);
        ASSERT_EQ(m.model.items(), next) << "step " << step;
        ASSERT_EQ(m.resets.count(), 0) << "step " << step;
        // The selection model followed the rows on its own.
        if (std::find(next.cbegin(), next.cend(), selected) != next.cend()) {
            ASSERT_EQ(m.current(), selected) << "step " << step;
            ASSERT_TRUE(m.selection.isRowSelected(m.model.rowOf(selected))) << "step " << step;
        }
        items = next;
    }
}

TEST(ItemListModel, AnotherListResetsAndTheSameListOnlyRepaints)
{
    ItemPool pool;
    ModelUnderTest m;
    std::vector<Item *> items = pool.fresh(6000);
    m.model.setItems(items); // all rows inserted into an empty list
    EXPECT_EQ(m.resets.count(), 0);

    QSignalSpy repaints(&m.model, &QAbstractItemModel::dataChanged);
    m.model.setItems(items);
    EXPECT_EQ(repaints.count(), 1);
    EXPECT_EQ(m.resets.count(), 0);

    // Another query: most rows go, the rest reorder.
    std::vector<Item *> other(items.begin() + 100, items.begin() + 5000);
    std::shuffle(other.begin(), other.end(), std::mt19937(3));
    m.model.setItems(other);
    EXPECT_EQ(m.model.items(), other);
    EXPECT_EQ(m.resets.count(), 1);

    // Two rows swapped is more than one row moving.
    std::vector<Item *> swapped = other;
    std::swap(swapped[10], swapped[20]);
    std::swap(swapped[30], swapped[40]);
    m.model.setItems(swapped);
    EXPECT_EQ(m.model.items(), swapped);

    m.model.setItems({});
    EXPECT_EQ(m.model.rowCount(), 0);
}

TEST(ItemListModel, DeletedItemsLeaveAsRemovedRowsUnlessScatteredWide)
{
    ItemPool pool;
    ModelUnderTest m;
    std::vector<Item *> items = pool.fresh(300);
    m.model.setItems(items);
    Item *stranger = pool.fresh();
    const auto without = [](std::vector<Item *> list, const QList<Record *> &gone) {
        std::erase_if(list, [&](Item *i) { return gone.contains(i); });
        return list;
    };

    // One item, a run and a few apart, handed over in any order, with one never shown.
    const QList<Record *> few{items[120], items[5], items[6], items[7],
                              items[299], stranger, items[0], items[5]};
    m.select(items[200]);
    QSignalSpy removals(&m.model, &QAbstractItemModel::rowsRemoved);
    m.model.removeItems(few);
    items = without(items, few);
    EXPECT_EQ(m.model.items(), items);
    EXPECT_EQ(removals.count(), 4); // [0], [5, 7], [120], [299]
    EXPECT_EQ(m.resets.count(), 0);
    EXPECT_EQ(m.current(), items[195]);

    // Many, scattered over the list, are a reset; many in one run are not.
    QList<Record *> run(items.begin() + 40, items.begin() + 90);
    m.model.removeItems(run);
    items = without(items, run);
    EXPECT_EQ(m.model.items(), items);
    EXPECT_EQ(m.resets.count(), 0);
    QList<Record *> scattered;
    for (size_t i = 0; i < items.size(); i += 3)
        scattered.append(items[i]);
    m.model.removeItems(scattered);
    items = without(items, scattered);
    EXPECT_EQ(m.model.items(), items);
    EXPECT_EQ(m.resets.count(), 1);

    m.model.removeItems({stranger});
    EXPECT_EQ(m.model.items(), items);
}

TEST(ItemListModel, SnippetsFollowTheirRows)
{
    ItemPool pool;
    ModelUnderTest m;
    std::vector<Item *> items = pool.fresh(20);
    m.model.setItems(items);
    Item *found = pool.fresh();
    items.push_back(found);
    const auto snippet = [](const QString &text, qsizetype start, qsizetype length) {
        PageMatch match;
        match.snippet = text;
        match.marks = {{start, length}};
        return match;
    };
    QSignalSpy inserted(&m.model, &QAbstractItemModel::rowsInserted);
    m.model.setItems(items, {{found, snippet(u"a walled garden"_s, 9, 6)}});
    EXPECT_EQ(inserted.count(), 1);
    const QModelIndex row = m.model.index(20);
    EXPECT_EQ(row.data(ItemListModel::SnippetRole).toString(), u"a walled garden"_s);
    const auto marks =
        row.data(ItemListModel::SnippetMarksRole).value<QList<std::pair<qsizetype, qsizetype>>>();
    EXPECT_EQ(marks, (QList<std::pair<qsizetype, qsizetype>>{{9, 6}}));
    EXPECT_FALSE(m.model.index(0).data(ItemListModel::SnippetRole).isValid());

    // The same rows with another snippet are repainted, not left showing the old one.
    QSignalSpy repaints(&m.model, &QAbstractItemModel::dataChanged);
    items.insert(items.begin(), pool.fresh());
    m.model.setItems(items, {{found, snippet(u"the garden wall"_s, 4, 6)}});
    EXPECT_EQ(repaints.count(), 1);
    EXPECT_EQ(m.model.index(21).data(ItemListModel::SnippetRole).toString(), u"the garden wall"_s);
    EXPECT_EQ(m.resets.count(), 0);

    m.model.removeItems({found});
    EXPECT_FALSE(m.model.hasSnippet(found)) << "nothing is kept for a destroyed item";
    items.pop_back();
    m.model.setItems(items);
    EXPECT_FALSE(m.model.index(0).data(ItemListModel::SnippetRole).isValid());
}

} // namespace
