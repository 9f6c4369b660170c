#include <platform/DBusNewItemsListener.h>

#include <inbox/NewItemsSignal.h>

namespace quillory {

DBusNewItemsListener::DBusNewItemsListener(const QDBusConnection &bus) : m_bus(bus)
{
    // QtDBus connects bus signals to slots by name only.
    m_listening = m_bus.isConnected() &&
                  m_bus.connect(QString(), NewItemsSignal::path, NewItemsSignal::interface,
                                NewItemsSignal::member, this, SLOT(onSignal()));
}

void DBusNewItemsListener::onSignal()
{
    emit newItems();
}

std::unique_ptr<NewItemsListener> NewItemsListener::create()
{
    return std::make_unique<DBusNewItemsListener>();
}

} // namespace quillory
