#include <bookmarks/EnrichmentBatch.h>

#include <intake/ItemEnricher.h>

#include <model/ReleaseElsewhere.h>

namespace quillory {

EnrichmentBatch::EnrichmentBatch(ItemEnricher &enricher,
                                 std::shared_ptr<const BookmarkImportResult::Pages> pages,
                                 QObject *parent)
    : QObject(parent), m_enricher(enricher), m_pages(std::move(pages))
{
}

void EnrichmentBatch::start()
{
    if (m_running)
        return;
    m_running = true;
    if (!m_pages)
        m_pages = std::make_shared<const BookmarkImportResult::Pages>();
    m_pending.reserve(qsizetype(m_pages->size()));
    for (const auto &page : *m_pages)
        m_pending.insert(page.itemId);
    m_total = m_pending.size();
    if (m_total == 0) {
        QMetaObject::invokeMethod(this, &EnrichmentBatch::end, Qt::QueuedConnection);
        return;
    }
    connect(&m_enricher, &ItemEnricher::finished, this, &EnrichmentBatch::pageFinished);
    for (const auto &page : *m_pages)
        m_enricher.enrich(page.itemId, page.url,
                          page.keepTitle ? ItemEnricher::Title::Keep
                                         : ItemEnricher::Title::FromPage);
    releaseElsewhere(std::move(m_pages));
}

void EnrichmentBatch::stop()
{
    if (!m_running)
        return;
    m_enricher.cancelWaiting(m_pending);
    end();
}

void EnrichmentBatch::pageFinished(const QUuid &itemId)
{
    if (!m_pending.remove(itemId))
        return;
    emit progress(done(), m_total);
    if (m_pending.isEmpty())
        end();
}

void EnrichmentBatch::end()
{
    if (!m_running)
        return;
    m_running = false;
    disconnect(&m_enricher, nullptr, this, nullptr);
    emit finished();
}

} // namespace quillory
