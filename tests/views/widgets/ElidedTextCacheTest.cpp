#include <views/widgets/ElidedTextCache.h>

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

// The right-most column holding ink, or -1 for none.
int lastInkColumn(const QImage &image)
{
    for (int x = image.width() - 1; x >= 0; --x) {
        for (int y = 0; y < image.height(); ++y) {
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                return x;
        }
    }
    return -1;
}

// `text` drawn `width` wide at (10, 5) on white, painted at `scale`.
QImage drawn(ElidedTextCache &cache, const QString &text, int width, int *advance = nullptr,
             int scale = 1)
{
    QImage image(QSize(300, 40) * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    painter.scale(scale, scale);
    const int drawnWidth =
        cache.draw(&painter, QRect(10, 5, width, 30), text, QApplication::font());
    if (advance != nullptr)
        *advance = drawnWidth;
    return image;
}

} // namespace

TEST(ElidedTextCacheTest, CutsToTheWidthAndDrawsTheSameFromItsLayout)
{
    ElidedTextCache cache;
    const QString text = u"A rather long title of a page kept while reading the news"_s;
    const QFontMetrics fm(QApplication::font());
    int advance = 0;
    const QImage first = drawn(cache, text, 120, &advance);
    EXPECT_EQ(advance, fm.horizontalAdvance(fm.elidedText(text, Qt::ElideRight, 120)));
    EXPECT_GT(lastInkColumn(first), 10);
    EXPECT_LE(lastInkColumn(first), 10 + 120);
    EXPECT_EQ(drawn(cache, text, 120), first);

    // Another width, or another text, is laid out on its own.
    const QImage wider = drawn(cache, text, 250);
    EXPECT_GT(lastInkColumn(wider), lastInkColumn(first));
    EXPECT_NE(drawn(cache, u"Another title"_s, 120), first);
    ElidedTextCache fresh;
    EXPECT_EQ(drawn(cache, u"Another title"_s, 120), drawn(fresh, u"Another title"_s, 120));

    // Lines beyond its size are forgotten, and drawn again alike.
    ElidedTextCache small(4);
    for (int i = 0; i < 20; ++i)
        drawn(small, u"Line "_s + QString::number(i), 200);
    EXPECT_EQ(drawn(small, u"Line 0"_s, 200), drawn(fresh, u"Line 0"_s, 200));
}

TEST(ElidedTextCacheTest, ScaledPaintingStillDrawsTheText)
{
    ElidedTextCache cache;
    int advance = 0;
    const QImage image = drawn(cache, u"Scaled title"_s, 100, &advance, 2);
    EXPECT_GT(advance, 0);
    EXPECT_GT(lastInkColumn(image), 20);
    EXPECT_LE(lastInkColumn(image), 2 * (10 + 100));
}
