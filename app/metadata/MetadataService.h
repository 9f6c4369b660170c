#pragma once

#include <metadata/AddressScope.h>
#include <metadata/FetchedMetadata.h>
#include <metadata/MetadataError.h>

#include <QByteArray>
#include <QCache>
#include <QDateTime>
#include <QObject>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkRequest;

namespace quillory {

class MetadataCall;

struct MetadataOutcome
{
    FetchedMetadata metadata;
    std::optional<MetadataError> error;
};

// Neither bytes nor an error means the page names no usable preview image.
struct ImageOutcome
{
    std::optional<QByteArray> bytes;
    std::optional<MetadataError> error;
};

// A platform link-preview service, asked before the page itself is downloaded. `done` must
// run exactly once, on the thread of the service that asked; nullopt sends the fetch on to
// the page's own HTML.
class LinkPreviewProvider
{
public:
    virtual ~LinkPreviewProvider() = default;

    struct Preview
    {
        std::optional<QString> title;
        std::optional<QString> imageURL;
    };
    virtual void fetch(const QUrl &url, std::function<void(std::optional<Preview>)> done) = 0;
};

struct MetadataLimits
{
    int requestTimeoutMs = 10000;  // longest wait for the next bytes
    int resourceTimeoutMs = 15000; // longest whole transfer
    qint64 pageByteLimit = 5 * 1024 * 1024;
    qint64 imageByteLimit = 10 * 1024 * 1024;
    int maxRedirects = 10;
};

// Fetches a page's title, description, author and preview image for a saved link. Lives on
// the interface thread and is called there; each call runs on its own, at most one transfer
// at a time, and any number of calls may run together. Preview-provider answers are cached
// for an hour; pages read through their HTML are not.
class MetadataService final : public QObject
{
    Q_DISABLE_COPY_MOVE(MetadataService)

public:
    using Limits = MetadataLimits;
    static constexpr qint64 cacheLifetimeMs = 3600 * 1000;
    static constexpr int cacheCapacity = 256;

    explicit MetadataService(Limits limits = {}, QObject *parent = nullptr);
    ~MetadataService() override;

    static MetadataService &shared();
    static QByteArray userAgent();

    // None by default on Linux, so every fetch reads the page's HTML.
    void setLinkPreviewProvider(std::unique_ptr<LinkPreviewProvider> provider);

    // Callbacks run on the context object's thread, after the call has returned, and never
    // once the context is destroyed; destroying it also abandons the transfer. A null
    // context delivers on this service's thread.
    void fetchMetadata(const QUrl &url, const QObject *context,
                       std::function<void(const MetadataOutcome &)> done);
    // The page's metadata, then its preview image when it names one that parses. Image
    // bytes come back only in a format pages use (JPEG, PNG, GIF, WebP), told from the bytes
    // themselves; others are invalid data.
    void fetchPreviewImage(const QUrl &pageUrl, const QObject *context,
                           std::function<void(const ImageOutcome &)> done);
    void fetchImageData(const QUrl &imageUrl, const QObject *context,
                        std::function<void(const ImageOutcome &)> done);

    static FetchedMetadata parseHTMLMetadata(const QString &html, const QUrl &baseURL);
    static QString decodeHTMLEntities(const QString &text);

private:
    struct CachedMetadata
    {
        FetchedMetadata metadata;
        QDateTime timestamp;
    };
    using Reach = AddressReach;
    // A page's metadata, and what its preview image's download may reach: absent when the
    // page was read by a preview service, whose answer says nothing of where the page lives.
    using PageStep = std::function<void(const MetadataOutcome &, std::optional<Reach>)>;
    using ImageStep = std::function<void(const ImageOutcome &)>;

    void resolveMetadata(MetadataCall *call, const QUrl &url, PageStep then);
    void downloadPage(MetadataCall *call, const QUrl &url, PageStep then);
    void downloadImage(MetadataCall *call, const QUrl &url, Reach reach, ImageStep then);
    QNetworkRequest request(const QUrl &url) const;

    Limits m_limits;
    QNetworkAccessManager *m_network = nullptr;
    std::unique_ptr<LinkPreviewProvider> m_provider;
    QCache<QUrl, CachedMetadata> m_cache{cacheCapacity};
};

} // namespace quillory
