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

// Only a keychain that cannot be reached gets the sentence saying what to start, whichever
// call found it so; the rest show the keychain's own words.
TEST(SecurityErrorTest, DescribesKeychainFailuresByTheirStatus)
{
    using Status = Keychain::Status;
    using Step = SecurityError::KeychainStep;
    const std::tuple<Status, Step, const char *> cases[] = {
        {Status::NoService, Step::Save, nullptr},
        {Status::NoService, Step::Load, nullptr},
        {Status::NoService, Step::Delete, nullptr},
        {Status::Denied, Step::Save,
         "Keychain error: Keychain access failed (the Secret Service refused access)."},
        {Status::Denied, Step::Load, "Keychain error: Load failed: -34018"},
        {Status::Locked, Step::Save,
         "Keychain error: Authentication failed. Unlock your keyring and try again."},
        {Status::Locked, Step::Delete, "Keychain error: Delete failed: -25293"},
        {Status::NotFound, Step::Load, "Keychain error: Load failed: -25300"},
        {Status::Failed, Step::Save,
         "Keychain error: Keychain error (-26000). Make sure a Secret Service provider is "
         "running and unlocked."},
        {Status::Failed, Step::Delete, "Keychain error: Delete failed: -26000"},
    };
    for (const auto &[status, step, text] : cases) {
        const auto error = SecurityError::keychainError(status, step);
        EXPECT_EQ(error.kind(), SecurityError::Kind::KeychainError);
        EXPECT_EQ(error.keychainStatus(), status);
        EXPECT_EQ(error.errorDescription(),
                  text == nullptr ? unavailableDescription : QString::fromUtf8(text))
            << static_cast<int>(status) << ' ' << static_cast<int>(step);
    }
    EXPECT_EQ(SecurityError(SecurityError::Kind::KeyNotFound).keychainStatus(),
              Keychain::Status::Ok);
    EXPECT_TRUE(SecurityError(SecurityError::Kind::KeyNotFound).message().isEmpty());
}

// A desktop with no Secret Service at all: every call says the keychain is not available,
// in the words that tell the user what to start.
void expectUnavailable(KeychainService &keychain)
{
    const auto saved = keychain.save("salt", QStringLiteral("encryptionKey_salt"));
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->keychainStatus(), Keychain::Status::NoService);
    EXPECT_EQ(saved->message(),
              QStringLiteral("Keychain is not available. Make sure a Secret Service provider "
                             "(GNOME Keyring or KWallet) is running."));
    EXPECT_EQ(saved->errorDescription(), unavailableDescription);
    const auto loaded = keychain.load(QStringLiteral("encryptionKey_salt"));
    ASSERT_FALSE(loaded.ok());
    EXPECT_EQ(loaded.error().keychainStatus(), Keychain::Status::NoService);
    EXPECT_EQ(loaded.error().message(), QStringLiteral("Load failed: -25291"));
    const auto deleted = keychain.deleteItem(QStringLiteral("encryptionKey_salt"));
    ASSERT_TRUE(deleted);
    EXPECT_EQ(deleted->keychainStatus(), Keychain::Status::NoService);
    EXPECT_EQ(deleted->message(), QStringLiteral("Delete failed: -25291"));
}

// No keychain at all, then a session bus with nobody serving secrets.
TEST(KeychainWithoutSecretService, NeitherANullKeychainNorAnEmptyBusIsAvailable)
{
    KeychainService none(std::make_unique<NullKeychain>());
    expectUnavailable(none);
    // libsecret's connection to the session bus ends the process with SIGTERM when that bus
    // goes away: the bus stays up until the process ends, so the tests after this one in the
    // same process still run.
    static test::PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon is missing";
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
    KeychainService keychain(std::make_unique<SecretServiceKeychain>());
    expectUnavailable(keychain);
}
