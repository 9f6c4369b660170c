#include <views/widgets/ThumbnailCache.h>

#include <model/Item.h>
#include <util/ImageDecoder.h>

namespace quillory {

namespace {

// Decodes only the centre part that fills the cell, at about twice the cell's size: JPEG
// readers scale while decoding, and nothing is ever scaled up, so a huge photo or a strip
// of extreme proportions costs no more than the cell itself.
QImage decodeToFill(const QByteArray &bytes, QSize size)
{
    ImageDecoder decoder(bytes);
    const QSize full = decoder.storedSize();
    if (full.isEmpty() || size.isEmpty())
        return {};
    // Clipping happens before the EXIF rotation, so a turned photo is cut to the cell's
    // proportions turned the same way. The crop is the largest centred rectangle of them.
    const bool turned = decoder.isTurned();
    const QSize target = turned ? size.transposed() : size;
    const QSize crop = target.scaled(full, Qt::KeepAspectRatio);
    const QRect clip(QPoint((full.width() - crop.width()) / 2, (full.height() - crop.height()) / 2),
                     crop);
    const QSize decoded = crop.width() > 2 * target.width() ? target * 2 : crop;
    decoder.setClipRect(clip);
    QImage image = decoder.read(decoded);
    if (image.isNull())
        return {};
    return image.width() > size.width()
               ? image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
               : image;
}

} // namespace

QImage ThumbnailCache::picture(const Item &item, QSize size, Source source)
{
    const Key key{item.id(), size.width(), size.height()};
    if (const QImage *cached = m_cache.object(key))
        return *cached;
    QImage image;
    if (item.hasThumbnailData())
        image = decodeToFill(item.thumbnailData().value_or(QByteArray()), size);
    if (image.isNull() && source == Source::ThumbnailOrImage && item.hasImageData())
        image = decodeToFill(item.imageData().value_or(QByteArray()), size);
    m_cache.insert(key, new QImage(image));
    return image;
}

void ThumbnailCache::forget(const QUuid &itemId)
{
    const QList<Key> keys = m_cache.keys();
    for (const Key &key : keys) {
        if (key.id == itemId)
            m_cache.remove(key);
    }
}

} // namespace quillory
