#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

namespace quillory {

// One GET held to its limits: only http and https on every hop, a bounded number of
// redirects never leaving https for http, a cap on the body and a deadline for the
// whole transfer. It deletes itself once it has reported; deleting it (or its parent)
// earlier abandons the transfer.
class HttpDownload final : public QObject
{
    Q_DISABLE_COPY_MOVE(HttpDownload)

public:
    // What to do with a body that grows past the byte limit.
    enum class Overflow { Truncate, Fail };

    struct Settings
    {
        qint64 byteLimit = 0;
        Overflow overflow = Overflow::Fail;
        int resourceTimeoutMs = 15000;
        int maxRedirects = 10;
    };

    // Refused: the address, or a redirect's target, is not one this download may fetch.
    enum class Status { Complete, Truncated, BadStatus, Refused, TooLarge, Transport };

    struct Result
    {
        Status status = Status::Transport;
        QByteArray body;        // Complete and Truncated only
        QString errorText;      // Transport only
        QByteArray contentType; // Complete and Truncated only
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
    void onMetaDataChanged();
    void follow();
    void onReadyRead();
    void onFinished();
    // Moves what has arrived into the body; true when that ended the download.
    bool takeBody();
    void fail(Status status, QString errorText = {});
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
    QByteArray m_contentType;
    QByteArray m_body;
    QTimer m_deadline;
    int m_redirects = 0;
    bool m_finished = false;
};

} // namespace quillory
