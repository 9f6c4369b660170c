#pragma once

#include <QCache>
#include <QImage>
#include <QSize>
#include <QUuid>

namespace quillory {

class Item;

// Decoded pictures for the rows and cards on screen. Only what is painted gets decoded,
// scaled while decoding, and the cache holds a bounded number of them.
class ThumbnailCache final
{
public:
    enum class Source { ThumbnailOnly, ThumbnailOrImage };

    // A null image when the item has no decodable picture.
    QImage picture(const Item &item, QSize size, Source source);
    void forget(const QUuid &itemId);
    void clear() { m_cache.clear(); }

private:
    struct Key
    {
        QUuid id;
        int width;
        int height;
        bool operator==(const Key &) const = default;
    };
    friend size_t qHash(const Key &key, size_t seed = 0)
    {
        return qHashMulti(seed, key.id, key.width, key.height);
    }

    QCache<Key, QImage> m_cache{600};
};

} // namespace quillory
