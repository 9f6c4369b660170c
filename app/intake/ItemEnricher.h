#pragma once

#include <QObject>
#include <QQueue>
#include <QSet>
#include <QUrl>
#include <QUuid>
#include <optional>

namespace quillory {

class KeptPages;
class LibraryStore;
class MetadataService;

// Fills a newly added web item with what its page says about itself: the page's title,
// author, date and description, then a thumbnail of its preview image. With kept pages, the
// same fetch also keeps a copy of the page and notes whether the link still answers. The
// item is looked up again after every wait, so one deleted meanwhile is left alone.
class ItemEnricher final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ItemEnricher)

public:
    ItemEnricher(LibraryStore &store, MetadataService &metadata, QObject *parent = nullptr);

    // Returns at once; failures print one line and leave the item as it is. At most
    // maxInFlight items are enriched at a time (a share of hundreds of links must not start
    // hundreds of downloads at once); the others wait their turn in order.
    // With Title::Keep, a title the user gave (a bookmark's, say) is not replaced by the
    // page's.
    enum class Title { FromPage, Keep };
    void enrich(const QUuid &itemId, const QUrl &url, Title title = Title::FromPage);
    // Those of the items that still wait for their turn wait no more; they are not
    // reported as finished. Enrichments already under way run to their end.
    void cancelWaiting(const QSet<QUuid> &itemIds);
    qsizetype waitingCount() const { return m_waiting.size(); }
    // Where fetches' answers go and, while `keepCopies` holds, the pages fetched; null for
    // neither. The pages must outlive the enrichments under way or be unset first.
    void setKeptPages(KeptPages *pages, bool keepCopies);
    static constexpr int maxInFlight = 4;

    // The most of a page's own words kept in a record: a hostile page's megabyte title
    // must not become a megabyte title in every list, search and save.
    static constexpr qsizetype titleLimit = 1000;
    static constexpr qsizetype descriptionLimit = 4000;
    static constexpr qsizetype authorLimit = 300;
    static std::optional<QString> bounded(const std::optional<QString> &text, qsizetype limit);

signals:
    // Emitted when an enrichment has done all it will do, whatever the outcome.
    void finished(const QUuid &itemId);

private:
    void startWaiting();
    struct Request
    {
        QUuid itemId;
        QUrl url;
        Title title;
    };
    void start(const Request &request);
    void done(const QUuid &itemId);
    void fetchPreviewImage(const QUuid &itemId, const std::optional<QString> &imageUrl,
                           int imageReach);

    LibraryStore &m_store;
    MetadataService &m_metadata;
    QQueue<Request> m_waiting;
    int m_inFlight = 0;
    KeptPages *m_pages = nullptr;
    bool m_keepCopies = false;
};

} // namespace quillory
