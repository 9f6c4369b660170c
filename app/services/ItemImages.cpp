#include "ItemImages.h"

#include "BackgroundWork.h"
#include "ThumbnailService.h"

#include <Clock.h>
#include <Item.h>

#include <QFile>

namespace quillory {
namespace {

void storeImage(Item &item, const std::optional<QByteArray> &bytes)
{
    if (!bytes)
        return;
    item.setImageData(bytes);
    item.setModifiedAt(Clock::now());
}

void storeThumbnail(Item &item, const std::optional<QByteArray> &bytes)
{
    if (!bytes)
        return;
    item.setThumbnailData(bytes);
    item.setModifiedAt(Clock::now());
}

} // namespace

void ItemImages::setThumbnail(Item &item, const QByteArray &data)
{
    storeThumbnail(item, ThumbnailService::shared().generateThumbnail(data));
}

void ItemImages::setImage(Item &item, const QByteArray &data)
{
    storeImage(item, ThumbnailService::shared().compressForStorage(data));
}

ItemImages::Prepared ItemImages::prepare(const QByteArray &data, Forms forms,
                                         const ThumbnailService &service)
{
    Prepared prepared;
    if (forms == Forms::ImageAndThumbnail)
        prepared.image = service.compressForStorage(data);
    prepared.thumbnail = service.generateThumbnail(data);
    return prepared;
}

void ItemImages::prepareInBackground(QByteArray data, Forms forms, const QObject *context,
                                     std::function<void(const Prepared &)> done)
{
    BackgroundWork::run<Prepared>(
        context,
        [data = std::move(data), forms] {
            return prepare(data, forms, ThumbnailService::shared());
        },
        [done = std::move(done)](Prepared prepared) { done(prepared); });
}

void ItemImages::prepareFileInBackground(QString path, Forms forms, const QObject *context,
                                         std::function<void(const Prepared &)> done)
{
    BackgroundWork::run<Prepared>(
        context,
        [path = std::move(path), forms] {
            QFile file(path);
            // Beyond this no decoder would accept the picture anyway.
            constexpr qint64 readLimit = qint64(256) * 1024 * 1024;
            if (!file.open(QIODevice::ReadOnly) || file.size() > readLimit)
                return Prepared{};
            return prepare(file.readAll(), forms, ThumbnailService::shared());
        },
        [done = std::move(done)](Prepared prepared) { done(prepared); });
}

void ItemImages::apply(Item &item, const Prepared &prepared)
{
    storeImage(item, prepared.image);
    storeThumbnail(item, prepared.thumbnail);
}

} // namespace quillory
