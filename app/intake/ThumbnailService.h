#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <optional>

namespace quillory {

// Turns image bytes into what an item stores: a small JPEG thumbnail for lists and cards,
// and a full image of at most its storage limit in bytes. Stateless apart from its limit and
// safe to call from any thread; the item operations live in ItemImages.
class ThumbnailService final
{
public:
    static constexpr int thumbnailLongestSide = 400;
    static constexpr double thumbnailQuality = 0.7;
    static constexpr qint64 defaultStorageLimit = 10 * 1024 * 1024;
    static constexpr double firstStorageQuality = 0.85;
    static constexpr double qualityStep = 0.1;
    static constexpr double lowestSteppedQuality = 0.1;

    // Tests pass a small limit to reach the stepped compression without huge images.
    explicit ThumbnailService(qint64 storageLimit = defaultStorageLimit)
        : m_storageLimit(storageLimit)
    {
    }

    static const ThumbnailService &shared();

    // A JPEG whose longer side is at most 400, in the orientation the photo was taken;
    // nothing for bytes that are not an image.
    std::optional<QByteArray> generateThumbnail(const QByteArray &data) const;
    // The bytes unchanged when they decode and fit the limit, else a JPEG re-encoded at
    // falling quality until it fits (or the lowest quality is reached).
    std::optional<QByteArray> compressForStorage(const QByteArray &data) const;

    static QImage resizedImage(const QImage &image, QSize size);
    static std::optional<QByteArray> jpegData(const QImage &image, double compressionFactor);

private:
    qint64 m_storageLimit;
};

} // namespace quillory
