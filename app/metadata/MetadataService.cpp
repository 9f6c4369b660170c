#include <metadata/MetadataService.h>
#include <util/BuildInfo.h>

#include <html/HtmlDecoding.h>
#include <metadata/HtmlMetadataParser.h>
#include <metadata/HttpDownload.h>
#include <util/ImageDecoder.h>

#include <QFutureWatcher>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QPromise>
#include <QThreadPool>

namespace quillory {

// One public call from start to delivery. It owns the call's transfer, so deleting it (when
// the context goes, or with the service) abandons whatever is in flight.
class MetadataCall final : public QObject
{
    Q_OBJECT

public:
    MetadataCall(MetadataService &service, const QObject *context)
        : QObject(&service), m_receiver(context != nullptr ? context : &service)
    {
        if (context != nullptr)
            connect(context, &QObject::destroyed, this, &QObject::deleteLater);
    }

    // The connection is made now, while the context is known to be alive; Qt severs it
    // and drops the queued delivery if the context is destroyed first.
    template <typename Outcome>
    std::function<void(const Outcome &)> deliverer(std::function<void(const Outcome &)> done)
    {
        auto slot = std::make_shared<Outcome>();
        connect(
            this, &MetadataCall::ready, m_receiver, [slot, done = std::move(done)] { done(*slot); },
            Qt::QueuedConnection);
        return [this, slot](const Outcome &outcome) {
            *slot = outcome;
            emit ready();
            deleteLater();
        };
    }

