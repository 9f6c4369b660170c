#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <optional>
#include <utility>

class QHostAddress;
class QTcpServer;

namespace quillory::test {

// A small HTTP/1.1 server on 127.0.0.1 (or another local address; a free port chosen at
// construction) that answers GET requests with canned responses by path, for tests that need
// a real transport.
// It runs on the thread that made it, so a test waits for a client with an event loop
// (QTest::qWaitFor, QSignalSpy::wait). Connections are kept alive after complete answers of
// known length, as ordinary servers do, and closed after any other; a path with no route
// gets 404.
//
//     TestHttpServer server;
//     server.route(QStringLiteral("/page"), TestHttpServer::Response::html("<title>Hi</title>"));
//     fetch(server.url(QStringLiteral("/page")));
//     EXPECT_EQ(server.hits(QStringLiteral("/page")), 1);
class TestHttpServer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TestHttpServer)

public:
    struct Response
    {
        enum class Body {
            Complete, // the headers and `body`, the whole answer
            Endless,  // `body`, then `endlessChunk` again and again until the client leaves
            Stall,    // the headers and `body`, then nothing, with the connection held open
        };

        int status = 200;
        QByteArray contentType = QByteArrayLiteral("text/html; charset=utf-8"); // empty: none
        QByteArray body;
        QList<std::pair<QByteArray, QByteArray>> headers; // extra lines, e.g. Location
        Body mode = Body::Complete;
        int firstByteDelayMs = 0;
        // Content-Length to announce instead of the true one; a negative value announces
        // none, so the body ends when the connection closes. Without it, Complete responses
        // announce their true length and the others none.
        std::optional<qint64> declaredLength;
        QByteArray endlessChunk = QByteArray(64 * 1024, 'x');
        int chunkIntervalMs = 0;
        // Sends "Connection: close" and closes the connection after the answer.
        bool closeConnection = false;

        static Response html(const QByteArray &body, int status = 200);
        static Response bytes(const QByteArray &body, const QByteArray &contentType);
        static Response redirect(const QUrl &to, int status = 302);
    };

    explicit TestHttpServer(QObject *parent = nullptr);
    // On another local address, for tests in a network namespace that has one.
    explicit TestHttpServer(const QHostAddress &address, QObject *parent = nullptr);
    ~TestHttpServer() override;

    bool isListening() const;
    quint16 port() const;
    // `path` may carry a query, which routing ignores: "/a?x=1" is served by route "/a".
    QUrl url(const QString &path) const;

    // Replaces any earlier response for `path`.
    void route(const QString &path, Response response);

    // Requests received for `path`, and for all paths.
    int hits(const QString &path) const;
    int totalHits() const;
    // Header names are lower-cased.
    QHash<QByteArray, QByteArray> lastRequestHeaders() const { return m_lastHeaders; }
    QByteArray lastRequestHeader(const QByteArray &name) const;
    // Connections accepted and not yet closed by either side.
    int openConnections() const { return m_openConnections; }

signals:
    void requestReceived(const QString &path);

private:
    Response answer(const QString &path, const QHash<QByteArray, QByteArray> &headers);

    QTcpServer *m_server = nullptr;
    QHash<QString, Response> m_routes;
    QHash<QString, int> m_hits;
    QHash<QByteArray, QByteArray> m_lastHeaders;
    int m_totalHits = 0;
    int m_openConnections = 0;
};

} // namespace quillory::test
