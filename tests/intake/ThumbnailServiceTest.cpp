#include "TestFiles.h"
#include "TestPictures.h"

#include <intake/ItemImages.h>
#include <intake/ThumbnailService.h>
#include <model/Clock.h>
#include <model/Item.h>

#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QThreadPool>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quillory {
namespace {

using test::TestPictures;

// Random pixels barely compress, which makes big files out of modest images.
QImage noise(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(42);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = 0xff000000u | (random.generate() & 0xffffffu);
    }
    return image;
}

QByteArray encoded(const QImage &image, const char *format, int quality = 90)
{
    const QByteArray bytes = test::TestPictures::encoded(image, format, quality);
    EXPECT_FALSE(bytes.isEmpty());
    return bytes;
}

bool isJpeg(const QByteArray &bytes)
{
    return bytes.startsWith("\xff\xd8");
}

TEST(ThumbnailServiceTest, LongerSideBecomes400AndProportionsStay)
{
    struct Case
    {
        QSize input;
        QSize expected;
    };
    const Case cases[] = {
        {{1200, 800}, {400, 267}}, {{800, 1200}, {267, 400}},
        {{300, 200}, {300, 200}}, // re-encoded at its own size, never enlarged
        {{400, 400}, {400, 400}},  {{4000, 10}, {400, 1}},
    };
    for (const char *format : {"png", "jpeg"}) {
        for (const Case &c : cases) {
            const QByteArray input =
                encoded(TestPictures::twoTone(c.input.width(), c.input.height()), format);
            const auto thumbnail = ThumbnailService::shared().generateThumbnail(input);
            ASSERT_TRUE(thumbnail) << format;
            EXPECT_TRUE(isJpeg(*thumbnail));
            EXPECT_EQ(QImage::fromData(*thumbnail).size(), c.expected)
                << format << " " << c.input.width() << "x" << c.input.height();
        }
    }
}

TEST(ThumbnailServiceTest, PhotosComeOutTheWayTheyWereTaken)
{
    // Stored 1200 x 800 with the left half blue; orientation 6 means "turn 90 degrees
    // clockwise to show", so the blue half ends on top of a 267 x 400 thumbnail.
    const QByteArray photo =
        TestPictures::withExifOrientation(encoded(TestPictures::twoTone(1200, 800), "jpeg"), 6);
    const auto thumbnail = ThumbnailService::shared().generateThumbnail(photo);
    ASSERT_TRUE(thumbnail);
    const QImage image = QImage::fromData(*thumbnail);
    EXPECT_EQ(image.size(), QSize(267, 400));
    EXPECT_GT(qBlue(image.pixel(133, 20)), 200);
    EXPECT_GT(qRed(image.pixel(133, 380)), 200);
}

TEST(ThumbnailServiceTest, BytesThatAreNoImageGiveNothing)
{
    const QByteArray html = "<!doctype html><html><head><title>Hi</title></head></html>";
    EXPECT_FALSE(ThumbnailService::shared().generateThumbnail(html));
    EXPECT_FALSE(ThumbnailService::shared().compressForStorage(html));
    EXPECT_FALSE(ThumbnailService::shared().generateThumbnail(QByteArray()));
    // A JPEG header with nothing after it is no picture either.
    EXPECT_FALSE(ThumbnailService::shared().compressForStorage(
        encoded(TestPictures::twoTone(64, 64), "jpeg").left(20)));
}

