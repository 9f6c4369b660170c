#pragma once

#include <bookmarks/BookmarkImportResult.h>

#include <QObject>
#include <QSet>
#include <QUuid>
#include <vector>

namespace quillory {

class ItemEnricher;

// Fetches the details of many pages at once, such as those of a bookmark import, through
// the enricher, which fetches only a few at a time; counts them as they finish and can be
// stopped. A title the bookmark had of its own stays. Interface thread.
class EnrichmentBatch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EnrichmentBatch)

public:
    EnrichmentBatch(ItemEnricher &enricher,
                    std::shared_ptr<const BookmarkImportResult::Pages> pages,
                    QObject *parent = nullptr);

    // Once only.
    void start();
    // Pages not fetched yet are left alone; the ones under way finish.
    void stop();
    qsizetype total() const { return m_total; }
    qsizetype done() const { return m_total - m_pending.size(); }

signals:
    void progress(qsizetype done, qsizetype total);
    // Every page fetched (or failed to be), or the batch stopped.
    void finished();

private:
    void pageFinished(const QUuid &itemId);
    void end();

    ItemEnricher &m_enricher;
    std::shared_ptr<const BookmarkImportResult::Pages> m_pages;
    QSet<QUuid> m_pending;
    qsizetype m_total = 0;
    bool m_running = false;
};

} // namespace quillory
