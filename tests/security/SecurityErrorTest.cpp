#include <PrivateBus.h>
#include <platform/NullKeychain.h>
#include <platform/SecretServiceKeychain.h>
#include <security/KeychainService.h>
#include <security/SecurityError.h>

#include <gtest/gtest.h>

using namespace quillory;

namespace {

const QString unavailableDescription = QStringLiteral(
    "Keychain access is not available. Make sure a Secret Service provider (GNOME Keyring or "
    "KWallet) is running and unlocked, then try again.");

} // namespace

TEST(SecurityErrorTest, DescribesEveryCase)
{
    using Kind = SecurityError::Kind;
    const std::pair<Kind, const char *> cases[] = {
        {Kind::EncryptionFailed, "Failed to encrypt data"},
        {Kind::DecryptionFailed, "Failed to decrypt data"},
        {Kind::KeyNotFound, "Encryption key not found"},
        {Kind::KeyNotAvailable, "Encryption key not available"},
        {Kind::InvalidPassphrase, "Invalid passphrase"},
        {Kind::InvalidData, "Invalid data format"},
        {Kind::BiometricNotAvailable, "Biometric authentication not available"},
        {Kind::BiometricFailed, "Biometric authentication failed"},
    };
    for (const auto &[kind, text] : cases)
        EXPECT_EQ(SecurityError(kind).errorDescription(), QString::fromUtf8(text));
}

TEST(SecurityErrorTest, NamesAnUnavailableKeychainInItsOwnWords)
{
    for (const char *message : {"runs on the Simulator", "use a real device", "is not available",
                                "Gerçek cihaz", "status -34018", "34018"})
        EXPECT_EQ(SecurityError::keychainError(QString::fromUtf8(message)).errorDescription(),
                  unavailableDescription)
            << message;
    EXPECT_EQ(
        SecurityError::keychainError(QStringLiteral("Load failed: -25300")).errorDescription(),
        QStringLiteral("Keychain error: Load failed: -25300"));
    // The substring tests are case-sensitive.
    EXPECT_EQ(SecurityError::keychainError(QStringLiteral("NOT AVAILABLE")).errorDescription(),
              QStringLiteral("Keychain error: NOT AVAILABLE"));
}

TEST(KeychainMessageTest, SaysWhatEachStatusMeansOnLinux)
{
    EXPECT_EQ(KeychainService::keychainMessage(-34018),
              QStringLiteral("Keychain access failed (the Secret Service refused access)."));
    EXPECT_EQ(KeychainService::keychainMessage(-25299), QStringLiteral("Item already exists"));
    EXPECT_EQ(KeychainService::keychainMessage(-25293),
              QStringLiteral("Authentication failed. Unlock your keyring and try again."));
    EXPECT_EQ(KeychainService::keychainMessage(-25291),
              QStringLiteral("Keychain is not available. Make sure a Secret Service provider "
                             "(GNOME Keyring or KWallet) is running."));
    EXPECT_EQ(KeychainService::keychainMessage(-50),
              QStringLiteral("Keychain error (-50). Make sure a Secret Service provider is "
                             "running and unlocked."));
}

// A desktop with no Secret Service at all: every call says the keychain is not available,
// in the words that tell the user what to start.
void expectUnavailable(KeychainService &keychain)
{
    const auto saved = keychain.save("salt", QStringLiteral("encryptionKey_salt"));
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->message(), KeychainService::keychainMessage(-25291));
    EXPECT_EQ(saved->errorDescription(), unavailableDescription);
    const auto loaded = keychain.load(QStringLiteral("encryptionKey_salt"));
    ASSERT_FALSE(loaded.ok());
    EXPECT_EQ(loaded.error().message(), QStringLiteral("Load failed: -25291"));
    const auto deleted = keychain.deleteItem(QStringLiteral("encryptionKey_salt"));
    ASSERT_TRUE(deleted);
    EXPECT_EQ(deleted->message(), QStringLiteral("Delete failed: -25291"));
}

TEST(KeychainWithoutSecretService, NullKeychainIsNotAvailable)
{
    KeychainService keychain(std::make_unique<NullKeychain>());
    expectUnavailable(keychain);
}

TEST(KeychainWithoutSecretService, SessionBusWithNobodyServingSecrets)
{
    // libsecret's connection to the session bus ends the process with SIGTERM when that bus
    // goes away: the bus stays up until the process ends, so the tests after this one in the
    // same process still run.
    static test::PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon is missing";
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
    KeychainService keychain(std::make_unique<SecretServiceKeychain>());
    expectUnavailable(keychain);
}
