#include <share/ShareController.h>

#include <share/Attachment.h>
#include <share/InboxWriter.h>
#include <share/SharedItemExtractor.h>

#include <inbox/NewItemsSignal.h>

#include <QDBusConnection>
#include <QDBusMessage>

namespace quillory {

ShareController::ShareController(QObject *parent) : QObject(parent)
{
}

void ShareController::loadSharedItems(const QList<Attachment> &attachments)
{
    if (m_loadComplete)
        return; // once per share, or items would be listed and written twice
    m_sharedItems = SharedItemExtractor().extract(attachments);
    m_loadComplete = true;
}

int ShareController::save(const QString &note)
{
    if (!note.trimmed().isEmpty()) {
        for (SharedItem &item : m_sharedItems)
            item.note = note;
    }
    const InboxWriter::Outcome outcome = InboxWriter().saveItems(m_sharedItems);
    m_problems = outcome.problems;
    postNewItems();
    emit completed();
    return outcome.written;
}

void ShareController::cancel()
{
    emit cancelled(errorDomain, 0, cancelledDescription);
}

void ShareController::postNewItems()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    bus.send(QDBusMessage::createSignal(NewItemsSignal::path, NewItemsSignal::interface,
                                        NewItemsSignal::member));
    // A round trip to the bus puts the signal on the wire before a short-lived process ends.
    const QDBusMessage ping = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
    bus.call(ping, QDBus::Block, 1000);
}

} // namespace quillory
