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

TEST(FlowLayout, ArrangesChildrenInRows)
{
    const struct
    {
        const char *name;
        QList<QSize> sizes;
        int spacing;
        int width;
        QList<QPoint> positions;
        QSize size;
    } cases[] = {
        {"wraps when the next child would pass the width",
         {{40, 20}, {40, 20}, {40, 20}},
         6,
         100,
         {{0, 0}, {46, 0}, {0, 26}},
         {92, 46}},
        {"a row is as high as its tallest child",
         {{30, 10}, {30, 25}, {30, 10}},
         4,
         70,
         {{0, 0}, {34, 0}, {0, 29}},
         {68, 39}},
        {"a child too wide sits alone on its row, unshrunk",
         {{40, 20}, {150, 30}, {40, 20}},
         6,
         100,
         {{0, 0}, {0, 26}, {0, 62}},
         {156, 82}},
        {"even as the first", {{150, 30}, {40, 20}}, 6, 100, {{0, 0}, {0, 36}}, {156, 56}},
        {"unlimited width is one row",
         {{40, 20}, {40, 20}, {40, 20}, {40, 20}},
         6,
         FlowLayout::unlimitedWidth,
         {{0, 0}, {46, 0}, {92, 0}, {138, 0}},
         {184, 20}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const auto result = FlowLayout::arrange(c.sizes, c.spacing, c.width);
        EXPECT_EQ(result.positions, c.positions);
        EXPECT_EQ(result.size, c.size);
    }
}

TEST(FlowLayout, PlacesChildWidgetsHiddenOnesLeavingNoGapAndFollowsTheWidgetsWidth)
{
    EXPECT_EQ(FlowLayout::arrange({}, 6, 100).size, QSize(0, 0));
    QWidget host;
    auto *layout = new FlowLayout(&host, 6);
    EXPECT_EQ(layout->sizeHint(), QSize(0, 0));
    EXPECT_EQ(layout->heightForWidth(100), 0);
    QList<Chip *> chips;
    for (int i = 0; i < 4; ++i) {
        chips.append(new Chip(QSize(40, 20), &host));
        layout->addWidget(chips.last());
    }
    chips[1]->hide();
    EXPECT_TRUE(host.hasHeightForWidth());
    EXPECT_EQ(layout->heightForWidth(100), 46);
    EXPECT_EQ(layout->heightForWidth(200), 20);
    EXPECT_EQ(host.heightForWidth(100), 46);
    EXPECT_EQ(layout->sizeHint(), QSize(138, 20));
    layout->setGeometry(QRect(5, 7, 100, 300));
    EXPECT_EQ(chips[0]->geometry(), QRect(5, 7, 40, 20));
    EXPECT_EQ(chips[2]->geometry(), QRect(51, 7, 40, 20));
    EXPECT_EQ(chips[3]->geometry(), QRect(5, 33, 40, 20));

    chips[1]->show();
    for (const auto &[width, second, third, fourth] :
         {std::tuple{140, QPoint(46, 0), QPoint(92, 0), QPoint(0, 26)},
          std::tuple{90, QPoint(46, 0), QPoint(0, 26), QPoint(46, 26)}}) {
        host.resize(width, 100);
        host.show();
        layout->activate();
        EXPECT_EQ(chips[1]->pos(), second) << width;
        EXPECT_EQ(chips[2]->pos(), third) << width;
        EXPECT_EQ(chips[3]->pos(), fourth) << width;
    }
}
