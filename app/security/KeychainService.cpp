#include <security/KeychainService.h>

#include <platform/Keychain.h>

namespace quillory {

KeychainService::KeychainService(std::unique_ptr<Keychain> keychain, QString service)
    : m_keychain(std::move(keychain)), m_service(std::move(service))
{
}

KeychainService::~KeychainService() = default;

std::optional<SecurityError> KeychainService::add(const QByteArray &data, const QString &key,
                                                  bool userPresence)
{
    // Removing first means a failed save never leaves the old value looking current.
    deleteItem(key);
    const int status = m_keychain->add(m_service, key, data,
                                       userPresence ? Keychain::Protection::UserPresence
                                                    : Keychain::Protection::AfterFirstUnlock);
    if (status != Keychain::Success)
        return SecurityError::keychainError(keychainMessage(status));
    return std::nullopt;
}

std::optional<SecurityError> KeychainService::save(const QByteArray &data, const QString &key)
{
    return add(data, key, false);
}

std::optional<SecurityError> KeychainService::saveWithUserPresence(const QByteArray &data,
                                                                   const QString &key)
{
    return add(data, key, true);
}

SecurityResult<QByteArray> KeychainService::load(const QString &key)
{
    QByteArray value;
    const int status = m_keychain->copy(m_service, key, &value);
    if (status != Keychain::Success)
        return SecurityError::keychainError(QStringLiteral("Load failed: ") +
                                            QString::number(status));
    return value;
}

std::optional<SecurityError> KeychainService::deleteItem(const QString &key)
{
    const int status = m_keychain->remove(m_service, key);
    if (status == Keychain::Success || status == Keychain::ItemNotFound)
        return std::nullopt;
    return SecurityError::keychainError(QStringLiteral("Delete failed: ") +
                                        QString::number(status));
}

QString KeychainService::keychainMessage(int status)
{
    switch (status) {
    case Keychain::AccessRefused:
        return QStringLiteral("Keychain access failed (the Secret Service refused access).");
    case Keychain::DuplicateItem:
        return QStringLiteral("Item already exists");
    case Keychain::AuthenticationFailed:
        return QStringLiteral("Authentication failed. Unlock your keyring and try again.");
    case Keychain::NotAvailable:
        return QStringLiteral("Keychain is not available. Make sure a Secret Service provider "
                              "(GNOME Keyring or KWallet) is running.");
    default:
        return QStringLiteral("Keychain error (") + QString::number(status) +
               QStringLiteral("). Make sure a Secret Service provider is running and unlocked.");
    }
}

} // namespace quillory
