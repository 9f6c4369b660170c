#include <security/SecurityError.h>

namespace quillory {

SecurityError SecurityError::keychainError(Keychain::Status status, KeychainStep step)
{
    SecurityError error(Kind::KeychainError);
    error.m_status = status;
    error.m_step = step;
    return error;
}

namespace {

// The numbers these messages have always shown; reports people filed quote them.
int displayedCode(Keychain::Status status)
{
    switch (status) {
    case Keychain::Status::Ok:
        return 0;
    case Keychain::Status::NotFound:
        return -25300;
    case Keychain::Status::NoService:
        return -25291;
    case Keychain::Status::Locked:
        return -25293;
    case Keychain::Status::Denied:
        return -34018;
    case Keychain::Status::Failed:
        break;
    }
    return -26000;
}

QString saveMessage(Keychain::Status status)
{
    switch (status) {
    case Keychain::Status::Denied:
        return QStringLiteral("Keychain access failed (the Secret Service refused access).");
    case Keychain::Status::Locked:
        return QStringLiteral("Authentication failed. Unlock your keyring and try again.");
    case Keychain::Status::NoService:
        return QStringLiteral("Keychain is not available. Make sure a Secret Service provider "
                              "(GNOME Keyring or KWallet) is running.");
    case Keychain::Status::Ok:
    case Keychain::Status::NotFound:
    case Keychain::Status::Failed:
        break;
    }
    return QStringLiteral("Keychain error (") + QString::number(displayedCode(status)) +
           QStringLiteral("). Make sure a Secret Service provider is running and unlocked.");
}

} // namespace

QString SecurityError::message() const
{
    if (m_kind != Kind::KeychainError)
        return {};
    switch (m_step) {
    case KeychainStep::Save:
        return saveMessage(m_status);
    case KeychainStep::Load:
        return QStringLiteral("Load failed: ") + QString::number(displayedCode(m_status));
    case KeychainStep::Delete:
        return QStringLiteral("Delete failed: ") + QString::number(displayedCode(m_status));
    }
    return {};
}

QString SecurityError::errorDescription() const
{
    switch (m_kind) {
    case Kind::KeychainError:
        if (m_status == Keychain::Status::NoService)
            return QStringLiteral("Keychain access is not available. Make sure a Secret Service "
                                  "provider (GNOME Keyring or KWallet) is running and unlocked, "
                                  "then try again.");
        return QStringLiteral("Keychain error: ") + message();
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
