#pragma once

#include <security/SecurityError.h>

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

namespace quillory {

class Keychain;

// Small secrets (the encryption salt, the verification record, a copy of the key) kept in
// the desktop's keychain, one item per account under one service name, with the keychain's
// failures carried in SecurityError. Synchronous: a call may wait on the
// keychain's unlock prompt, so callers keep it off the interface thread.
class KeychainService final
{
public:
    static inline const QString defaultService = QStringLiteral("com.quillory.keychain");

    explicit KeychainService(std::unique_ptr<Keychain> keychain, QString service = defaultService);
    ~KeychainService();
    KeychainService(const KeychainService &) = delete;
    KeychainService &operator=(const KeychainService &) = delete;

    const QString &service() const { return m_service; }

    // Replaces any earlier value under `key`. On failure nothing is left under the key.
    std::optional<SecurityError> save(const QByteArray &data, const QString &key);
    SecurityResult<QByteArray> load(const QString &key);
    // Removing what is not there succeeds.
    std::optional<SecurityError> deleteItem(const QString &key);
    // Stores a value whose every read needs the user's presence; where the keychain cannot
    // demand it, the reader asks for a fingerprint first.
    std::optional<SecurityError> saveWithUserPresence(const QByteArray &data, const QString &key);

private:
    std::optional<SecurityError> add(const QByteArray &data, const QString &key, bool userPresence);

    std::unique_ptr<Keychain> m_keychain;
    QString m_service;
};

} // namespace quillory
