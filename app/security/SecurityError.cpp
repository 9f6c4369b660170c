#include <security/SecurityError.h>

#include <array>

namespace quillory {

SecurityError SecurityError::keychainError(const QString &message)
{
    SecurityError error(Kind::KeychainError);
    error.m_message = message;
    return error;
}

namespace {

// Messages that say the keychain cannot be used at all, rather than that one call failed.
bool namesUnavailableKeychain(const QString &message)
{
    // Tested in this order; "Gerçek" is kept from the keychain texts of other platforms.
    static const std::array<QString, 6> markers = {
        QStringLiteral("Simulator"), QStringLiteral("real device"), QStringLiteral("not available"),
        QStringLiteral("Gerçek"),    QStringLiteral("-34018"),      QStringLiteral("34018")};
    for (const QString &marker : markers) {
        if (message.contains(marker))
            return true;
    }
    return false;
}

} // namespace

QString SecurityError::errorDescription() const
{
    switch (m_kind) {
    case Kind::KeychainError:
        if (namesUnavailableKeychain(m_message))
            return QStringLiteral("Keychain access is not available. Make sure a Secret Service "
                                  "provider (GNOME Keyring or KWallet) is running and unlocked, "
                                  "then try again.");
        return QStringLiteral("Keychain error: ") + m_message;
    case Kind::EncryptionFailed:
        return QStringLiteral("Failed to encrypt data");
    case Kind::DecryptionFailed:
        return QStringLiteral("Failed to decrypt data");
    case Kind::KeyNotFound:
        return QStringLiteral("Encryption key not found");
    case Kind::KeyNotAvailable:
        return QStringLiteral("Encryption key not available");
    case Kind::InvalidPassphrase:
        return QStringLiteral("Invalid passphrase");
    case Kind::InvalidData:
        return QStringLiteral("Invalid data format");
    case Kind::BiometricNotAvailable:
        return QStringLiteral("Biometric authentication not available");
    case Kind::BiometricFailed:
        return QStringLiteral("Biometric authentication failed");
    }
    return {};
}

} // namespace quillory
