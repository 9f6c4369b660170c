#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace quillory {

namespace {

const QByteArray activateMessage = QByteArrayLiteral("activate\n");

} // namespace

SingleInstance::SingleInstance(const QString &directory, QObject *parent)
    : QObject(parent), m_directory(directory),
      m_lock(QDir(directory).filePath(QStringLiteral("quillory.lock")))
{
    m_lock.setStaleLockTime(0); // a lock left by a crashed process is detected by its pid
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverName() const
{
    // One name per library directory, short enough for a socket path.
    const QByteArray hash =
        QCryptographicHash::hash(m_directory.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("quillory-") + QString::fromLatin1(hash);
}

bool SingleInstance::acquire()
{
    if (m_lock.tryLock(0)) {
        listen();
        return true;
    }
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (socket.waitForConnected(1000)) {
        socket.write(activateMessage);
        socket.waitForBytesWritten(1000);
        socket.disconnectFromServer();
    }
    return false;
}

void SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    QLocalServer::removeServer(serverName()); // a socket file left by a crash
    if (!m_server->listen(serverName()))
        return; // the lock still protects the library; only activation is lost
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *peer = m_server->nextPendingConnection()) {
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                if (peer->readAll().startsWith(activateMessage.trimmed()))
                    emit activationRequested();
                peer->disconnectFromServer();
            });
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        }
    });
}

} // namespace quillory
