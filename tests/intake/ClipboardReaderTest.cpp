#include "TestPictures.h"

#include <intake/ClipboardReader.h>

#include <QMimeData>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::TestPictures;

namespace {

QByteArray encoded(const char *format)
{
    return TestPictures::encoded(TestPictures::twoTone(8, 6), format);
}

enum class Picture { None, Encoded };

} // namespace

// Every way of adding reads pasted and dropped data through this one decision, so the File
// menu, the tray, the add menu and drops give the same items for the same contents.
TEST(ClipboardReader, FirstThingThatAppliesWins)
{
    const QUrl page(u"https://example.com/a"_s);
    const QUrl file = QUrl::fromLocalFile(u"/tmp/report.pdf"_s);
    const QByteArray png = encoded("png");
    // What is on offer: text, an address list, and data of one type; then what is read.
    const struct
    {
        const char *name;
        QString text;
        QList<QUrl> offered;
        QString type;
        QByteArray data;
        QList<QUrl> urls;
        Picture picture;
    } cases[] = {
        {"an address as text", u"https://example.com/a\n"_s, {}, {}, {}, {page}, Picture::None},
        {"two copied files", {}, {file, page}, {}, {}, {file, page}, Picture::None},
        {"addresses beat text", u"https://other.example/"_s, {page}, {}, {}, {page}, Picture::None},
        {"an address beats a picture", {}, {page}, u"image/png"_s, png, {page}, Picture::None},
        {"PNG", {}, {}, u"image/png"_s, png, {}, Picture::Encoded},
        {"TIFF only", {}, {}, u"image/tiff"_s, encoded("tiff"), {}, Picture::Encoded},
        {"JPEG only", {}, {}, u"image/jpeg"_s, encoded("jpeg"), {}, Picture::Encoded},
        {"words and a picture", u"a cat"_s, {}, u"image/png"_s, png, {}, Picture::Encoded},
        {"words without a scheme", u"example.com/path and words"_s, {}, {}, {}, {}, Picture::None},
        {"a false picture", {}, {}, u"image/tiff"_s, "not a tiff", {}, Picture::None},
        {"nothing", {}, {}, {}, {}, {}, Picture::None},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QMimeData data;
        if (!c.text.isEmpty())
            data.setText(c.text);
        if (!c.offered.isEmpty())
            data.setUrls(c.offered);
        if (!c.type.isEmpty())
            data.setData(c.type, c.data);
        const ClipboardOffer offer = ClipboardReader::read(data);
        EXPECT_EQ(offer.urls, c.urls);
        EXPECT_EQ(!offer.picture.isEmpty(), c.picture == Picture::Encoded);
        EXPECT_TRUE(offer.image.isNull());
    }
    // A picture only in memory.
    QMimeData data;
    data.setImageData(TestPictures::twoTone(4, 4));
    const ClipboardOffer offer = ClipboardReader::read(data);
    EXPECT_TRUE(offer.urls.isEmpty());
    EXPECT_TRUE(offer.picture.isEmpty());
    EXPECT_FALSE(offer.image.isNull());
}