    // Decoding and parsing a page of megabytes runs on the thread pool.
    void parse(const HttpDownload::Result &page, const QUrl &base,
               std::function<void(const MetadataOutcome &)> then)
    {
        auto promise = std::make_shared<QPromise<FetchedMetadata>>();
        auto *watcher = new QFutureWatcher<FetchedMetadata>(this);
        connect(watcher, &QFutureWatcherBase::finished, this, [watcher, then = std::move(then)] {
            then({watcher->result(), std::nullopt});
        });
        watcher->setFuture(promise->future());
        promise->start();
        QThreadPool::globalInstance()->start(
            [promise, body = page.body, contentType = page.contentType,
             truncated = page.status == HttpDownload::Status::Truncated, base] {
                promise->addResult(HtmlMetadataParser::parse(
                    HtmlDecoding::decodePage(body, contentType, truncated), base));
                promise->finish();
            });
    }

signals:
    void ready();

private:
    const QObject *m_receiver;
};

MetadataService::MetadataService(Limits limits, QObject *parent)
    : QObject(parent), m_limits(limits), m_network(new QNetworkAccessManager(this))
{
}

MetadataService::~MetadataService() = default;

MetadataService &MetadataService::shared()
{
    static MetadataService *instance = new MetadataService(); // lives as long as the process
    return *instance;
}

QByteArray MetadataService::userAgent()
{
    static const QByteArray agent = QByteArrayLiteral("Quillory/") +
                                    BuildInfo::appVersion().toUtf8() +
                                    QByteArrayLiteral(" (Privacy-First Reference Library)");
    return agent;
}

void MetadataService::fetchMetadata(const QUrl &url, const QObject *context,
                                    std::function<void(const MetadataOutcome &)> done)
{
    auto *call = new MetadataCall(*this, context);
    resolveMetadata(call, url,
                    [deliver = call->deliverer(std::move(done))](const PageOutcome &page) {
                        deliver(page.metadata);
                    });
}

void MetadataService::fetchPage(const QUrl &url, const QObject *context,
                                std::function<void(const PageOutcome &)> done)
{
    auto *call = new MetadataCall(*this, context);
    resolveMetadata(call, url, call->deliverer(std::move(done)));
}

void MetadataService::fetchPreviewImage(const QUrl &pageUrl, const QObject *context,
                                        std::function<void(const ImageOutcome &)> done)
{
    auto *call = new MetadataCall(*this, context);
    ImageStep deliver = call->deliverer(std::move(done));
    resolveMetadata(call, pageUrl, [this, call, deliver](const PageOutcome &page) {
        if (page.metadata.error) {
            deliver({std::nullopt, page.metadata.error});
            return;
        }
        const std::optional<QString> &named = page.metadata.metadata.imageURL;
        const QUrl image = named ? QUrl(*named, QUrl::TolerantMode) : QUrl();
        if (image.isEmpty() || !image.isValid()) {
            deliver({});
            return;
        }
        downloadImage(call, image, page.imageReach, deliver);
    });
}

void MetadataService::fetchImage(const QUrl &imageUrl, AddressReach reach, const QObject *context,
                                 std::function<void(const ImageOutcome &)> done)
{
    auto *call = new MetadataCall(*this, context);
    downloadImage(call, imageUrl, reach, call->deliverer(std::move(done)));
}

void MetadataService::resolveMetadata(MetadataCall *call, const QUrl &url, PageStep then)
{
    if (!HttpDownload::isFetchable(url)) {
        then({{{}, MetadataError(MetadataError::Kind::FetchFailed)}, {}, Reach::PublicOnly});
        return;
    }
    downloadPage(call, url, std::move(then));
}

void MetadataService::downloadPage(MetadataCall *call, const QUrl &url, PageStep then)
{
    // The page is the one the user named, so it may be on their own network.
    const HttpDownload::Settings settings{m_limits.pageByteLimit, HttpDownload::Overflow::Truncate,
                                          m_limits.resourceTimeoutMs, m_limits.maxRedirects,
                                          Reach::Anywhere};
    const auto done = [call, url, then](const HttpDownload::Result &result) {
        using Status = HttpDownload::Status;
        ServedPage served{result.finalUrl, result.httpStatus, result.hostNotFound, {}, {},
                          false,           result.retryAfter};
        const auto failed = [&](MetadataError error) {
            then({{{}, std::move(error)}, served, Reach::PublicOnly});
        };
        switch (result.status) {
        case Status::Complete:
        case Status::Truncated:
            served.body = result.body;
            served.contentType = result.contentType;
            served.truncated = result.status == Status::Truncated;
            // Relative addresses resolve against the address asked for, not the one
            // redirects ended at.
            call->parse(result, url,
                        [then, served, onward = result.onward](const MetadataOutcome &o) {
                            then({o, served, onward});
                        });
            return;
        case Status::Transport:
            failed(MetadataError::transport(result.errorText));
            return;
        case Status::BadStatus:
        case Status::Refused:
        case Status::TooLarge:
            break;
        }
        failed(MetadataError(MetadataError::Kind::FetchFailed));
    };
    (new HttpDownload(*m_network, request(url), settings, done, call))->start();
}

void MetadataService::downloadImage(MetadataCall *call, const QUrl &url, Reach reach,
                                    ImageStep then)
{
    if (!HttpDownload::isFetchable(url)) {
        then({std::nullopt, MetadataError(MetadataError::Kind::ImageFetchFailed)});
        return;
    }
    const HttpDownload::Settings settings{m_limits.imageByteLimit, HttpDownload::Overflow::Fail,
                                          m_limits.resourceTimeoutMs, m_limits.maxRedirects, reach};
    const auto done = [then](const HttpDownload::Result &result) {
        using Status = HttpDownload::Status;
        switch (result.status) {
        case Status::Complete:
        case Status::Truncated:
            // A page may name anything as its picture; only the formats pages use are
            // decoded, by what the bytes are, whatever the server calls them.
            if (ImageDecoder::webFormat(result.body).isEmpty())
                then({std::nullopt, MetadataError(MetadataError::Kind::InvalidData)});
            else
                then({result.body, std::nullopt});
            return;
        case Status::TooLarge:
            then({std::nullopt, MetadataError(MetadataError::Kind::ImageTooLarge)});
            return;
        case Status::Transport:
            then({std::nullopt, MetadataError::transport(result.errorText)});
            return;
        case Status::BadStatus:
        case Status::Refused:
            break;
        }
        then({std::nullopt, MetadataError(MetadataError::Kind::ImageFetchFailed)});
    };
    (new HttpDownload(*m_network, request(url), settings, done, call))->start();
}

QNetworkRequest MetadataService::request(const QUrl &url) const
{
    QNetworkRequest r(url);
    r.setRawHeader(QByteArrayLiteral("User-Agent"), userAgent());
    r.setRawHeader(
        QByteArrayLiteral("Accept"),
        QByteArrayLiteral("text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8"));
    r.setRawHeader(QByteArrayLiteral("Accept-Language"), QByteArrayLiteral("en-US,en;q=0.9"));
    // Nothing is kept between requests: no cache, no cookies, no remembered credentials.
    r.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    r.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    r.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    r.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    r.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    r.setTransferTimeout(m_limits.requestTimeoutMs);
    return r;
}

} // namespace quillory

#include "MetadataService.moc"
