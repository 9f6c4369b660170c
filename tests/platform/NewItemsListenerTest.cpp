#include <PrivateBus.h>
#include <inbox/NewItemsSignal.h>
#include <platform/DBusNewItemsListener.h>

#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::PrivateBus;

TEST(DBusNewItemsListener, HearsTheSignalFromAnySenderAndNothingElse)
{
    PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon (package dbus-daemon) is needed";
    DBusNewItemsListener listener(bus.connect(u"quillory"_s));
    ASSERT_TRUE(listener.isListening());
    QSignalSpy heard(&listener, &NewItemsListener::newItems);

    QDBusConnection dropslip = bus.connect(u"dropslip"_s);
    const auto send = [&](const QString &path, const QString &member) {
        dropslip.send(QDBusMessage::createSignal(path, NewItemsSignal::interface, member));
    };
    send(NewItemsSignal::path, u"somethingElse"_s);
    send(u"/com/quillory/other"_s, NewItemsSignal::member);
    send(NewItemsSignal::path, NewItemsSignal::member);
    ASSERT_TRUE(heard.wait(5000));
    QTest::qWait(100);
    EXPECT_EQ(heard.count(), 1);

    DBusNewItemsListener withoutABus(QDBusConnection(u"never-connected"_s));
    EXPECT_FALSE(withoutABus.isListening());
}
