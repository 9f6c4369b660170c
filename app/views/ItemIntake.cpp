#include "ItemIntake.h"

#include <AppNotifier.h>
#include <BackgroundWork.h>
#include <Clock.h>
#include <Item.h>
#include <ItemEnricher.h>
#include <ItemImages.h>
#include <LibraryStore.h>

#include <QBuffer>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QMimeData>
#include <algorithm>

namespace quillory {
namespace {

const QString pngFormat = QStringLiteral("image/png");
const QString tiffFormat = QStringLiteral("image/tiff");

std::optional<QUrl> urlWithScheme(const QString &text)
{
    // Copied and dragged addresses often carry a line break at the end.
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return std::nullopt;
    return url;
}

// Reads only the header, so a large pasted picture is not decoded on the interface thread.
bool looksLikePicture(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return reader.canRead() && reader.size().isValid();
}

std::optional<QByteArray> encodedPicture(const QMimeData &data)
{
    const QStringList formats = data.formats();
    for (const QString &format : formats) {
        if (format.startsWith(QStringLiteral("image/"))) {
            QByteArray bytes = data.data(format);
            if (looksLikePicture(bytes))
                return bytes;
        }
    }
    return std::nullopt;
}

QByteArray pngBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QString fileTitle(const QUrl &fileUrl)
{
    const QFileInfo info(fileUrl.toLocalFile());
    // "archive.tar.gz" keeps "archive.tar"; a name that is all extension keeps its name.
    const QString title = info.completeBaseName();
    return title.isEmpty() ? info.fileName() : title;
}

} // namespace

ItemIntake::ItemIntake(LibraryStore &store, ItemEnricher &enricher, QObject *parent)
    : QObject(parent), m_store(store), m_enricher(enricher)
{
}

void ItemIntake::followNotifications(AppNotifier &notifier)
{
    connect(&notifier, &AppNotifier::createItemFromURL, this, &ItemIntake::createItem);
    connect(&notifier, &AppNotifier::createItemFromImageData, this, &ItemIntake::createImageItem);
}

Item *ItemIntake::createItem(const QUrl &url)
{
    // A copied or dropped file's address is the file itself, not a page to fetch.
    if (url.isLocalFile())
        return createFileItem(url);
    const QString host = url.host();
    Item *item = m_store.insert(std::make_unique<Item>(
        ItemType::detect(url), host.isEmpty() ? QStringLiteral("Untitled") : host, url));
    if (item == nullptr)
        return nullptr;
    emit itemCreated(item);
    m_enricher.enrich(item->id(), url);
    return item;
}

Item *ItemIntake::createImageItem(const QByteArray &data)
{
    Item *item =
        m_store.insert(std::make_unique<Item>(ItemType::Screenshot, screenshotTitle(Clock::now())));
    if (item == nullptr)
        return nullptr;
    emit itemCreated(item);
    storeImagesWhenReady(item->id(), QString(), data);
    return item;
}

Item *ItemIntake::createFileItem(const QUrl &fileUrl)
{
    const ItemType type = ItemType::detect(fileUrl);
    Item *item = m_store.insert(std::make_unique<Item>(type, fileTitle(fileUrl), fileUrl));
    if (item == nullptr)
        return nullptr;
    emit itemCreated(item);
    if (type == ItemType::Image || type == ItemType::Screenshot)
        storeImagesWhenReady(item->id(), fileUrl.toLocalFile(), QByteArray());
    return item;
}

void ItemIntake::storeImagesWhenReady(const QUuid &itemId, const QString &filePath, QByteArray data)
{
    const auto store = [this, itemId](const ItemImages::Prepared &prepared) {
        // The item may have been deleted while its picture was being decoded.
        if (Item *item = m_store.item(itemId)) {
            ItemImages::apply(*item, prepared);
            emit imagesStored(item);
        }
    };
    if (filePath.isEmpty())
        ItemImages::prepareInBackground(std::move(data), ItemImages::Forms::ImageAndThumbnail, this,
                                        store);
    else
        ItemImages::prepareFileInBackground(filePath, ItemImages::Forms::ImageAndThumbnail, this,
                                            store);
}

void ItemIntake::addImageFile(const QString &path)
{
    BackgroundWork::run<std::optional<QByteArray>>(
        this, [path] { return ItemImages::readPictureFile(path); },
        [this](std::optional<QByteArray> bytes) {
            if (bytes)
                createImageItem(*bytes);
        });
}

void ItemIntake::pasteFromClipboard()
{
    if (const QMimeData *data = QGuiApplication::clipboard()->mimeData())
        pasteFrom(*data);
}

void ItemIntake::pasteFrom(const QMimeData &clipboard)
{
    if (const auto url = urlWithScheme(clipboard.text())) {
        createItem(*url);
        return;
    }
    const QByteArray png = clipboard.data(pngFormat);
    if (!png.isEmpty()) {
        createImageItem(png);
        return;
    }
    const QByteArray tiff = clipboard.data(tiffFormat);
    if (!tiff.isEmpty() && looksLikePicture(tiff)) {
        createImageItem(tiff);
        return;
    }
    // Pictures in other formats, and files copied in a file manager, are welcome too.
    if (clipboard.hasUrls()) {
        for (const QUrl &url : clipboard.urls())
            createItem(url);
        return;
    }
    createImageItemFrom(clipboard);
}

bool ItemIntake::canAccept(const QMimeData &data)
{
    if (data.hasUrls() || data.hasText() || data.hasImage())
        return true;
    const QStringList formats = data.formats();
    return std::any_of(formats.begin(), formats.end(),
                       [](const QString &f) { return f.startsWith(QStringLiteral("image/")); });
}

bool ItemIntake::handleDrop(const QMimeData &data)
{
    if (!canAccept(data))
        return false;
    // Each dropped address or file is one item, in the order they came.
    const QList<QUrl> urls = data.urls();
    const bool anyUrl = std::any_of(urls.begin(), urls.end(),
                                    [](const QUrl &url) { return !url.scheme().isEmpty(); });
    if (anyUrl) {
        for (const QUrl &url : urls) {
            if (!url.scheme().isEmpty())
                createItem(url);
        }
        return true;
    }
    if (const auto url = urlWithScheme(data.text())) {
        createItem(*url);
        return true;
    }
    // Text that is no address may come with a picture (a browser's dragged image does).
    createImageItemFrom(data);
    return true;
}

void ItemIntake::createImageItemFrom(const QMimeData &data)
{
    if (const auto bytes = encodedPicture(data)) {
        createImageItem(*bytes);
        return;
    }
    if (!data.hasImage())
        return;
    const auto image = qvariant_cast<QImage>(data.imageData());
    if (image.isNull())
        return;
    // Encoding a large picture takes a while; the item follows when it is done.
    BackgroundWork::run<QByteArray>(
        this, [image] { return pngBytes(image); },
        [this](QByteArray bytes) { createImageItem(bytes); });
}

QString ItemIntake::screenshotTitle(const QDateTime &when, const QLocale &locale)
{
    // The locale's own clock: "3:41 PM" where it uses AM and PM, "15:41" elsewhere.
    const bool twelveHour =
        locale.timeFormat(QLocale::ShortFormat).contains(QLatin1Char('a'), Qt::CaseInsensitive);
    const QString format = QStringLiteral("MMM d, ") +
                           (twelveHour ? QStringLiteral("h:mm AP") : QStringLiteral("HH:mm"));
    return QStringLiteral("Screenshot ") + locale.toString(when.toLocalTime(), format);
}

} // namespace quillory
