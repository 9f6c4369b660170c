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
    const auto status = m_keychain->add(m_service, key, data,
                                        userPresence ? Keychain::Protection::UserPresence
                                                     : Keychain::Protection::AfterFirstUnlock);
    if (status != Keychain::Status::Ok)
        return SecurityError::keychainError(status, SecurityError::KeychainStep::Save);
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
    const auto status = m_keychain->copy(m_service, key, &value);
    if (status != Keychain::Status::Ok)
        return SecurityError::keychainError(status, SecurityError::KeychainStep::Load);
    return value;
}

std::optional<SecurityError> KeychainService::deleteItem(const QString &key)
{
    const auto status = m_keychain->remove(m_service, key);
    if (status == Keychain::Status::Ok || status == Keychain::Status::NotFound)
        return std::nullopt;
    return SecurityError::keychainError(status, SecurityError::KeychainStep::Delete);
}

} // namespace quillory
