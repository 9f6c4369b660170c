#pragma once

#include <platform/NewItemsListener.h>

#include <QDBusConnection>

namespace quillory {

// Listens on a session bus for the broadcast newItems signal (object path /com/quillory,
// interface com.quillory), from any sender. Without a bus it simply never hears anything.
class DBusNewItemsListener final : public NewItemsListener
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DBusNewItemsListener)

public:
    explicit DBusNewItemsListener(const QDBusConnection &bus = QDBusConnection::sessionBus());
    bool isListening() const { return m_listening; }

private slots:
    void onSignal();

private:
    QDBusConnection m_bus;
    bool m_listening = false;
};

} // namespace quillory
