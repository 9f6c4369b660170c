#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QString>
#include <QUuid>
#include <QtGlobal>
#include <gtest/gtest.h>

namespace quillory::test {

// The real GNOME Keyring that with-keyring.sh starts for keychain tests. Tests run each in
// a process of their own, and libsecret keeps the first session bus it finds, so a test
// calls use() before its first keychain call.
class TestKeyring final
{
public:
    // False when the test was not started through with-keyring.sh.
    static bool use()
    {
        const QByteArray bus = qgetenv("QUILLORY_KEYRING_BUS");
        if (bus.isEmpty())
            return false;
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
        return true;
    }

    // A service name no other test writes under, so tests sharing a keyring stay apart.
    static QString freshService()
    {
        return QStringLiteral("com.quillory.test.") +
               QUuid::createUuid().toString(QUuid::WithoutBraces);
    }

    // Locks the default collection, as a screen lock or "Lock keyring" would; nobody can
    // answer the prompt to unlock it again (there is no display).
    static bool lockDefaultCollection()
    {
        QDBusConnection bus = QDBusConnection::connectToBus(
            QString::fromUtf8(qgetenv("QUILLORY_KEYRING_BUS")), QStringLiteral("lock"));
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.secrets"), QStringLiteral("/org/freedesktop/secrets"),
            QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("Lock"));
        call << QVariant::fromValue(QList<QDBusObjectPath>{
            QDBusObjectPath(QStringLiteral("/org/freedesktop/secrets/aliases/default"))});
        const QDBusMessage reply = bus.call(call);
        QDBusConnection::disconnectFromBus(QStringLiteral("lock"));
        return reply.type() == QDBusMessage::ReplyMessage;
    }
};

// Tests that talk to the keyring: each starts by finding it.
class KeyringTest : public ::testing::Test
{
protected:
    static inline const QString passphrase = QStringLiteral("correct horse battery");

    void SetUp() override
    {
        ASSERT_TRUE(TestKeyring::use()) << "start this test through tests/support/with-keyring.sh";
    }
};

} // namespace quillory::test
