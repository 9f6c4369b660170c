#include <intake/ItemEnricher.h>

#include <intake/ItemImages.h>
#include <metadata/MetadataService.h>
#include <pages/KeptPages.h>

#include <model/BoundedText.h>
#include <model/Clock.h>
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
    m_metadata.fetchPage(url, this, [this, itemId, keepTitle](const PageOutcome &outcome) {
        Item *item = m_store.item(itemId);
        if (item != nullptr)
            notePage(itemId, outcome.served, !outcome.metadata.error);
        if (outcome.metadata.error) {
            const QByteArray line =
                "Failed to fetch metadata: " + outcome.metadata.error->description().toUtf8() +
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

void ItemEnricher::notePage(const QUuid &itemId, const ServedPage &served, bool read)
{
    if (m_pages == nullptr)
        return;
    int answer = FetchAnswer::NoAnswer;
    if (served.hostNotFound)
        answer = FetchAnswer::HostNotFound;
    else if (served.httpStatus >= 100 && served.httpStatus <= 599)
        answer = served.httpStatus;
    m_pages->recordAnswer(itemId, answer);
    if (!m_keepCopies || !read || served.body.isEmpty())
        return;
    m_pages->keep(itemId, {Clock::nowMSecs(), served.finalUrl.toString(), served.httpStatus,
                           served.body, served.contentType, served.truncated});
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
