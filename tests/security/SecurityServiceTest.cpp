#include <TestKeyring.h>
#include <platform/NullBiometrics.h>
#include <platform/NullKeychain.h>
#include <platform/SecretServiceKeychain.h>
#include <security/SecurityService.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quillory;
using quillory::test::TestKeyring;

namespace {

// A security service as one launch of Quillory has it: the keyring's items and the settings
// stay between launches, the key does not.
class SecurityServiceTest : public quillory::test::KeyringTest
{
protected:
    std::unique_ptr<SecurityService> launch(std::unique_ptr<Keychain> keychain = nullptr,
                                            QString settings = {})
    {
        auto security = std::make_unique<SecurityService>(
            keychain ? std::move(keychain) : std::make_unique<SecretServiceKeychain>(),
            std::make_unique<NullBiometrics>(),
            std::make_unique<QSettings>(settings.isEmpty() ? settingsPath() : settings,
                                        QSettings::IniFormat),
            m_service);
        security->prepareAtLaunch();
        return security;
    }

    QString settingsPath() const { return m_dir.filePath(QStringLiteral("settings.ini")); }
    bool storedFlag(const QString &key) const
    {
        return QSettings(settingsPath(), QSettings::IniFormat).value(key, false).toBool();
    }

    QTemporaryDir m_dir;
    QString m_service = TestKeyring::freshService();
};

} // namespace

TEST_F(SecurityServiceTest, UnlocksInALaterLaunchOnlyWithTheSamePassphrase)
{
    {
        auto first = launch();
        ASSERT_FALSE(first->enableEncryption(passphrase));
        EXPECT_TRUE(first->isEncryptionEnabled());
        EXPECT_FALSE(first->isLocked());
        EXPECT_TRUE(first->encrypt("x").ok());
    }
    EXPECT_TRUE(storedFlag(SecurityService::encryptionEnabledKey));

    auto second = launch();
    EXPECT_TRUE(second->isEncryptionEnabled());
    EXPECT_TRUE(second->isLocked());
    const auto withoutKey = second->encrypt("data");
    ASSERT_FALSE(withoutKey.ok());
    EXPECT_EQ(withoutKey.error().kind(), SecurityError::Kind::KeyNotAvailable);
    EXPECT_EQ(second->decrypt(QByteArray(40, 'x')).error().kind(),
              SecurityError::Kind::KeyNotAvailable);

    for (const QString &wrong : {QString(), QStringLiteral("correct horse battery "),
                                 QStringLiteral("Correct horse battery")}) {
        const auto refused = second->unlock(wrong);
        ASSERT_FALSE(refused.ok());
        EXPECT_EQ(refused.error().errorDescription(), QStringLiteral("Invalid passphrase"));
        EXPECT_TRUE(second->isLocked());
    }
    const auto unlocked = second->unlock(passphrase);
    ASSERT_TRUE(unlocked.ok());
    EXPECT_TRUE(unlocked.value());
    EXPECT_FALSE(second->isLocked());

    // The key from the keychain's salt is the one the first launch sealed with.
    const auto salt = second->keychain().load(SecurityService::saltAccount);
    ASSERT_TRUE(salt.ok());
    EXPECT_EQ(salt.value().size(), 32);
    const auto derived = SecurityService::deriveKey(passphrase, salt.value());
    const auto sealed = second->encrypt("library");
    ASSERT_TRUE(sealed.ok());
    EXPECT_EQ(second->decrypt(sealed.value(), derived.value()).value(), "library");
}

TEST_F(SecurityServiceTest, EncryptionIsNotReportedOnWhenTheChoiceCannotBeSaved)
{
    // A settings file that cannot be written: its folder is a plain file.
    QFile blocker(m_dir.filePath(QStringLiteral("config")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString unwritable = m_dir.filePath(QStringLiteral("config/settings.ini"));
    {
        auto security = launch(nullptr, unwritable);
        const auto error = security->enableEncryption(passphrase);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), SecurityError::Kind::EncryptionFailed);
        EXPECT_FALSE(security->isEncryptionEnabled());
        EXPECT_FALSE(security->encrypt("x").ok()) << "no key is left in use";
    }
    // Nothing left behind that a later, writable launch would trip over.
    auto later = launch();
    EXPECT_FALSE(later->isEncryptionEnabled());
    ASSERT_FALSE(later->enableEncryption(passphrase));
    EXPECT_TRUE(storedFlag(SecurityService::encryptionEnabledKey));
}

