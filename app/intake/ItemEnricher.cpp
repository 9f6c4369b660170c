#include <intake/ItemEnricher.h>

#include <intake/ItemImages.h>
#include <keeping/PageFetch.h>
#include <metadata/MetadataService.h>

#include <model/BoundedText.h>
#include <model/Item.h>
#include <model/LibraryStore.h>

#include <cstdio>

namespace quillory {

ItemEnricher::ItemEnricher(LibraryStore &store, MetadataService &metadata, QObject *parent)
    : QObject(parent), m_store(store), m_metadata(metadata)
{
}

void ItemEnricher::enrich(const QUuid &itemId, const QUrl &url, Title title)
{
    m_waiting.enqueue({itemId, url, title});
    startWaiting();
}

void ItemEnricher::cancelWaiting(const QSet<QUuid> &itemIds)
{
    m_waiting.removeIf([&](const Request &r) { return itemIds.contains(r.itemId); });
}

void ItemEnricher::startWaiting()
{
    while (m_inFlight < maxInFlight && !m_waiting.isEmpty()) {
        const Request request = m_waiting.dequeue();
        ++m_inFlight;
        start(request);
    }
}

void ItemEnricher::done(const QUuid &itemId)
{
    --m_inFlight;
    emit finished(itemId);
    startWaiting();
}

void ItemEnricher::setKeptPages(KeptPages *pages, bool keepCopies)
{
    m_pages = pages;
    m_keepCopies = pages != nullptr && keepCopies;
}

void ItemEnricher::start(const Request &request)
{
    const QUuid itemId = request.itemId;
    const QUrl url = request.url;
    // Deleted while it waited for its turn: nothing to fetch for.
    if (m_store.item(itemId) == nullptr) {
        QMetaObject::invokeMethod(
            this, [this, itemId] { done(itemId); }, Qt::QueuedConnection);
        return;
    }
    const bool keepTitle = request.title == Title::Keep;
    const auto copy = m_keepCopies ? PageFetch::Copy::Keep : PageFetch::Copy::Skip;
    const auto stillWanted = [this, itemId] { return m_store.item(itemId) != nullptr; };
    PageFetch::run(m_metadata, m_pages, itemId, url, copy, this, stillWanted,
                   [this, itemId, keepTitle](const PageOutcome &outcome) {
                       Item *item = m_store.item(itemId);
                       if (outcome.metadata.error) {
                           const QByteArray line = "Failed to fetch metadata: " +
                                                   outcome.metadata.error->description().toUtf8() +
                                                   '\n';
                           std::fputs(line.constData(), stdout);
                           std::fflush(stdout);
                           done(itemId);
                           return;
                       }
                       if (item == nullptr) {
                           done(itemId);
                           return;
                       }
                       const FetchedMetadata &fetched = outcome.metadata.metadata;
                       // A blank page title would leave the item with no name at all.
                       if (!keepTitle && fetched.title && !fetched.title->isEmpty())
                           item->setTitle(*bounded(fetched.title, titleLimit));
                       ItemMetadata metadata;
                       metadata.author = bounded(fetched.author, authorLimit);
                       metadata.publishDate = fetched.publishDate;
                       metadata.description = bounded(fetched.description, descriptionLimit);
                       item->setMetadata(metadata);
                       fetchPreviewImage(itemId, fetched.imageURL, int(outcome.imageReach));
                   });
}

std::optional<QString> ItemEnricher::bounded(const std::optional<QString> &text, qsizetype limit)
{
    if (!text)
        return text;
    return BoundedText::of(*text, limit);
}

void ItemEnricher::fetchPreviewImage(const QUuid &itemId, const std::optional<QString> &imageUrl,
                                     int imageReach)
{
    const QUrl image = imageUrl ? QUrl(*imageUrl, QUrl::TolerantMode) : QUrl();
    if (image.isEmpty() || !image.isValid()) {
        done(itemId);
        return;
    }
    m_metadata.fetchImage(
        image, AddressReach(imageReach), this, [this, itemId](const ImageOutcome &outcome) {
            if (outcome.error || !outcome.bytes || m_store.item(itemId) == nullptr) {
                done(itemId);
                return;
            }
            ItemImages::prepareInBackground(*outcome.bytes, ItemImages::Forms::ThumbnailOnly, this,
                                            [this, itemId](const ItemImages::Prepared &p) {
                                                if (Item *item = m_store.item(itemId))
                                                    ItemImages::apply(*item, p);
                                                done(itemId);
                                            });
        });
}

} // namespace quillory
