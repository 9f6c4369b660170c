#include <intake/ItemIntake.h>

#include <utility>

#include <duplicates/DuplicateFinder.h>
#include <intake/AppNotifier.h>
#include <intake/ClipboardReader.h>
#include <intake/ItemEnricher.h>
#include <intake/ItemImages.h>
#include <util/BackgroundWork.h>

#include <inbox/ShortDateTime.h>
#include <model/Clock.h>
#include <model/Item.h>
#include <model/LibraryStore.h>

#include <QBuffer>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

namespace quillory {
namespace {

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
    Item *item = insertLink(url);
    if (item == nullptr || url.isLocalFile())
        return item;
    const DuplicateFinder::Group same = DuplicateFinder::sameAs(*item, m_store.items());
    if (!same.empty())
        emit alreadyInLibrary(item, same.front());
    return item;
}

Item *ItemIntake::insertLink(const QUrl &url)
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
        addFrom(*data);
}

bool ItemIntake::addFrom(const QMimeData &data)
{
    return add(ClipboardReader::read(data));
}

bool ItemIntake::add(const ClipboardOffer &offer)
{
    if (m_onHold) {
        if (!offer.isEmpty())
            m_waiting.push_back(offer);
        return !offer.isEmpty();
    }
    // Each look-up for a page already kept walks the whole library: a paste of many links
    // is not announced link by link.
    if (offer.urls.size() == 1) {
        createItem(offer.urls.front());
    } else {
        for (const QUrl &url : offer.urls)
            insertLink(url);
    }
    if (!offer.picture.isEmpty())
        createImageItem(offer.picture);
    else if (!offer.image.isNull())
        createImageItemFrom(offer.image);
    return !offer.isEmpty();
}

void ItemIntake::setOnHold(bool onHold)
{
    m_onHold = onHold;
    if (onHold)
        return;
    const std::vector<ClipboardOffer> waiting = std::exchange(m_waiting, {});
    for (const ClipboardOffer &offer : waiting)
        add(offer);
}

void ItemIntake::createImageItemFrom(const QImage &image)
{
    // Encoding a large picture takes a while; the item follows when it is done.
    BackgroundWork::run<QByteArray>(
        this, [image] { return pngBytes(image); },
        [this](QByteArray bytes) { createImageItem(bytes); });
}

std::vector<Item *> ItemIntake::addShared(std::vector<std::unique_ptr<Item>> items)
{
    const std::vector<Item *> added = m_store.insertItems(std::move(items));
    for (Item *item : added) {
        const QUrl url = item->url();
        if (url.scheme().startsWith(QLatin1String("http")))
            m_enricher.enrich(item->id(), url);
    }
    return added;
}

QString ItemIntake::screenshotTitle(const QDateTime &when, const QLocale &locale)
{
    return QStringLiteral("Screenshot ") + ShortDateTime::format(when, locale);
}

} // namespace quillory
