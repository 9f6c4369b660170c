#include <views/window/ItemGridView.h>

#include <QAccessible>
#include <QApplication>
#include <QScrollBar>
#include <QStringListModel>
#include <QTest>
#include <gtest/gtest.h>

using namespace quillory;

namespace {

class ItemGridViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QStringList rows;
        for (int i = 0; i < 101; ++i)
            rows << QString::number(i);
        m_model.setStringList(rows);
        m_view.setModel(&m_model);
        m_view.setSelectionMode(QAbstractItemView::SingleSelection);
        m_view.setFrameShape(QFrame::NoFrame);
        // Three cards of 90 x 50 to a line of 330 pixels, in cells of 100 x 60.
        m_view.setCards(QSize(100, 60), QSize(90, 50));
        m_view.resize(330 + m_view.verticalScrollBar()->sizeHint().width(), 200);
        m_view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_view));
        ASSERT_EQ(m_view.viewport()->width(), 330);
    }

    QModelIndex at(int row) const { return m_model.index(row); }

    QStringListModel m_model;
    ItemGridView m_view;
};

TEST_F(ItemGridViewTest, EveryRowHasItsCellAndTheGapsAreNobodys)
{
    QScrollBar *bar = m_view.verticalScrollBar();
    EXPECT_EQ(bar->maximum(), 34 * 60 - m_view.viewport()->height()); // 101 cards, 34 lines
    bar->setValue(1000);
    for (int row = 0; row < m_model.rowCount(); ++row) {
        const QRect rect = m_view.visualRect(at(row));
        ASSERT_EQ(rect, QRect((row % 3) * 100, (row / 3) * 60 - 1000, 90, 50)) << row;
        if (rect.top() >= 0 && rect.bottom() < m_view.viewport()->height()) {
            EXPECT_EQ(m_view.indexAt(rect.center()), at(row));
            EXPECT_FALSE(m_view.indexAt(rect.bottomRight() + QPoint(5, 0)).isValid());
            EXPECT_FALSE(m_view.indexAt(rect.bottomRight() + QPoint(0, 5)).isValid());
        }
    }
    // Past the last card of the short last line, and past the last cell of a line.
    bar->setValue(bar->maximum());
    const QRect last = m_view.visualRect(at(100));
    EXPECT_FALSE(m_view.indexAt(last.center() + QPoint(100, 0)).isValid());
    EXPECT_FALSE(m_view.indexAt(QPoint(320, 5)).isValid());
}

TEST_F(ItemGridViewTest, RowsFillTheWidthAndFollowTheCount)
{
    m_view.setRows(40, 1);
    EXPECT_EQ(m_view.visualRect(at(2)), QRect(1, 2 * 42 + 1, 328, 40));
    EXPECT_EQ(m_view.indexAt(QPoint(300, 2 * 42 + 20)), at(2));
    QScrollBar *bar = m_view.verticalScrollBar();
    EXPECT_EQ(bar->maximum(), 101 * 42 - m_view.viewport()->height());
    bar->setValue(2000);
    m_model.removeRows(90, 1);
    EXPECT_EQ(bar->maximum(), 100 * 42 - m_view.viewport()->height());
    EXPECT_EQ(bar->value(), 2000);
    m_model.insertRows(0, 5);
    EXPECT_EQ(bar->maximum(), 105 * 42 - m_view.viewport()->height());
    EXPECT_EQ(bar->value(), 2000);
}

TEST_F(ItemGridViewTest, KeysMoveByCardAndByLine)
{
    m_view.setFocus();
    m_view.setCurrentIndex(at(4));
    const auto press = [&](Qt::Key key) {
        QTest::keyClick(&m_view, key);
        return m_view.currentIndex().row();
    };
    EXPECT_EQ(press(Qt::Key_Down), 7);
    EXPECT_EQ(press(Qt::Key_Right), 8);
    EXPECT_EQ(press(Qt::Key_Up), 5);
    EXPECT_EQ(press(Qt::Key_Left), 4);
    EXPECT_EQ(press(Qt::Key_End), 100);
    EXPECT_EQ(press(Qt::Key_Down), 100);
    EXPECT_EQ(press(Qt::Key_Left), 99);
    EXPECT_EQ(press(Qt::Key_Down), 99);
    m_view.setCurrentIndex(at(98)); // the line above holds 96..98; the last line only 99, 100
    EXPECT_EQ(press(Qt::Key_Down), 100);
    EXPECT_EQ(press(Qt::Key_Home), 0);
    EXPECT_EQ(press(Qt::Key_Up), 0);
    EXPECT_EQ(press(Qt::Key_PageDown), 9); // three lines of 60 fit the viewport's 200 pixels
    // The cursor is kept in view.
    EXPECT_EQ(press(Qt::Key_End), 100);
    const QRect shown = m_view.visualRect(at(100));
    EXPECT_TRUE(m_view.viewport()->rect().contains(shown)) << shown.y();
}

TEST_F(ItemGridViewTest, AScreenReaderFindsEachItemWhereItIsDrawn)
{
    QAccessibleInterface *view = QAccessible::queryAccessibleInterface(&m_view);
    ASSERT_NE(view, nullptr);
    QAccessibleTableInterface *table = view->tableInterface();
    ASSERT_NE(table, nullptr) << "role " << int(view->role());
    EXPECT_EQ(table->rowCount(), 101);
    m_view.verticalScrollBar()->setValue(130);
    QAccessibleInterface *cell = table->cellAt(7, 0);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->text(QAccessible::Name), QStringLiteral("7"));
    const QRect drawn = m_view.visualRect(at(7));
    EXPECT_EQ(cell->rect(), QRect(m_view.viewport()->mapToGlobal(drawn.topLeft()), drawn.size()));
}

} // namespace