TEST_F(SecurityServiceTest, DisablingRemovesTheItemsAndTurnsEverythingOff)
{
    auto security = launch();
    // Nothing to disable yet, and no key copy ever made: both succeed.
    EXPECT_FALSE(security->disableEncryption());
    ASSERT_FALSE(security->enableEncryption(passphrase));
    ASSERT_FALSE(security->enableBiometricUnlock(passphrase));
    EXPECT_TRUE(storedFlag(SecurityService::biometricUnlockEnabledKey));

    ASSERT_FALSE(security->disableEncryption());
    EXPECT_FALSE(security->isEncryptionEnabled());
    EXPECT_FALSE(security->isLocked());
    EXPECT_FALSE(storedFlag(SecurityService::encryptionEnabledKey));
    EXPECT_FALSE(storedFlag(SecurityService::biometricUnlockEnabledKey));
    EXPECT_EQ(security->encrypt("x").error().kind(), SecurityError::Kind::KeyNotAvailable);
    for (const QString &account : {SecurityService::saltAccount, SecurityService::verifyAccount,
                                   SecurityService::biometricKeyAccount})
        EXPECT_FALSE(security->keychain().load(account).ok()) << account.toStdString();

    // With no record left, a passphrase has nothing to be checked against.
    const auto unlocked = security->unlock(passphrase);
    ASSERT_FALSE(unlocked.ok());
    EXPECT_EQ(unlocked.error().kind(), SecurityError::Kind::KeyNotFound);
}

TEST_F(SecurityServiceTest, AKeyCopyUnlocksOnlyWhileItIsTheLibrarysKey)
{
    {
        auto security = launch();
        ASSERT_FALSE(security->enableEncryption(passphrase));
        const auto wrong = security->enableBiometricUnlock(QStringLiteral("wrong"));
        ASSERT_TRUE(wrong);
        EXPECT_EQ(wrong->errorDescription(), QStringLiteral("Invalid passphrase"));
        EXPECT_FALSE(storedFlag(SecurityService::biometricUnlockEnabledKey));
        ASSERT_FALSE(security->enableBiometricUnlock(passphrase));
        EXPECT_EQ(security->keychain().load(SecurityService::biometricKeyAccount).value().size(),
                  32);
    }
    auto relaunched = launch();
    EXPECT_TRUE(relaunched->isBiometricUnlockEnabled());
    ASSERT_FALSE(relaunched->unlockWithKeyCopy());
    EXPECT_FALSE(relaunched->isLocked());

    // A new passphrase replaces the salt and the record, and leaves the old copy behind: it
    // must not pass for the new key, nor the old passphrase.
    const QByteArray firstSalt = relaunched->keychain().load(SecurityService::saltAccount).value();
    ASSERT_FALSE(relaunched->enableEncryption(QStringLiteral("a new passphrase")));
    EXPECT_NE(relaunched->keychain().load(SecurityService::saltAccount).value(), firstSalt);
    auto later = launch();
    const auto stale = later->unlockWithKeyCopy();
    ASSERT_TRUE(stale);
    EXPECT_EQ(stale->kind(), SecurityError::Kind::BiometricFailed);
    EXPECT_TRUE(later->isLocked());
    EXPECT_FALSE(later->unlock(passphrase).ok());
    EXPECT_TRUE(later->unlock(QStringLiteral("a new passphrase")).ok());
}

// A keychain nobody serves, then a keyring locked with nobody to unlock it: neither is taken
// for a missing record. Locking changes the keyring for the rest of this process, so this test
// comes last.
TEST_F(SecurityServiceTest, AnUnreachableOrLockedKeychainAtLaunchChangesNothing)
{
    {
        auto security = launch();
        ASSERT_FALSE(security->enableEncryption(passphrase));
    }
    testing::internal::CaptureStdout();
    auto unreachable = launch(std::make_unique<NullKeychain>());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(unreachable->isEncryptionEnabled());
    EXPECT_TRUE(unreachable->isLocked());
    EXPECT_TRUE(storedFlag(SecurityService::encryptionEnabledKey));
    // Enabling fails with the keychain's own error and leaves encryption as it was.
    const auto error = unreachable->enableEncryption(passphrase);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), SecurityError::Kind::KeychainError);
    EXPECT_EQ(error->keychainStatus(), Keychain::Status::NoService);
    EXPECT_TRUE(storedFlag(SecurityService::encryptionEnabledKey));

    ASSERT_TRUE(TestKeyring::lockDefaultCollection());
    testing::internal::CaptureStdout();
    auto relaunched = launch();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(relaunched->isEncryptionEnabled());
    EXPECT_TRUE(storedFlag(SecurityService::encryptionEnabledKey));
    const auto unlocked = relaunched->unlock(passphrase);
    ASSERT_FALSE(unlocked.ok());
    EXPECT_EQ(unlocked.error().kind(), SecurityError::Kind::KeyNotFound);
}
