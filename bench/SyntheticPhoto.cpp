#include "SyntheticPhoto.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <algorithm>

namespace quillory::bench {

QByteArray SyntheticPhoto::jpeg(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    quint32 seed = 12345;
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = int(seed >> 27) - 16;
            const auto channel = [grain](int base) { return std::clamp(base + grain, 0, 255); };
            line[x] = qRgb(channel((x * 255) / width), channel((y * 255) / height),
                           channel(((x + y) * 127) / (width + height) + 64));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(92);
    writer.write(image);
    return bytes;
}

} // namespace quillory::bench
