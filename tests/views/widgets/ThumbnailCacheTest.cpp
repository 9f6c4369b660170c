#include "TestPictures.h"

#include <model/Item.h>
#include <views/widgets/ThumbnailCache.h>

#include <QImage>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::TestPictures;

namespace {

bool isBlue(QRgb pixel)
{
    return qBlue(pixel) > 200 && qRed(pixel) < 60;
}

bool isRed(QRgb pixel)
{
    return qRed(pixel) > 200 && qBlue(pixel) < 60;
}

TEST(ThumbnailCache, FillsTheCellWithTheCentreOfThePicture)
{
    // Blue on the left, red on the right; a square cell shows the middle, half of each.
    ThumbnailCache cache;
    Item item(ItemType::Image, u"wide"_s);
    item.setThumbnailData(TestPictures::encoded(TestPictures::twoTone(1600, 400), "png"));
    const QImage cell = cache.picture(item, QSize(100, 100), ThumbnailCache::Source::ThumbnailOnly);
    ASSERT_EQ(cell.size(), QSize(100, 100));
    EXPECT_TRUE(isBlue(cell.pixel(10, 50)));
    EXPECT_TRUE(isRed(cell.pixel(90, 50)));
}

TEST(ThumbnailCache, TurnsPhotosAndNeverEnlarges)
{
    ThumbnailCache cache;
    // Stored 1200 x 800 with the left half blue; orientation 6 shows it turned clockwise, so
    // a portrait cell has blue on top.
    Item photo(ItemType::Image, u"photo"_s);
    photo.setImageData(TestPictures::withExifOrientation(
        TestPictures::encoded(TestPictures::twoTone(1200, 800), "jpeg"), 6));
    const QImage turned =
        cache.picture(photo, QSize(150, 200), ThumbnailCache::Source::ThumbnailOrImage);
    ASSERT_EQ(turned.size(), QSize(150, 200));
    EXPECT_TRUE(isBlue(turned.pixel(75, 10)));
    EXPECT_TRUE(isRed(turned.pixel(75, 190)));
    // The same size is answered from the cache, whatever source is asked for.
    EXPECT_EQ(cache.picture(photo, QSize(150, 200), ThumbnailCache::Source::ThumbnailOnly), turned);

    Item small(ItemType::Image, u"small"_s);
    small.setThumbnailData(TestPictures::encoded(TestPictures::twoTone(60, 40), "png"));
    const QImage cell =
        cache.picture(small, QSize(200, 150), ThumbnailCache::Source::ThumbnailOnly);
    EXPECT_LE(cell.width(), 60);
    EXPECT_LE(cell.height(), 40);
}

TEST(ThumbnailCache, ForgottenItemsAreDecodedAgain)
{
    ThumbnailCache cache;
    Item item(ItemType::Image, u"changing"_s);
    item.setThumbnailData(TestPictures::encoded(TestPictures::twoTone(200, 200), "png"));
    const QSize size(40, 40);
    EXPECT_TRUE(
        isBlue(cache.picture(item, size, ThumbnailCache::Source::ThumbnailOnly).pixel(2, 20)));

    QImage red(200, 200, QImage::Format_RGB32);
    red.fill(Qt::red);
    item.setThumbnailData(TestPictures::encoded(red, "png"));
    EXPECT_TRUE(
        isBlue(cache.picture(item, size, ThumbnailCache::Source::ThumbnailOnly).pixel(2, 20)));
    cache.forget(item.id());
    EXPECT_TRUE(
        isRed(cache.picture(item, size, ThumbnailCache::Source::ThumbnailOnly).pixel(2, 20)));

    Item none(ItemType::WebLink, u"no picture"_s);
    EXPECT_TRUE(cache.picture(none, size, ThumbnailCache::Source::ThumbnailOrImage).isNull());
}

} // namespace
