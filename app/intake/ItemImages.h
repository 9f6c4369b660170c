#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

class QObject;

namespace quillory {

class Item;
class ThumbnailService;

// The item's two image operations. The model does not link the image code, so they live
// beside the service that does the work. Each stores a result only when there is one and
// then stamps modifiedAt; otherwise the item is left as it was.
class ItemImages final
{
public:
    // Both forms of one picture, computed ahead so the interface thread only stores them.
    struct Prepared
    {
        std::optional<QByteArray> image;
        std::optional<QByteArray> thumbnail;
        // The bytes declare a picture larger than any decode may take: refused unread, where
        // other bytes that make no picture are simply none.
        bool tooLarge = false;
    };
    enum class Forms { ThumbnailOnly, ImageAndThumbnail };

    static void setThumbnail(Item &item, const QByteArray &data);
    static void setImage(Item &item, const QByteArray &data);

    static Prepared prepare(const QByteArray &data, Forms forms, const ThumbnailService &service);
    // Decodes and encodes on the thread pool; `done` runs on the calling (interface)
    // thread unless `context` is gone by then. A large photo never stalls the window.
    static void prepareInBackground(QByteArray data, Forms forms, const QObject *context,
                                    std::function<void(const Prepared &)> done);
    // The same for a file, read on the thread pool too; an unreadable file gives nothing.
    static void prepareFileInBackground(QString path, Forms forms, const QObject *context,
                                        std::function<void(const Prepared &)> done);
    // A picture file's bytes: nothing for what is not a regular file (a FIFO would block,
    // a /proc file has no size) or is larger than any decoder would accept. May block on
    // a slow disk, so call it off the interface thread.
    static std::optional<QByteArray> readPictureFile(const QString &path);
    static constexpr qint64 pictureFileLimit = qint64(256) * 1024 * 1024;
    // Stores the image first, then the thumbnail, as setImage and setThumbnail would.
    static void apply(Item &item, const Prepared &prepared);
};

} // namespace quillory
