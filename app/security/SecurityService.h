#pragma once

#include <security/KeychainService.h>
#include <security/SecurityError.h>
#include <security/SymmetricKey.h>

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>
#include <mutex>
#include <optional>

class QSettings;

namespace quillory {

class Biometrics;
class Keychain;

// The passphrase, the key derived from it and the proof kept in the keychain that a later
// passphrase is the same one; sealing and opening with AES-256-GCM. The key lives only in
// memory, only while this process runs, and is wiped when it is let go.
//
// Every operation that reaches the keychain may wait on its unlock prompt, so the window
// runs them on a worker thread; state is guarded, and stateChanged() is sent from whichever
// thread changed it (connect with a receiver so it arrives on the interface thread).
class SecurityService final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SecurityService)

public:
    static inline const QString encryptionEnabledKey = QStringLiteral("encryptionEnabled");
    static inline const QString biometricUnlockEnabledKey =
        QStringLiteral("biometricUnlockEnabled");
    static inline const QString saltAccount = QStringLiteral("encryptionKey_salt");
    static inline const QString verifyAccount = QStringLiteral("encryptionKey_verify");
    static inline const QString biometricKeyAccount = QStringLiteral("biometricEncryptionKey");
    static constexpr int saltSize = 32;

    // Created on first use over the desktop's keychain, reader and settings; never destroyed.
    static SecurityService &shared();

    // `keychainService` names the keychain items' service (tests keep theirs apart).
    SecurityService(std::unique_ptr<Keychain> keychain, std::unique_ptr<Biometrics> biometrics,
                    std::unique_ptr<QSettings> defaults,
                    const QString &keychainService = KeychainService::defaultService,
                    QObject *parent = nullptr);
    ~SecurityService() override;

    bool isEncryptionEnabled() const;
    // Encryption is on and the key is not known yet: the library waits behind the unlock screen.
    bool isLocked() const;
    bool isBiometricUnlockEnabled() const;
    void setBiometricUnlockEnabled(bool enabled);
    KeychainService &keychain() { return m_keychain; }
    Biometrics &biometrics() { return *m_biometrics; }
    QString biometricTypeName() const;

    // The launch step: checks that the keychain still holds what encryption needs (turning
    // encryption off when it does not), and forgets any key.
    void prepareAtLaunch();
    std::optional<SecurityError> enableEncryption(const QString &passphrase);
    SecurityResult<bool> unlock(const QString &passphrase);
    std::optional<SecurityError> disableEncryption();
    std::optional<SecurityError> enableBiometricUnlock(const QString &passphrase);
    // After the reader matched the user's finger: takes the key from its keychain copy,
    // once the copy has proven to open the verification record.
    std::optional<SecurityError> unlockWithKeyCopy();
    // Forgets the key (wiping it); the library locks again when encryption is on.
    void clearKey();

    // Without `key`, the key in memory.
    SecurityResult<QByteArray> encrypt(const QByteArray &data,
                                       const std::optional<SymmetricKey> &key = std::nullopt) const;
    SecurityResult<QByteArray> decrypt(const QByteArray &data,
                                       const std::optional<SymmetricKey> &key = std::nullopt) const;
    static SecurityResult<SymmetricKey> deriveKey(const QString &passphrase,
                                                  const QByteArray &salt);
    // The same derivation with another purpose's info text, so keys made for different
    // purposes from one passphrase and salt differ.
    static SecurityResult<SymmetricKey> deriveKey(const QString &passphrase, const QByteArray &salt,
                                                  const QByteArray &info);

signals:
    // Encryption was switched on or off, or the key became known or was forgotten.
    void stateChanged();

private:
    void checkKeychainIntegrity();
    // Opens the verification record with `key`: the proof that it is the library's key.
    std::optional<SecurityError> verify(const SymmetricKey &key, const QByteArray &record) const;
    void setKey(std::optional<SymmetricKey> key);
    // False when the choice could not be written to the settings file.
    bool setEncryptionEnabled(bool enabled);
    void writeDefault(const QString &name, bool value);
    std::optional<SymmetricKey> currentKey() const;

    mutable std::mutex m_mutex; // guards the three below
    bool m_isEncryptionEnabled = false;
    std::optional<SymmetricKey> m_encryptionKey;
    std::unique_ptr<QSettings> m_defaults;

    KeychainService m_keychain;
    std::unique_ptr<Biometrics> m_biometrics;
};

} // namespace quillory
