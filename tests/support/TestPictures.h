#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>
#include <QSize>

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

    // A progressive JPEG, as many pages serve them: libjpeg keeps the coefficients of the
    // whole picture in memory to decode one, whatever size it is decoded to.
    static QByteArray progressiveJpeg(const QImage &image)
    {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setOptimizedWrite(true);
        writer.setProgressiveScanWrite(true);
        return writer.write(image) ? bytes : QByteArray();
    }

    // `bytes`, a picture in `format` as encoded() or progressiveJpeg() write it, with its
    // header declaring `declared` pixels instead of what it holds: a few hundred bytes that
    // make a decoder allocate for a huge picture. Empty for a format it cannot patch.
    static QByteArray declaringSize(QByteArray bytes, const QByteArray &format, QSize declared)
    {
        const auto bigEndian = [&bytes](qsizetype at, quint32 value, int size) {
            for (int i = 0; i < size; ++i)
                bytes[at + i] = char(value >> (8 * (size - 1 - i)));
        };
        const auto littleEndian = [&bytes](qsizetype at, quint32 value, int size) {
            for (int i = 0; i < size; ++i)
                bytes[at + i] = char(value >> (8 * i));
        };
        const quint32 w = quint32(declared.width());
        const quint32 h = quint32(declared.height());
        if (format == "jpeg") {
            // The frame header (baseline, extended or progressive): height, then width.
            for (qsizetype i = 2; i + 9 < bytes.size(); ++i) {
                const auto marker = quint8(bytes[i + 1]);
                if (quint8(bytes[i]) == 0xFF && marker >= 0xC0 && marker <= 0xC2) {
                    bigEndian(i + 5, h, 2);
                    bigEndian(i + 7, w, 2);
                    return bytes;
                }
            }
            return {};
        }
        if (format == "png") {
            // IHDR's width and height, and the checksum that covers them.
            bigEndian(16, w, 4);
            bigEndian(20, h, 4);
            quint32 crc = 0xFFFFFFFF;
            for (qsizetype i = 12; i < 29; ++i) {
                crc ^= quint8(bytes[i]);
                for (int bit = 0; bit < 8; ++bit)
                    crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
            }
            bigEndian(29, ~crc, 4);
            return bytes;
        }
        if (format == "gif") {
            // The logical screen and the first image in it, after the colour table and any
            // extension blocks.
            littleEndian(6, w, 2);
            littleEndian(8, h, 2);
            qsizetype at = 13;
            if (quint8(bytes[10]) & 0x80)
                at += 3 << ((quint8(bytes[10]) & 7) + 1);
            while (at < bytes.size() && bytes[at] == 0x21) {
                at += 2;
                while (at < bytes.size() && bytes[at] != 0)
                    at += quint8(bytes[at]) + 1;
                ++at;
            }
            if (at + 9 > bytes.size() || bytes[at] != 0x2C)
                return {};
            littleEndian(at + 5, w, 2);
            littleEndian(at + 7, h, 2);
            return bytes;
        }
        if (format == "bmp") {
            littleEndian(18, w, 4);
            littleEndian(22, h, 4);
            return bytes;
        }
        if (format == "webp" && bytes.mid(12, 4) == "VP8 ") {
            littleEndian(26, w & 0x3FFF, 2); // 14 bits each, no scaling
            littleEndian(28, h & 0x3FFF, 2);
            return bytes;
        }
        return {};
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
