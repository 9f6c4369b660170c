// Before Qt, whose keyword macros clash with GIO's member names.
#include <libsecret/secret.h>

#include <TestKeyring.h>
#include <platform/SecretServiceKeychain.h>
#include <security/KeychainService.h>

#include <gtest/gtest.h>

using namespace quillory;
using quillory::test::TestKeyring;

namespace {

class KeychainTest : public quillory::test::KeyringTest
{
protected:
    KeychainService m_keychain{std::make_unique<SecretServiceKeychain>(),
                               TestKeyring::freshService()};
};

} // namespace

TEST_F(KeychainTest, KeepsBinaryLargeAndEmptyValuesPerAccount)
{
    const QByteArray salt("\x00\x01\xff\x80 salt\x00", 10);
    const QByteArray large(256 * 1024, '\x07');
    ASSERT_FALSE(m_keychain.save(salt, QStringLiteral("encryptionKey_salt")));
    ASSERT_FALSE(m_keychain.save(large, QStringLiteral("large")));
    ASSERT_FALSE(m_keychain.save(QByteArray(), QStringLiteral("empty")));
    ASSERT_FALSE(m_keychain.saveWithUserPresence(QByteArray(32, '\x5a'),
                                                 QStringLiteral("biometricEncryptionKey")));
    EXPECT_EQ(m_keychain.load(QStringLiteral("encryptionKey_salt")).value(), salt);
    EXPECT_EQ(m_keychain.load(QStringLiteral("large")).value(), large);
    const auto empty = m_keychain.load(QStringLiteral("empty"));
    ASSERT_TRUE(empty.ok());
    EXPECT_TRUE(empty.value().isEmpty());
    EXPECT_EQ(m_keychain.load(QStringLiteral("biometricEncryptionKey")).value(),
              QByteArray(32, '\x5a'));

    // Another service's item under the same account is a different item.
    KeychainService other(std::make_unique<SecretServiceKeychain>(), TestKeyring::freshService());
    EXPECT_FALSE(other.load(QStringLiteral("encryptionKey_salt")).ok());
}

TEST_F(KeychainTest, SavingTwiceLeavesOneItemThatIsThenMissing)
{
    ASSERT_FALSE(m_keychain.save("first", QStringLiteral("account")));
    ASSERT_FALSE(m_keychain.save("second", QStringLiteral("account")));
    EXPECT_EQ(m_keychain.load(QStringLiteral("account")).value(), "second");
    ASSERT_FALSE(m_keychain.deleteItem(QStringLiteral("account")));
    // Had the second save added a duplicate, it would still be found.
    const auto loaded = m_keychain.load(QStringLiteral("account"));
    ASSERT_FALSE(loaded.ok());
    EXPECT_EQ(loaded.error().kind(), SecurityError::Kind::KeychainError);
    EXPECT_EQ(loaded.error().keychainStatus(), Keychain::Status::NotFound);
    EXPECT_EQ(loaded.error().errorDescription(),
              QStringLiteral("Keychain error: Load failed: -25300"));
    EXPECT_FALSE(m_keychain.deleteItem(QStringLiteral("account"))) << "a missing item, quietly";
}

// Locking changes the keyring for the rest of this process, so this test comes last.
TEST_F(KeychainTest, ALockedKeyringNobodyUnlocksIsAnAuthenticationFailure)
{
    ASSERT_FALSE(m_keychain.save("salt", QStringLiteral("encryptionKey_salt")));
    ASSERT_TRUE(TestKeyring::lockDefaultCollection());

    const auto loaded = m_keychain.load(QStringLiteral("encryptionKey_salt"));
    ASSERT_FALSE(loaded.ok());
    EXPECT_EQ(loaded.error().keychainStatus(), Keychain::Status::Locked);

    const auto saved = m_keychain.save("other", QStringLiteral("encryptionKey_verify"));
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->keychainStatus(), Keychain::Status::Locked);
    EXPECT_EQ(saved->message(),
              QStringLiteral("Authentication failed. Unlock your keyring and try again."));
    EXPECT_EQ(saved->errorDescription(),
              QStringLiteral("Keychain error: Authentication failed. Unlock your keyring and try "
                             "again."));

    const auto deleted = m_keychain.deleteItem(QStringLiteral("encryptionKey_salt"));
    ASSERT_TRUE(deleted);
    EXPECT_EQ(deleted->keychainStatus(), Keychain::Status::Locked);
}

// A daemon that dies in the call or is still starting at login has said nothing about what
// it holds: read as a missing item, that would turn encryption off for good.
TEST(SecretServiceKeychain, ABusThatDoesNotAnswerIsAnUnreachableStore)
{
    for (const GDBusError code :
         {G_DBUS_ERROR_NO_REPLY, G_DBUS_ERROR_TIMEOUT, G_DBUS_ERROR_TIMED_OUT,
          G_DBUS_ERROR_SERVICE_UNKNOWN, G_DBUS_ERROR_NAME_HAS_NO_OWNER}) {
        GError *error = g_error_new_literal(G_DBUS_ERROR, code, "test");
        EXPECT_EQ(SecretServiceKeychain::statusFor(error), Keychain::Status::NoService) << code;
        g_error_free(error);
    }
    GError *denied = g_error_new_literal(G_DBUS_ERROR, G_DBUS_ERROR_ACCESS_DENIED, "test");
    EXPECT_EQ(SecretServiceKeychain::statusFor(denied), Keychain::Status::Denied);
    g_error_free(denied);
    GError *gone = g_error_new_literal(SECRET_ERROR, SECRET_ERROR_NO_SUCH_OBJECT, "test");
    EXPECT_EQ(SecretServiceKeychain::statusFor(gone), Keychain::Status::NotFound);
    g_error_free(gone);
}
