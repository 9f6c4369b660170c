#include "TestPictures.h"

#include <intake/ClipboardReader.h>

#include <QMimeData>
#include <functional>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::TestPictures;

namespace {

QByteArray encoded(const char *format)
{
    return TestPictures::encoded(TestPictures::twoTone(8, 6), format);
}

enum class Picture { None, Encoded, Decoded };

} // namespace

// Every way of adding reads pasted and dropped data through this one decision, so the File
// menu, the tray, the add menu and drops give the same items for the same contents.
TEST(ClipboardReader, FirstThingThatAppliesWins)
{
    const QUrl page(u"https://example.com/a"_s);
    const QUrl file = QUrl::fromLocalFile(u"/tmp/report.pdf"_s);
    const struct
    {
        const char *name;
        std::function<void(QMimeData &)> fill;
        QList<QUrl> urls;
        Picture picture;
    } cases[] = {
        {"an address as text, with its line break",
         [](QMimeData &d) { d.setText(u"https://example.com/a\n"_s); },
         {page},
         Picture::None},
        {"two copied files",
         [&](QMimeData &d) {
             d.setUrls({file, page});
         },
         {file, page},
         Picture::None},
        {"an address list beats different text",
         [&](QMimeData &d) {
             d.setUrls({page});
             d.setText(u"https://other.example/"_s);
         },
         {page},
         Picture::None},
        {"an address beats a picture",
         [&](QMimeData &d) {
             d.setUrls({page});
             d.setData(u"image/png"_s, encoded("png"));
         },
         {page},
         Picture::None},
        {"PNG",
         [](QMimeData &d) { d.setData(u"image/png"_s, encoded("png")); },
         {},
         Picture::Encoded},
        {"TIFF only",
         [](QMimeData &d) { d.setData(u"image/tiff"_s, encoded("tiff")); },
         {},
         Picture::Encoded},
        {"JPEG only",
         [](QMimeData &d) { d.setData(u"image/jpeg"_s, encoded("jpeg")); },
         {},
         Picture::Encoded},
        {"words and a picture",
         [](QMimeData &d) {
             d.setText(u"a photo of a cat"_s);
             d.setData(u"image/png"_s, encoded("png"));
         },
         {},
         Picture::Encoded},
        {"a picture only in memory",
         [](QMimeData &d) { d.setImageData(TestPictures::twoTone(4, 4)); },
         {},
         Picture::Decoded},
        {"words without a scheme",
         [](QMimeData &d) { d.setText(u"example.com/path and words"_s); },
         {},
         Picture::None},
        {"bytes that only claim to be a picture",
         [](QMimeData &d) { d.setData(u"image/tiff"_s, "not a tiff"); },
         {},
         Picture::None},
        {"nothing", [](QMimeData &) {}, {}, Picture::None},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QMimeData data;
        c.fill(data);
        const ClipboardOffer offer = ClipboardReader::read(data);
        EXPECT_EQ(offer.urls, c.urls);
        EXPECT_EQ(!offer.picture.isEmpty(), c.picture == Picture::Encoded);
        EXPECT_EQ(!offer.image.isNull(), c.picture == Picture::Decoded);
    }
}
