#include "Eventually.h"
#include "IntakeBench.h"
#include "PeakMemory.h"
#include "ScopedEnv.h"
#include "TestFiles.h"
#include "TestHttpServer.h"
#include "TestPictures.h"

#include <inbox/InboxFiles.h>
#include <inbox/InboxLayout.h>
#include <inbox/PictureLimits.h>
#include <intake/PendingItemsService.h>
#include <intake/ThumbnailService.h>
#include <util/ImageDecoder.h>

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QMimeData>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::PeakMemory;
using quillory::test::TestHttpServer;
using quillory::test::TestPictures;

// A progressive JPEG of a few hundred bytes that declares 45000 x 45000 pixels took 6 GB to
// decode at thumbnail size: libjpeg allocated the coefficients of the whole picture. Each way
// a picture comes in must refuse it for no more than this growth of the peak memory.
using quillory::test::ScopedEnv;

namespace {

constexpr qint64 budgetKiB = 64 * 1024;

QByteArray progressiveDeclaring(QSize declared)
{
    return TestPictures::declaringSize(TestPictures::progressiveJpeg(TestPictures::twoTone(16, 16)),
                                       "jpeg", declared);
}

QByteArray bomb()
{
    return progressiveDeclaring(QSize(45000, 45000));
}

// The growth of the peak resident memory from its construction on.
class MemoryWatch
{
public:
    MemoryWatch()
    {
        EXPECT_TRUE(PeakMemory::reset());
        m_start = PeakMemory::peakKiB();
    }
    qint64 growthKiB() const { return PeakMemory::peakKiB() - m_start; }

private:
    qint64 m_start = 0;
};

// The smallest GIF: Qt writes none.
QByteArray tinyGif()
{
    return QByteArray::fromHex("474946383961"         // GIF89a
                               "01000100800000"       // one pixel, two colours
                               "000000ffffff"         // black and white
                               "2c000000000100010000" // the image's place and size
                               "0202440100"           // its pixel
                               "3b");
}

// A library to add the pictures to.
class OversizedPicturesTest : public ::testing::Test, protected quillory::test::IntakeBench
{
};

} // namespace

