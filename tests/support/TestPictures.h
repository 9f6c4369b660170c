#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>

namespace quillory::test {

// Pictures made in memory for tests of decoding, scaling and orientation.
class TestPictures final
{
public:
    // Left half blue, right half red: enough to tell which way up a picture came out.
    static QImage twoTone(int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::red);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width / 2; ++x)
                image.setPixel(x, y, qRgb(0, 0, 255));
        return image;
    }

    // Empty when the format cannot be written.
    static QByteArray encoded(const QImage &image, const char *format, int quality = 90)
    {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, format);
        writer.setQuality(quality);
        return writer.write(image) ? bytes : QByteArray();
    }

    // A JPEG carrying an EXIF orientation tag, as cameras write it.
    static QByteArray withExifOrientation(const QByteArray &jpeg, quint8 orientation)
    {
        QByteArray tiff = QByteArray::fromHex("4d4d002a0000000800010112000300000001");
        tiff += char(0);
        tiff += char(orientation);
        tiff += QByteArray::fromHex("000000000000");
        const QByteArray app1 = QByteArray("Exif\0\0", 6) + tiff;
        const int length = int(app1.size()) + 2;
        QByteArray segment = QByteArray::fromHex("ffe1");
        segment += char(length >> 8);
        segment += char(length & 0xff);
        return jpeg.left(2) + segment + app1 + jpeg.mid(2);
    }
};

} // namespace quillory::test