TEST(ThumbnailServiceTest, TransparentPicturesAreLaidOnWhite)
{
    QImage image(100, 100, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const auto thumbnail = ThumbnailService::shared().generateThumbnail(encoded(image, "png"));
    ASSERT_TRUE(thumbnail);
    EXPECT_GT(qGray(QImage::fromData(*thumbnail).pixel(50, 50)), 240);
}

TEST(ThumbnailServiceTest, StorageKeepsBytesThatFitAndStepsQualityDownForThoseThatDoNot)
{
    const ThumbnailService service(200'000);
    const QByteArray small = encoded(TestPictures::twoTone(300, 200), "png");
    ASSERT_LT(small.size(), 200'000);
    EXPECT_EQ(service.compressForStorage(small), small);

    // Exactly at the limit is still accepted as it is.
    const QByteArray png = encoded(noise(200, 200), "png");
    EXPECT_EQ(ThumbnailService(png.size()).compressForStorage(png), png);
    const auto stored = ThumbnailService(png.size() - 1).compressForStorage(png);
    ASSERT_TRUE(stored);
    EXPECT_TRUE(isJpeg(*stored));
    EXPECT_LE(stored->size(), png.size() - 1);
    EXPECT_EQ(QImage::fromData(*stored).size(), QSize(200, 200));

    // A limit between two steps stops at the first factor that fits; when nothing fits a tiny
    // limit, the last factor's result is kept anyway.
    const QImage image = noise(300, 300);
    const QByteArray larger = encoded(image, "png");
    const auto at = [&image](double factor) {
        return ThumbnailService::jpegData(image, factor)->size();
    };
    const qint64 between = (at(0.55) + at(0.45)) / 2;
    EXPECT_EQ(ThumbnailService(between).compressForStorage(larger).value_or(QByteArray()).size(),
              at(0.45));
    const auto last = ThumbnailService(1000).compressForStorage(larger);
    ASSERT_TRUE(last);
    EXPECT_GT(last->size(), 1000);
    EXPECT_EQ(last->size(), at(0.05));
}

TEST(ThumbnailServiceTest, TenMebibyteLimitForRealPictures)
{
    // About 9 MiB and 11 MiB of PNG.
    const QByteArray nine = encoded(noise(1740, 1740), "png", 0);
    const QByteArray eleven = encoded(noise(1960, 1960), "png", 0);
    ASSERT_LT(nine.size(), ThumbnailService::defaultStorageLimit);
    ASSERT_GT(eleven.size(), ThumbnailService::defaultStorageLimit);
    EXPECT_EQ(ThumbnailService::shared().compressForStorage(nine), nine);
    const auto stored = ThumbnailService::shared().compressForStorage(eleven);
    ASSERT_TRUE(stored);
    EXPECT_TRUE(isJpeg(*stored));
    EXPECT_LE(stored->size(), ThumbnailService::defaultStorageLimit);
}

class ItemImagesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Clock::setSource([this] { return m_now; });
    }
    void TearDown() override { Clock::setSource({}); }

    QDateTime m_now = QDateTime(QDate(2026, 3, 5), QTime(15, 41), Qt::UTC);
};

TEST_F(ItemImagesTest, StoringStampsTheItemOnlyWhenThereIsAResult)
{
    Item item(ItemType::Screenshot, QStringLiteral("Shot"));
    const QDateTime created = item.modifiedAt();
    m_now = m_now.addSecs(60);

    ItemImages::setThumbnail(item, "not an image");
    ItemImages::setImage(item, "not an image");
    EXPECT_FALSE(item.hasThumbnailData());
    EXPECT_FALSE(item.hasImageData());
    EXPECT_EQ(item.modifiedAt(), created);

    const QByteArray png = encoded(TestPictures::twoTone(800, 600), "png");
    ItemImages::setImage(item, png);
    ItemImages::setThumbnail(item, png);
    EXPECT_EQ(item.imageData(), png);
    ASSERT_TRUE(item.thumbnailData());
    EXPECT_EQ(QImage::fromData(*item.thumbnailData()).size(), QSize(400, 300));
    EXPECT_EQ(item.modifiedAt(), m_now);
}

TEST_F(ItemImagesTest, BackgroundPreparationAnswersOnTheInterfaceThreadWhileItsContextLives)
{
    const QByteArray png = encoded(TestPictures::twoTone(1200, 800), "png");
    QObject context;
    std::optional<ItemImages::Prepared> result;
    QThread *answeredOn = nullptr;
    ItemImages::prepareInBackground(png, ItemImages::Forms::ImageAndThumbnail, &context,
                                    [&](const ItemImages::Prepared &prepared) {
                                        result = prepared;
                                        answeredOn = QThread::currentThread();
                                    });
    EXPECT_FALSE(result); // never synchronously
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 10000));
    EXPECT_EQ(answeredOn, QThread::currentThread());
    EXPECT_EQ(result->image, png);
    ASSERT_TRUE(result->thumbnail);

    Item item(ItemType::Image, QStringLiteral("Photo"));
    ItemImages::apply(item, *result);
    EXPECT_EQ(item.imageData(), png);
    EXPECT_EQ(item.thumbnailData(), result->thumbnail);

    // An answer for a context gone in the meantime is dropped.
    bool answered = false;
    {
        QObject gone;
        ItemImages::prepareInBackground(encoded(TestPictures::twoTone(2000, 1500), "png"),
                                        ItemImages::Forms::ThumbnailOnly, &gone,
                                        [&](const ItemImages::Prepared &) { answered = true; });
    }
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    QTest::qWait(50);
    EXPECT_FALSE(answered);
}

TEST_F(ItemImagesTest, OnlyRegularFilesAreRead)
{
    QTemporaryDir dir;
    const QByteArray jpeg = encoded(TestPictures::twoTone(900, 600), "jpeg");
    const QString path = test::writeTestFile(dir, QStringLiteral("photo.jpg"), jpeg);
    // Opening a FIFO for reading would wait for a writer for ever.
    const QString fifo = dir.filePath(QStringLiteral("pipe.jpg"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    EXPECT_EQ(ItemImages::readPictureFile(path), jpeg);
    EXPECT_FALSE(ItemImages::readPictureFile(fifo));
    EXPECT_FALSE(ItemImages::readPictureFile(dir.path()));
    EXPECT_FALSE(ItemImages::readPictureFile(dir.filePath(QStringLiteral("gone.jpg"))));

    QObject context;
    std::optional<ItemImages::Prepared> read;
    std::optional<ItemImages::Prepared> fromPipe;
    ItemImages::prepareFileInBackground(path, ItemImages::Forms::ImageAndThumbnail, &context,
                                        [&](const ItemImages::Prepared &p) { read = p; });
    ItemImages::prepareFileInBackground(fifo, ItemImages::Forms::ImageAndThumbnail, &context,
                                        [&](const ItemImages::Prepared &p) { fromPipe = p; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return read && fromPipe; }, 10000));
    EXPECT_EQ(read->image, jpeg);
    EXPECT_TRUE(read->thumbnail);
    EXPECT_FALSE(fromPipe->image);
    EXPECT_FALSE(fromPipe->thumbnail);
}

} // namespace
} // namespace quillory
