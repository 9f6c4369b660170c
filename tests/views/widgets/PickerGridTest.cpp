#include <model/HexColor.h>
#include <state/AppInfo.h>
#include <views/widgets/ColorPickerGrid.h>
#include <views/widgets/IconPickerGrid.h>

#include <QAbstractButton>
#include <QLayout>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

QStringList checkedNames(const QWidget &grid)
{
    QStringList names;
    for (const QAbstractButton *cell : grid.findChildren<QAbstractButton *>()) {
        if (cell->isChecked())
            names.append(cell->accessibleName());
    }
    return names;
}

QAbstractButton *cellNamed(const QWidget &grid, const QString &name)
{
    for (QAbstractButton *cell : grid.findChildren<QAbstractButton *>()) {
        if (cell->accessibleName() == name)
            return cell;
    }
    return nullptr;
}

int cellsInFirstRow(const QWidget &grid)
{
    int count = 0;
    for (const QAbstractButton *cell : grid.findChildren<QAbstractButton *>())
        count += cell->y() == 0 ? 1 : 0;
    return count;
}

} // namespace

TEST(IconPickerGrid, OneCellPerIconAndPressingOneSelectsAndHighlightsOnlyIt)
{
    IconPickerGrid grid(IconPickerGrid::folderIcons());
    ASSERT_EQ(grid.findChildren<QAbstractButton *>().size(), 35);
    for (const QString &icon : IconPickerGrid::folderIcons()) {
        QAbstractButton *cell = cellNamed(grid, icon);
        ASSERT_NE(cell, nullptr) << icon.toStdString();
        EXPECT_EQ(cell->toolTip(), icon);
        EXPECT_EQ(cell->size(), QSize(36, 36));
    }
    EXPECT_TRUE(checkedNames(grid).isEmpty());
    grid.setSelectedIcon(u"folder"_s);
    grid.show();
    QSignalSpy changed(&grid, &IconPickerGrid::selectedIconChanged);
    QTest::mouseClick(cellNamed(grid, u"star"_s), Qt::LeftButton);
    EXPECT_EQ(grid.selectedIcon(), u"star"_s);
    EXPECT_EQ(checkedNames(grid), QStringList{u"star"_s});
    // Pressing the selected cell again keeps it selected.
    QTest::mouseClick(cellNamed(grid, u"star"_s), Qt::LeftButton);
    EXPECT_EQ(checkedNames(grid), QStringList{u"star"_s});
    EXPECT_EQ(changed.count(), 1);

    // The highlight is really drawn: a blue tint behind the selected cell only.
    const QImage selected = grid.cell(u"star"_s)->grab().toImage();
    const QImage plain = grid.cell(u"heart"_s)->grab().toImage();
    const QColor tinted = selected.pixelColor(3, 18);
    EXPECT_GT(tinted.blue(), tinted.red() + 20);
    EXPECT_NE(tinted, plain.pixelColor(3, 18));
}

TEST(PickerGrids, ColumnsFollowTheWidth)
{
    IconPickerGrid grid(IconPickerGrid::folderIcons());
    EXPECT_EQ(grid.heightForWidth(5 * 44 - 8), 7 * 36 + 6 * 8);
    grid.resize(5 * 44 - 8, 400);
    grid.show();
    grid.layout()->activate();
    EXPECT_EQ(cellsInFirstRow(grid), 5);
    grid.resize(7 * 44, 400);
    EXPECT_EQ(cellsInFirstRow(grid), 7);
    grid.resize(43, 400);
    EXPECT_EQ(cellsInFirstRow(grid), 1);

    // The colour swatches keep columns of 44 pixels too.
    ColorPickerGrid colours(AppInfo::colorPalette());
    colours.resize(8 * 44, 200);
    colours.show();
    colours.layout()->activate();
    EXPECT_EQ(cellsInFirstRow(colours), 8);
    for (const QAbstractButton *cell : colours.findChildren<QAbstractButton *>())
        EXPECT_EQ(cell->x() % 44, 0);
}

TEST(ColorPickerGrid, OneSwatchPerColourPressedOrReadBackFromText)
{
    const QList<QColor> &palette = AppInfo::colorPalette();
    ColorPickerGrid grid(palette);
    ASSERT_EQ(grid.findChildren<QAbstractButton *>().size(), palette.size());
    for (const QColor &color : palette)
        EXPECT_NE(cellNamed(grid, HexColor::toHexOrDefault(color)), nullptr);
    grid.setSelectedColor(palette.first());
    grid.show();
    QSignalSpy changed(&grid, &ColorPickerGrid::selectedColorChanged);
    const QString red = HexColor::toHexOrDefault(palette[4]);
    QTest::mouseClick(cellNamed(grid, red), Qt::LeftButton);
    EXPECT_EQ(HexColor::toHexOrDefault(grid.selectedColor()), red);
    EXPECT_EQ(checkedNames(grid), QStringList{red});
    EXPECT_EQ(changed.count(), 1);

    const QString teal = HexColor::toHexOrDefault(palette[9]);
    grid.setSelectedColor(HexColor::fromHex(teal));
    EXPECT_EQ(checkedNames(grid), QStringList{teal});
    grid.setSelectedColor(QColor(1, 2, 3));
    EXPECT_TRUE(checkedNames(grid).isEmpty());
}
