#include <metadata/HttpDownload.h>

#include <metadata/AddressScope.h>

#include <QHostInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace quillory {

namespace {

constexpr qint64 readBufferBytes = 256 * 1024;

bool isSuccess(int status)
{
    return status >= 200 && status <= 299;
}

int statusOf(const QNetworkReply &reply)
{
    return reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool isHttps(const QUrl &url)
{
    return url.scheme().compare(QStringLiteral("https"), Qt::CaseInsensitive) == 0;
}

// Errors that come before any answer and may be the address's alone, so that the name's
// next address is worth a try.
bool isUnreachable(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
        return true;
    default:
        return false;
    }
}

} // namespace

bool HttpDownload::isFetchable(const QUrl &url)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    return isHttps(url) || url.scheme().compare(QStringLiteral("http"), Qt::CaseInsensitive) == 0;
}

bool HttpDownload::redirectAllowed(const QUrl &from, const QUrl &to)
{
    return isFetchable(to) && !(isHttps(from) && !isHttps(to));
}

QString HttpDownload::timedOutText()
{
    return QStringLiteral("The request timed out.");
}

HttpDownload::HttpDownload(QNetworkAccessManager &network, QNetworkRequest request,
                           Settings settings, Done done, QObject *parent)
    : QObject(parent), m_network(network), m_request(std::move(request)), m_settings(settings),
      m_done(std::move(done)), m_currentUrl(m_request.url()), m_reach(m_settings.reach)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this,
            [this] { fail(Status::Transport, timedOutText()); });
}

HttpDownload::~HttpDownload()
{
    release();
}

void HttpDownload::start()
{
    m_deadline.start(m_settings.resourceTimeoutMs);
    send();
}

void HttpDownload::send()
{
    if (!isFetchable(m_currentUrl)) {
        fail(Status::Refused);
        return;
    }
    QHostAddress literal;
    if (literal.setAddress(m_currentUrl.host())) {
        QHostInfo info;
        info.setAddresses({literal});
        onResolved(info);
        return;
    }
    m_lookup = QHostInfo::lookupHost(m_currentUrl.host(), this, [this](const QHostInfo &info) {
        m_lookup = -1;
        onResolved(info);
    });
}

void HttpDownload::onResolved(const QHostInfo &info)
{
    if (m_finished)
        return;
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
        const bool notFound = info.error() == QHostInfo::HostNotFound;
        fail(Status::Transport,
             notFound ? QStringLiteral("Host %1 not found").arg(m_currentUrl.host())
                      : info.errorString(),
             notFound);
        return;
    }
    m_addresses = info.addresses();
    if (m_reach == Reach::PublicOnly)
        m_addresses.removeIf([](const QHostAddress &a) { return !AddressScope::isPublic(a); });
    if (m_addresses.isEmpty()) {
        fail(Status::Refused);
        return;
    }
    m_tried = 0;
    request();
}

void HttpDownload::request()
{
    m_address = m_addresses.at(m_tried++);
    QNetworkRequest request = m_request;
    QUrl pinned = m_currentUrl;
    if (QHostAddress(m_currentUrl.host()).isNull()) {
        // The name travels in the Host header and the certificate check (and TLS's server
        // name) instead; HTTP/2 would name the server by the address.
        pinned.setHost(m_address.toString());
        QByteArray host = m_currentUrl.host(QUrl::FullyEncoded).toLatin1();
        if (m_currentUrl.port() != -1)
            host += ':' + QByteArray::number(m_currentUrl.port());
        request.setRawHeader(QByteArrayLiteral("Host"), host);
        request.setPeerVerifyName(m_currentUrl.host(QUrl::FullyEncoded));
        request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    }
    request.setUrl(pinned);
    // Redirects are followed here rather than by the network layer, so that every hop
    // passes the same checks and is counted against one limit.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    m_reply = m_network.get(request);
    // Without a bound the network thread keeps reading into the reply however far behind
    // this thread is; with one it stops at the bound until the body has been taken.
    m_reply->setReadBufferSize(readBufferBytes);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &HttpDownload::onMetaDataChanged);
    connect(m_reply, &QNetworkReply::readyRead, this, &HttpDownload::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &HttpDownload::onFinished);
}

HttpDownload::Reach HttpDownload::reachOnward() const
{
    return AddressScope::isPublic(m_address) ? Reach::PublicOnly : m_reach;
}

