#pragma once

#include <metadata/AddressScope.h>
#include <metadata/FetchedMetadata.h>
#include <metadata/MetadataError.h>

#include <QByteArray>
#include <QObject>
#include <QUrl>
#include <functional>
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

// A page as its server answered the fetch of it.
struct ServedPage
{
    QUrl finalUrl;      // after redirects
    int httpStatus = 0; // of the last hop; 0 when none answered
    bool hostNotFound = false;
    QByteArray body; // a page that was read, cut at the page limit
    QByteArray contentType;
    bool truncated = false;
    QByteArray retryAfter; // how long a busy server asked to be left alone, as it said it
};

// A page's metadata, the page itself, and what a download its metadata names may reach.
struct PageOutcome
{
    MetadataOutcome metadata;
    ServedPage served;
    AddressReach imageReach = AddressReach::PublicOnly;
};

// Neither bytes nor an error means the page names no usable preview image.
struct ImageOutcome
{
    std::optional<QByteArray> bytes;
    std::optional<MetadataError> error;
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
// at a time, and any number of calls may run together. Nothing is cached: every call reads
// the page again.
class MetadataService final : public QObject
{
    Q_DISABLE_COPY_MOVE(MetadataService)

public:
    using Limits = MetadataLimits;

    explicit MetadataService(Limits limits = {}, QObject *parent = nullptr);
    ~MetadataService() override;

    static MetadataService &shared();
    static QByteArray userAgent();

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

    // As fetchMetadata(), with the page as served, so that one fetch can also keep it and
    // tell whether the link still answers.
    void fetchPage(const QUrl &url, const QObject *context,
                   std::function<void(const PageOutcome &)> done);
    // A picture a fetched page names, held to the reach that page's fetch gave it, in the
    // formats fetchPreviewImage() accepts.
    void fetchImage(const QUrl &imageUrl, AddressReach reach, const QObject *context,
                    std::function<void(const ImageOutcome &)> done);

private:
    using Reach = AddressReach;
    using PageStep = std::function<void(const PageOutcome &)>;
    using ImageStep = std::function<void(const ImageOutcome &)>;

    void resolveMetadata(MetadataCall *call, const QUrl &url, PageStep then);
    void downloadPage(MetadataCall *call, const QUrl &url, PageStep then);
    void downloadImage(MetadataCall *call, const QUrl &url, Reach reach, ImageStep then);
    QNetworkRequest request(const QUrl &url) const;

    Limits m_limits;
    QNetworkAccessManager *m_network = nullptr;
};

} // namespace quillory
