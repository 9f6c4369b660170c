#include <intake/ItemImages.h>

#include <intake/ThumbnailService.h>
#include <util/BackgroundWork.h>
#include <util/ImageDecoder.h>

#include <model/Clock.h>
#include <model/Item.h>

#include <QFile>
#include <QFileInfo>

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
    if (!ImageDecoder(data).fitsLimits()) {
        prepared.tooLarge = true;
        return prepared;
    }
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
            const auto bytes = readPictureFile(path);
            return bytes ? prepare(*bytes, forms, ThumbnailService::shared()) : Prepared{};
        },
        [done = std::move(done)](Prepared prepared) { done(prepared); });
}

std::optional<QByteArray> ItemImages::readPictureFile(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > pictureFileLimit)
        return std::nullopt;
    // In pieces, with the limit checked as it goes: some files do not know their size.
    QByteArray bytes;
    while (!file.atEnd()) {
        const QByteArray piece = file.read(1024 * 1024);
        if (piece.isEmpty())
            break;
        bytes += piece;
        if (bytes.size() > pictureFileLimit)
            return std::nullopt;
    }
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

void ItemImages::apply(Item &item, const Prepared &prepared)
{
    storeImage(item, prepared.image);
    storeThumbnail(item, prepared.thumbnail);
}

} // namespace quillory