void HttpDownload::onMetaDataChanged()
{
    const int status = statusOf(*m_reply);
    if (status < 200)
        return;
    if (isRedirect(status)) {
        follow();
        return;
    }
    if (!isSuccess(status)) {
        fail(Status::BadStatus); // the body of an error page is of no use
        return;
    }
    m_contentType = m_reply->rawHeader(QByteArrayLiteral("Content-Type"));
    if (m_settings.overflow == Overflow::Fail) {
        const QVariant declared = m_reply->header(QNetworkRequest::ContentLengthHeader);
        if (declared.isValid() && declared.toLongLong() > m_settings.byteLimit)
            fail(Status::TooLarge);
    }
}

void HttpDownload::follow()
{
    const QByteArray location = m_reply->rawHeader(QByteArrayLiteral("Location"));
    if (location.isEmpty()) {
        fail(Status::BadStatus);
        return;
    }
    const QUrl target = m_currentUrl.resolved(QUrl(QString::fromUtf8(location)));
    ++m_redirects;
    if (m_redirects > m_settings.maxRedirects || !redirectAllowed(m_currentUrl, target)) {
        fail(Status::Refused);
        return;
    }
    dropReply();
    m_reach = reachOnward();
    m_currentUrl = target;
    m_body.clear();
    m_contentType.clear();
    send();
}

void HttpDownload::onReadyRead()
{
    if (!isSuccess(statusOf(*m_reply))) {
        m_reply->skip(m_reply->bytesAvailable());
        return;
    }
    takeBody();
}

bool HttpDownload::takeBody()
{
    m_body += m_reply->readAll();
    if (m_body.size() <= m_settings.byteLimit)
        return false;
    if (m_settings.overflow == Overflow::Fail) {
        fail(Status::TooLarge);
        return true;
    }
    m_body.truncate(m_settings.byteLimit);
    succeed(Status::Truncated);
    return true;
}

void HttpDownload::onFinished()
{
    const int status = statusOf(*m_reply);
    if (isRedirect(status)) {
        follow();
        return;
    }
    if (status != 0 && !isSuccess(status)) {
        fail(Status::BadStatus);
        return;
    }
    if (status == 0 && m_body.isEmpty() && m_tried < m_addresses.size() &&
        isUnreachable(m_reply->error())) {
        dropReply();
        request();
        return;
    }
    switch (m_reply->error()) {
    case QNetworkReply::NoError:
        break;
    case QNetworkReply::OperationCanceledError:
        // Nothing here aborts a reply, so this is the inactivity time-out.
        fail(Status::Transport, timedOutText());
        return;
    default:
        fail(Status::Transport, m_reply->errorString());
        return;
    }
    if (!takeBody())
        succeed(Status::Complete);
}

void HttpDownload::fail(Status status, QString errorText, bool hostNotFound)
{
    Result result;
    result.status = status;
    result.errorText = std::move(errorText);
    result.finalUrl = m_currentUrl;
    result.httpStatus = m_reply ? statusOf(*m_reply) : 0;
    result.hostNotFound = hostNotFound;
    if (result.httpStatus == 429 || result.httpStatus == 503)
        result.retryAfter = m_reply->rawHeader(QByteArrayLiteral("Retry-After")).left(64);
    finish(std::move(result));
}

void HttpDownload::succeed(Status status)
{
    Result result;
    result.status = status;
    result.body = std::move(m_body);
    result.contentType = m_contentType;
    result.onward = reachOnward();
    result.finalUrl = m_currentUrl;
    result.httpStatus = m_reply ? statusOf(*m_reply) : 0;
    finish(std::move(result));
}

void HttpDownload::finish(Result result)
{
    if (m_finished)
        return;
    m_finished = true;
    release();
    deleteLater();
    if (m_done)
        m_done(result);
}

void HttpDownload::release()
{
    m_deadline.stop();
    if (m_lookup != -1)
        QHostInfo::abortHostLookup(std::exchange(m_lookup, -1));
    dropReply();
}

void HttpDownload::dropReply()
{
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    // Deleting a reply cancels its transfer. abort() would too, but the network layer may
    // still have the reply's own error queued, and reporting both makes it complain.
    reply->deleteLater();
}

} // namespace quillory
