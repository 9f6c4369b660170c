#include <views/widgets/FlowLayout.h>

#include <QWidget>
#include <gtest/gtest.h>

using namespace quillory;

namespace {

class Chip final : public QWidget
{
public:
    Chip(QSize size, QWidget *parent) : QWidget(parent), m_size(size) {}
    QSize sizeHint() const override { return m_size; }

private:
    QSize m_size;
};

} // namespace

TEST(FlowLayout, WrapsWhenTheNextChildWouldPassTheWidth)
{
    const auto result = FlowLayout::arrange({{40, 20}, {40, 20}, {40, 20}}, 6, 100);
    ASSERT_EQ(result.positions.size(), 3);
    EXPECT_EQ(result.positions[0], QPoint(0, 0));
    EXPECT_EQ(result.positions[1], QPoint(46, 0));
    EXPECT_EQ(result.positions[2], QPoint(0, 26));
    EXPECT_EQ(result.size, QSize(92, 46));
}

TEST(FlowLayout, RowHeightIsTheTallestChildOfTheRow)
{
    const auto result = FlowLayout::arrange({{30, 10}, {30, 25}, {30, 10}}, 4, 70);
    EXPECT_EQ(result.positions[2], QPoint(0, 29));
    EXPECT_EQ(result.size.height(), 39);
}

TEST(FlowLayout, TooWideChildSitsAloneOnItsRowUnshrunk)
{
    const auto result = FlowLayout::arrange({{40, 20}, {150, 30}, {40, 20}}, 6, 100);
    EXPECT_EQ(result.positions[0], QPoint(0, 0));
    EXPECT_EQ(result.positions[1], QPoint(0, 26));
    EXPECT_EQ(result.positions[2], QPoint(0, 62));
    EXPECT_EQ(result.size, QSize(156, 82));

    const auto first = FlowLayout::arrange({{150, 30}, {40, 20}}, 6, 100);
    EXPECT_EQ(first.positions[0], QPoint(0, 0));
    EXPECT_EQ(first.positions[1], QPoint(0, 36));
}

TEST(FlowLayout, NoChildrenTakeNoSpace)
{
    EXPECT_EQ(FlowLayout::arrange({}, 6, 100).size, QSize(0, 0));
    QWidget host;
    auto *layout = new FlowLayout(&host, 6);
    EXPECT_EQ(layout->sizeHint(), QSize(0, 0));
    EXPECT_EQ(layout->heightForWidth(100), 0);
}

TEST(FlowLayout, UnlimitedWidthIsOneRow)
{
    const auto result = FlowLayout::arrange({{40, 20}, {40, 20}, {40, 20}, {40, 20}}, 6,
                                            FlowLayout::unlimitedWidth);
    EXPECT_EQ(result.positions[3], QPoint(138, 0));
    EXPECT_EQ(result.size, QSize(184, 20));
}

TEST(FlowLayout, PlacesChildWidgetsAtTheirMeasuredSizes)
{
    QWidget host;
    auto *layout = new FlowLayout(&host, 6);
    QList<Chip *> chips;
    for (int i = 0; i < 3; ++i) {
        chips.append(new Chip(QSize(40, 20), &host));
        layout->addWidget(chips.last());
    }
    EXPECT_TRUE(host.hasHeightForWidth());
    EXPECT_EQ(layout->heightForWidth(100), 46);
    EXPECT_EQ(layout->heightForWidth(200), 20);
    EXPECT_EQ(host.heightForWidth(100), 46);
    EXPECT_EQ(layout->sizeHint(), QSize(138, 20));

    layout->setGeometry(QRect(5, 7, 100, 300));
    EXPECT_EQ(chips[0]->geometry(), QRect(5, 7, 40, 20));
    EXPECT_EQ(chips[1]->geometry(), QRect(51, 7, 40, 20));
    EXPECT_EQ(chips[2]->geometry(), QRect(5, 33, 40, 20));
}

TEST(FlowLayout, FollowsTheWidgetWhenItIsResized)
{
    QWidget host;
    auto *layout = new FlowLayout(&host, 6);
    QList<Chip *> chips;
    for (int i = 0; i < 4; ++i) {
        chips.append(new Chip(QSize(40, 20), &host));
        layout->addWidget(chips.last());
    }
    host.resize(140, 100);
    host.show();
    layout->activate();
    EXPECT_EQ(chips[2]->pos(), QPoint(92, 0));
    EXPECT_EQ(chips[3]->pos(), QPoint(0, 26));

    host.resize(90, 100);
    layout->activate();
    EXPECT_EQ(chips[1]->pos(), QPoint(46, 0));
    EXPECT_EQ(chips[2]->pos(), QPoint(0, 26));
    EXPECT_EQ(chips[3]->pos(), QPoint(46, 26));
}

TEST(FlowLayout, HiddenChildrenLeaveNoGap)
{
    QWidget host;
    auto *layout = new FlowLayout(&host, 6);
    auto *a = new Chip(QSize(40, 20), &host);
    auto *hidden = new Chip(QSize(40, 20), &host);
    auto *b = new Chip(QSize(40, 20), &host);
    layout->addWidget(a);
    layout->addWidget(hidden);
    layout->addWidget(b);
    hidden->hide();
    layout->setGeometry(QRect(0, 0, 100, 100));
    EXPECT_EQ(b->pos(), QPoint(46, 0));
    EXPECT_EQ(layout->heightForWidth(100), 20);
}
