#include "ThumbnailCache.h"

#include <Item.h>

#include <QBuffer>
#include <QImageReader>

namespace quillory {

namespace {

// Decodes at about the size shown: JPEG readers can scale while decoding, which keeps a
// large photo from costing a full-size decode on every scroll.
QImage decodeToFill(const QByteArray &bytes, QSize size)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    if (full.isValid() && (full.width() > 2 * size.width() || full.height() > 2 * size.height()))
        reader.setScaledSize(full.scaled(size * 2, Qt::KeepAspectRatioByExpanding));
    QImage image = reader.read();
    if (image.isNull())
        return {};
    return image.scaled(size, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
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
