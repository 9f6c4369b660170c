#include <intake/ItemEnricher.h>

#include <intake/ItemImages.h>
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
    m_metadata.fetchMetadata(
        url, this, [this, itemId, url, keepTitle](const MetadataOutcome &outcome) {
            if (outcome.error) {
                const QByteArray line =
                    "Failed to fetch metadata: " + outcome.error->description().toUtf8() + '\n';
                std::fputs(line.constData(), stdout);
                std::fflush(stdout);
                done(itemId);
                return;
            }
            Item *item = m_store.item(itemId);
            if (item == nullptr) {
                done(itemId);
                return;
            }
            const FetchedMetadata &fetched = outcome.metadata;
            // A blank page title would leave the item with no name at all.
            if (!keepTitle && fetched.title && !fetched.title->isEmpty())
                item->setTitle(*bounded(fetched.title, titleLimit));
            ItemMetadata metadata;
            metadata.author = bounded(fetched.author, authorLimit);
            metadata.publishDate = fetched.publishDate;
            metadata.description = bounded(fetched.description, descriptionLimit);
            item->setMetadata(metadata);
            fetchPreviewImage(itemId, url);
        });
}

std::optional<QString> ItemEnricher::bounded(const std::optional<QString> &text, qsizetype limit)
{
    if (!text)
        return text;
    return BoundedText::of(*text, limit);
}

void ItemEnricher::fetchPreviewImage(const QUuid &itemId, const QUrl &url)
{
    m_metadata.fetchPreviewImage(url, this, [this, itemId](const ImageOutcome &outcome) {
        if (outcome.error || !outcome.bytes || m_store.item(itemId) == nullptr) {
            done(itemId);
            return;
        }
        ItemImages::prepareInBackground(*outcome.bytes, ItemImages::Forms::ThumbnailOnly, this,
                                        [this, itemId](const ItemImages::Prepared &prepared) {
                                            if (Item *item = m_store.item(itemId))
                                                ItemImages::apply(*item, prepared);
                                            done(itemId);
                                        });
    });
}

} // namespace quillory
