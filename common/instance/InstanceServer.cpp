#include <instance/InstanceServer.h>

#include <instance/InstanceChannel.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <functional>
#include <vector>

namespace quillory {

namespace {

// The socket and its peers; lives and dies on the server's thread.
class Listener final : public QLocalServer
{
public:
    explicit Listener(std::function<void()> activated) : m_activated(std::move(activated)) {}
    ~Listener() override
    {
        // A peer still connected says it disconnected while QObject deletes it, after the
        // members drop() uses are gone: its ties are cut and it goes first.
        for (QLocalSocket *peer : findChildren<QLocalSocket *>(Qt::FindDirectChildrenOnly)) {
            QObject::disconnect(peer, nullptr, nullptr, nullptr);
            delete peer;
        }
    }

    bool start(const QString &path)
    {
        removeServer(path); // left by a Quillory that crashed
        if (!listen(path))
            return false;
        connect(this, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket *peer = nextPendingConnection())
                admit(peer);
        });
        return true;
    }

private:
    void admit(QLocalSocket *peer)
    {
        if (!InstanceChannel::peerIsThisUser(peer->socketDescriptor())) {
            drop(peer);
            return;
        }
        if (m_waiting.size() >= size_t(InstanceServer::waitingLimit))
            drop(m_waiting.front());
        m_waiting.push_back(peer);
        QTimer::singleShot(InstanceChannel::requestTimeoutMSecs, peer,
                           [this, peer] { drop(peer); });
        connect(peer, &QLocalSocket::readyRead, this, [this, peer] { hear(peer); });
        connect(peer, &QLocalSocket::disconnected, this, [this, peer] { drop(peer); });
        hear(peer);
    }

    void hear(QLocalSocket *peer)
    {
        if (!peer->canReadLine()) {
            if (peer->bytesAvailable() >= InstanceChannel::lineLimit)
                drop(peer);
            return;
        }
        const QByteArray request = peer->readLine(InstanceChannel::lineLimit);
        forget(peer);
        if (request == InstanceChannel::activate) {
            peer->write(InstanceChannel::ok);
            m_activated();
        }
        peer->disconnectFromServer(); // once the answer is out; the timer ends a peer not reading
    }

    void drop(QLocalSocket *peer)
    {
        forget(peer);
        QObject::disconnect(peer, nullptr, this, nullptr); // nothing it does reaches us now
        peer->abort();
        peer->deleteLater();
    }

    void forget(QLocalSocket *peer) { std::erase(m_waiting, peer); }

    std::function<void()> m_activated;
    std::vector<QLocalSocket *> m_waiting; // oldest first
};

} // namespace

InstanceServer::InstanceServer(QObject *parent) : QObject(parent)
{
}

InstanceServer::~InstanceServer()
{
    // Deleted on its own thread before that ends; closing removes the socket file.
    if (m_listener)
        m_listener->deleteLater();
    m_thread.quit();
    m_thread.wait();
}

bool InstanceServer::listen(const QString &path)
{
    if (m_listener)
        return false;
    auto *listener = new Listener([this] {
        QMetaObject::invokeMethod(
            this, [this] { emit activationRequested(); }, Qt::QueuedConnection);
    });
    listener->moveToThread(&m_thread);
    m_thread.start();
    bool listening = false;
    QMetaObject::invokeMethod(
        listener, [&] { listening = listener->start(path); }, Qt::BlockingQueuedConnection);
    if (!listening) {
        listener->deleteLater();
        return false;
    }
    m_listener = listener;
    return true;
}

} // namespace quillory
