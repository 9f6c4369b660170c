#pragma once

#include <metadata/AddressScope.h>

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <functional>

class QHostInfo;
class QNetworkAccessManager;
class QNetworkReply;

namespace quillory {

// One GET held to its limits: only http and https on every hop, a bounded number of
// redirects never leaving https for http, a cap on the body, a deadline for the whole
// transfer, and no hop to the user's own machine or networks once a hop was answered from
// the internet. Each hop's name is resolved here and the connection made to the address
// that was checked, so a name that answers differently a moment later (DNS rebinding)
// cannot move it. It deletes itself once it has reported; deleting it (or its parent)
// earlier abandons the transfer.
class HttpDownload final : public QObject
{
    Q_DISABLE_COPY_MOVE(HttpDownload)

public:
    // What to do with a body that grows past the byte limit.
    enum class Overflow { Truncate, Fail };

    // Anywhere: the first hop anywhere; once a hop is answered from a public address, every
    // later one public too.
    using Reach = AddressReach;

    struct Settings
    {
        qint64 byteLimit = 0;
        Overflow overflow = Overflow::Fail;
        int resourceTimeoutMs = 15000;
        int maxRedirects = 10;
        Reach reach = Reach::Anywhere;
    };

    // Refused: the address, a redirect's target, or every address its name resolves to, is
    // not one this download may fetch.
    enum class Status { Complete, Truncated, BadStatus, Refused, TooLarge, Transport };

    struct Result
    {
        Status status = Status::Transport;
        QByteArray body;        // Complete and Truncated only
        QString errorText;      // Transport only
        QByteArray contentType; // Complete and Truncated only
        // What a download of an address the body names may reach.
        Reach onward = Reach::Anywhere;
        // Where the last hop went, and the HTTP status it answered (0 when none came).
        QUrl finalUrl;
        int httpStatus = 0;
        bool hostNotFound = false; // Transport only: the last hop's name does not resolve
        // The last hop's Retry-After header as sent, when it answered 429 or 503.
        QByteArray retryAfter;
    };
    using Done = std::function<void(const Result &)>;

    // Only http and https with a host are ever fetched.
    static bool isFetchable(const QUrl &url);
    // A redirect must stay fetchable and must not downgrade https to http.
    static bool redirectAllowed(const QUrl &from, const QUrl &to);
    // The text of a transfer that ran out of time.
    static QString timedOutText();

    // `request` carries the headers and the inactivity time-out for each hop. `done` runs once,
    // on this object's thread, unless the download is deleted first.
    HttpDownload(QNetworkAccessManager &network, QNetworkRequest request, Settings settings,
                 Done done, QObject *parent = nullptr);
    ~HttpDownload() override;

    void start();

private:
    void send();
    void onResolved(const QHostInfo &info);
    void request();
    Reach reachOnward() const;
    void onMetaDataChanged();
    void follow();
    void onReadyRead();
    void onFinished();
    // Moves what has arrived into the body; true when that ended the download.
    bool takeBody();
    void fail(Status status, QString errorText = {}, bool hostNotFound = false);
    void succeed(Status status); // Complete or Truncated, with the body taken so far
    void finish(Result result);
    void release();
    void dropReply();

    QNetworkAccessManager &m_network;
    QNetworkRequest m_request;
    Settings m_settings;
    Done m_done;
    QPointer<QNetworkReply> m_reply;
    QUrl m_currentUrl;
    Reach m_reach;
    QList<QHostAddress> m_addresses; // the current hop's, in the order they are tried
    qsizetype m_tried = 0;
    QHostAddress m_address; // the one the current request goes to
    int m_lookup = -1;
    QByteArray m_contentType;
    QByteArray m_body;
    QTimer m_deadline;
    int m_redirects = 0;
    bool m_finished = false;
};

} // namespace quillory
