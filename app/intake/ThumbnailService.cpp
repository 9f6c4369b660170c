#include <intake/ThumbnailService.h>

#include <util/ImageDecoder.h>

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace quillory {
namespace {

QImage decoded(const QByteArray &data)
{
    ImageDecoder decoder(data);
    return decoder.read();
}

QSize scaledToLongestSide(QSize size, int longest)
{
    const double s = double(longest) / double(std::max(size.width(), size.height()));
    return QSize(std::max(1, int(std::lround(size.width() * s))),
                 std::max(1, int(std::lround(size.height() * s))));
}

} // namespace

const ThumbnailService &ThumbnailService::shared()
{
    static const ThumbnailService instance;
    return instance;
}

std::optional<QByteArray> ThumbnailService::generateThumbnail(const QByteArray &data) const
{
    ImageDecoder decoder(data);
    const QSize stored = decoder.storedSize();
    if (!stored.isEmpty() && std::max(stored.width(), stored.height()) > thumbnailLongestSide &&
        decoder.decodesScaled()) {
        const QImage image = decoder.read(scaledToLongestSide(stored, thumbnailLongestSide));
        return image.isNull() ? std::nullopt : jpegData(image, thumbnailQuality);
    }
    const QImage image = decoder.read();
    if (image.isNull())
        return std::nullopt;
    if (std::max(image.width(), image.height()) <= thumbnailLongestSide)
        return jpegData(image, thumbnailQuality); // small images are re-encoded, never enlarged
    return jpegData(resizedImage(image, scaledToLongestSide(image.size(), thumbnailLongestSide)),
                    thumbnailQuality);
}

std::optional<QByteArray> ThumbnailService::compressForStorage(const QByteArray &data) const
{
    if (data.size() <= m_storageLimit) {
        // Only whether the bytes decode matters here; a JPEG proves that at an eighth of
        // its size just as well.
        ImageDecoder decoder(data);
        const QSize stored = decoder.storedSize();
        const QSize probe =
            decoder.decodesScaled() && !stored.isEmpty()
                ? QSize(std::max(1, stored.width() / 8), std::max(1, stored.height() / 8))
                : QSize();
        return decoder.read(probe).isNull() ? std::nullopt : std::optional(data);
    }
    const QImage image = decoded(data);
    if (image.isNull())
        return std::nullopt;
    double factor = firstStorageQuality;
    std::optional<QByteArray> result = jpegData(image, factor);
    while (result && result->size() > m_storageLimit && factor > lowestSteppedQuality) {
        factor -= qualityStep;
        result = jpegData(image, factor);
    }
    return result;
}

QImage ThumbnailService::resizedImage(const QImage &image, QSize size)
{
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

std::optional<QByteArray> ThumbnailService::jpegData(const QImage &image, double compressionFactor)
{
    if (image.isNull())
        return std::nullopt;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(std::clamp(int(std::lround(compressionFactor * 100.0)), 0, 100));
    // JPEG has no alpha: transparent areas would turn black, so they are laid on white.
    if (image.hasAlphaChannel()) {
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        {
            QPainter painter(&flat);
            painter.drawImage(0, 0, image);
        }
        if (!writer.write(flat))
            return std::nullopt;
    } else if (!writer.write(image)) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace quillory