TEST(OversizedPictures, EveryFormatIsRefusedFromItsHeader)
{
    const QImage image = TestPictures::twoTone(32, 24);
    const struct
    {
        const char *format;
        QByteArray bytes;
        QList<QSize> declared;
    } cases[] = {
        {"jpeg",
         TestPictures::encoded(image, "jpeg"),
         {{45000, 45000}, {16385, 16}, {16, 16385}, {9000, 8000}}},
        {"jpeg",
         TestPictures::progressiveJpeg(image),
         {{45000, 45000}, {16385, 16}, {16, 16385}, {9000, 8000}}},
        {"png", TestPictures::encoded(image, "png"), {{45000, 45000}, {16385, 16}, {9000, 8000}}},
        {"gif", tinyGif(), {{45000, 45000}, {16385, 16}, {9000, 8000}}},
        // Qt's own reader refuses more than 16384 x 16384.
        {"bmp", TestPictures::encoded(image, "bmp"), {{16385, 16}, {9000, 8000}}},
        {"webp", TestPictures::encoded(image, "webp"), {{16383, 16383}, {9000, 8000}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.format);
        ASSERT_FALSE(c.bytes.isEmpty());
        ASSERT_FALSE(ImageDecoder(c.bytes).read().isNull()) << "what it holds decodes";
        for (const QSize declared : c.declared) {
            SCOPED_TRACE(declared.width());
            const QByteArray bytes = TestPictures::declaringSize(c.bytes, c.format, declared);
            ASSERT_FALSE(bytes.isEmpty());
            MemoryWatch memory;
            ImageDecoder decoder(bytes);
            ASSERT_EQ(decoder.storedSize(), declared) << "the header says so";
            EXPECT_FALSE(decoder.fitsLimits());
            EXPECT_TRUE(decoder.read(QSize(400, 300)).isNull());
            EXPECT_FALSE(ThumbnailService::shared().generateThumbnail(bytes));
            EXPECT_FALSE(ThumbnailService::shared().compressForStorage(bytes));
            EXPECT_FALSE(ThumbnailService(16).compressForStorage(bytes)) << "re-encoded";
            EXPECT_LT(memory.growthKiB(), budgetKiB);
        }
    }
    // The limits themselves: a side of 16384 and 64 megapixels are allowed.
    EXPECT_TRUE(PictureLimits::fits(QSize(16384, 4096)));
    EXPECT_FALSE(PictureLimits::fits(QSize(16384, 4097)));
    EXPECT_TRUE(PictureLimits::fits(QSize(8192, 8192)));
    EXPECT_FALSE(PictureLimits::fits(QSize(8193, 8192)));
    EXPECT_TRUE(ImageDecoder(progressiveDeclaring(QSize(16384, 64))).fitsLimits());
}

TEST(OversizedPictures, LibjpegIsCappedForADecodeThatEscapesTheCheck)
{
    {
        ScopedEnv own("JPEGMEM", "100M");
        PictureLimits::capJpegMemory();
        EXPECT_EQ(qgetenv("JPEGMEM"), "100M") << "the user's own cap stays";
    }
    ScopedEnv none("JPEGMEM", QByteArray());
    PictureLimits::capJpegMemory();
    EXPECT_EQ(qgetenv("JPEGMEM"), PictureLimits::jpegMemory);
    // 20000 x 20000 needs 1.2 GB of coefficients: over the cap, and not ruinous should the
    // cap ever stop working. Read as a path around ImageDecoder would read it.
    QByteArray bytes = progressiveDeclaring(QSize(20000, 20000));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    reader.setScaledSize(QSize(400, 400));
    MemoryWatch memory;
    EXPECT_TRUE(reader.read().isNull());
    EXPECT_LT(memory.growthKiB(), budgetKiB);
}

TEST_F(OversizedPicturesTest, APagesPreviewImageIsRefused)
{
    TestHttpServer server;
    server.route(u"/page"_s,
                 TestHttpServer::Response::html(
                     R"(<title>Huge</title><meta property="og:image" content="/i.jpg">)"));
    server.route(u"/i.jpg"_s, TestHttpServer::Response::bytes(bomb(), "image/jpeg"));
    MemoryWatch memory;
    Item *item = addLink(server.url(u"/page"_s));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(server.hits(u"/i.jpg"_s), 1);
    EXPECT_EQ(item->title(), u"Huge"_s) << "the page's details are kept";
    EXPECT_FALSE(item->hasThumbnailData());
    EXPECT_LT(memory.growthKiB(), budgetKiB);
}

TEST_F(OversizedPicturesTest, ADroppedAddedOrPastedPictureIsRefused)
{
    const QString path = quillory::test::writeTestFile(dir, u"huge.jpg"_s, bomb());
    QSignalSpy stored(intake.get(), &ItemIntake::imagesStored);
    MemoryWatch memory;
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(path)});
    ASSERT_TRUE(intake->handleDrop(dropped));
    intake->addImageFile(path); // the add menu's "Image..."
    QMimeData pasted;
    pasted.setData(u"image/jpeg"_s, bomb());
    ASSERT_TRUE(intake->addFrom(pasted));
    ASSERT_EVENTUALLY((stored.count()) == (3), 10000);
    ASSERT_EQ(store->items().size(), 3u);
    for (const Item *item : store->items()) {
        EXPECT_FALSE(item->hasImageData());
        EXPECT_FALSE(item->hasThumbnailData());
    }
    EXPECT_LT(memory.growthKiB(), budgetKiB);
}

TEST_F(OversizedPicturesTest, ASharedPictureIsSetAsideAndNotRetried)
{
    const QString inbox = *InboxLayout::ensureInbox();
    const QString picture = InboxLayout::uniqueName(u".jpg"_s);
    const QString record = InboxLayout::uniqueName(InboxLayout::recordSuffix);
    const QString sharedFile = InboxLayout::uniqueName(u"_huge.jpg"_s);
    const QString fileRecord = InboxLayout::uniqueName(InboxLayout::recordSuffix);
    const auto write = [&inbox](const QString &name, const QByteArray &bytes) {
        ASSERT_TRUE(InboxFiles::writeAtomically(inbox + u'/' + name, bytes));
    };
    write(picture, bomb());
    write(record,
          R"({"type":"image","title":"Huge","imageFileName":")" + picture.toUtf8() + R"("})");
    write(u"Imported/"_s + sharedFile, bomb());
    write(fileRecord, R"({"type":"image","title":"File","filePath":"Imported/)" +
                          sharedFile.toUtf8() + R"("})");

    MemoryWatch memory;
    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE(start);
        PendingItemsService service(*store, *intake);
        QSignalSpy finished(&service, &PendingItemsService::scanFinished);
        service.processPendingItems();
        ASSERT_TRUE(!finished.isEmpty() || finished.wait(10000));
        // The shared file stays a document, as any file that is no picture does.
        ASSERT_EQ(store->items().size(), 1u);
        EXPECT_EQ(store->items().front()->type(), ItemType::Document);
        EXPECT_FALSE(store->items().front()->hasThumbnailData());
        QStringList failed = QDir(inbox + u"/Failed"_s).entryList(QDir::Files);
        failed.sort();
        QStringList expected{record, picture};
        expected.sort();
        EXPECT_EQ(failed, expected);
        EXPECT_TRUE(QDir(inbox).entryList({u"*.json"_s, u"*.importing"_s}).isEmpty());
    }
    EXPECT_LT(memory.growthKiB(), budgetKiB);
    QDir(inbox).removeRecursively();
}
