#include "TestHttpServer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>

namespace quillory::test {

namespace {

QByteArray reasonPhrase(int status)
{
    static const QHash<int, QByteArray> phrases{
        {200, "OK"},        {301, "Moved Permanently"},    {302, "Found"},
        {303, "See Other"}, {307, "Temporary Redirect"},   {308, "Permanent Redirect"},
        {404, "Not Found"}, {500, "Internal Server Error"}};
    return phrases.value(status, QByteArrayLiteral("Status"));
}

// Keeps an endless body flowing without piling megabytes into the socket's write buffer
// when the client reads slowly.
constexpr qint64 endlessBacklog = 1024 * 1024;

using Answer = std::function<TestHttpServer::Response(const QString &path,
                                                      const QHash<QByteArray, QByteArray> &)>;

// One accepted connection: answers its requests in turn, and deletes itself once the
// socket closes.
class Connection final : public QObject
{
public:
    Connection(QTcpSocket *socket, Answer answer, QObject *parent)
        : QObject(parent), m_socket(socket), m_answer(std::move(answer))
    {
        m_socket->setParent(this);
        connect(m_socket, &QTcpSocket::readyRead, this, &Connection::onReadyRead);
        connect(m_socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
        connect(&m_pump, &QTimer::timeout, this, &Connection::pump);
    }

private:
    void onReadyRead()
    {
        m_request += m_socket->readAll();
        takeRequest();
    }

    // Answers the next request in the buffer, unless one is still being answered.
    void takeRequest()
    {
        if (m_busy)
            return;
        const qsizetype end = m_request.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        m_busy = true;

        const QList<QByteArray> lines = m_request.left(end).split('\n');
        m_request.remove(0, end + 4);
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        const QString path = QUrl::fromEncoded(requestLine.value(1)).path();
        QHash<QByteArray, QByteArray> headers;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                headers.insert(lines[i].left(colon).trimmed().toLower(),
                               lines[i].mid(colon + 1).trimmed());
        }
        m_clientCloses = headers.value("connection").toLower() == "close";
        m_response = m_answer(path, headers);
        if (m_response.firstByteDelayMs > 0)
            QTimer::singleShot(m_response.firstByteDelayMs, this, &Connection::respond);
        else
            respond();
    }

    void respond()
    {
        using Body = TestHttpServer::Response::Body;
        const TestHttpServer::Response &r = m_response;
        const bool lengthKnown =
            r.declaredLength ? *r.declaredLength >= 0 : r.mode == Body::Complete;
        // Only a complete, length-delimited answer leaves the connection usable.
        const bool keepOpen =
            r.mode == Body::Complete && lengthKnown && !r.closeConnection && !m_clientCloses;
        QByteArray head = QByteArrayLiteral("HTTP/1.1 ") + QByteArray::number(r.status) + ' ' +
                          reasonPhrase(r.status) + QByteArrayLiteral("\r\n");
        if (!r.contentType.isEmpty())
            head += QByteArrayLiteral("Content-Type: ") + r.contentType + QByteArrayLiteral("\r\n");
        if (lengthKnown)
            head += QByteArrayLiteral("Content-Length: ") +
                    QByteArray::number(r.declaredLength.value_or(r.body.size())) +
                    QByteArrayLiteral("\r\n");
        for (const auto &[name, value] : r.headers)
            head += name + QByteArrayLiteral(": ") + value + QByteArrayLiteral("\r\n");
        head += keepOpen ? QByteArrayLiteral("Connection: keep-alive\r\n\r\n")
                         : QByteArrayLiteral("Connection: close\r\n\r\n");

        m_socket->write(head + r.body);
        switch (r.mode) {
        case Body::Complete:
            if (keepOpen) {
                m_busy = false;
                takeRequest();
            } else {
                m_socket->disconnectFromHost(); // after what is buffered has gone out
            }
            break;
        case Body::Endless:
            m_pump.start(r.chunkIntervalMs);
            break;
        case Body::Stall:
            break;
        }
    }

    void pump()
    {
        if (m_socket->state() != QAbstractSocket::ConnectedState) {
            m_pump.stop();
            return;
        }
        if (m_socket->bytesToWrite() < endlessBacklog)
            m_socket->write(m_response.endlessChunk);
    }

    QTcpSocket *m_socket;
    Answer m_answer;
    QByteArray m_request;
    bool m_busy = false;
    bool m_clientCloses = false;
    TestHttpServer::Response m_response;
    QTimer m_pump;
};

} // namespace

TestHttpServer::Response TestHttpServer::Response::html(const QByteArray &body, int status)
{
    Response r;
    r.status = status;
    r.body = body;
    return r;
}

TestHttpServer::Response TestHttpServer::Response::bytes(const QByteArray &body,
                                                         const QByteArray &contentType)
{
    Response r;
    r.contentType = contentType;
    r.body = body;
    return r;
}

TestHttpServer::Response TestHttpServer::Response::redirect(const QUrl &to, int status)
{
    Response r;
    r.status = status;
    r.contentType.clear();
    r.headers.append({QByteArrayLiteral("Location"), to.toEncoded()});
    return r;
}

TestHttpServer::TestHttpServer(QObject *parent) : TestHttpServer(QHostAddress::LocalHost, parent)
{
}

TestHttpServer::TestHttpServer(const QHostAddress &address, QObject *parent)
    : QObject(parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server->nextPendingConnection()) {
            ++m_openConnections;
            auto *connection = new Connection(
                socket,
                [this](const QString &path, const QHash<QByteArray, QByteArray> &headers) {
                    return answer(path, headers);
                },
                this);
            connect(connection, &QObject::destroyed, this, [this] { --m_openConnections; });
        }
    });
    m_server->listen(address);
}

TestHttpServer::~TestHttpServer() = default;

bool TestHttpServer::isListening() const
{
    return m_server->isListening();
}

quint16 TestHttpServer::port() const
{
    return m_server->serverPort();
}

QUrl TestHttpServer::url(const QString &path) const
{
    return QUrl(
        QStringLiteral("http://%1:%2").arg(m_server->serverAddress().toString()).arg(port()) +
        path);
}

void TestHttpServer::route(const QString &path, Response response)
{
    m_routes.insert(path, std::move(response));
}

int TestHttpServer::hits(const QString &path) const
{
    return m_hits.value(path);
}

int TestHttpServer::totalHits() const
{
    return m_totalHits;
}

QByteArray TestHttpServer::lastRequestHeader(const QByteArray &name) const
{
    return m_lastHeaders.value(name.toLower());
}

TestHttpServer::Response TestHttpServer::answer(const QString &path,
                                                const QHash<QByteArray, QByteArray> &headers)
{
    ++m_hits[path];
    ++m_totalHits;
    m_lastHeaders = headers;
    emit requestReceived(path);
    const auto it = m_routes.constFind(path);
    return it != m_routes.cend() ? *it : Response::html(QByteArrayLiteral("Not Found"), 404);
}

} // namespace quillory::test
