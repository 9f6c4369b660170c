#pragma once

#include <platform/Keychain.h>

#include <QString>
#include <optional>
#include <utility>
#include <variant>

namespace quillory {

// Why a keychain or encryption step failed. Keychain failures carry the keychain's status,
// which is what callers decide on; the words are for display only.
class SecurityError final
{
public:
    enum class Kind {
        KeychainError,
        EncryptionFailed,
        DecryptionFailed,
        KeyNotFound,
        KeyNotAvailable,
        InvalidPassphrase,
        InvalidData,
        BiometricNotAvailable,
        BiometricFailed,
    };

    // The keychain call that failed.
    enum class KeychainStep {
        Save,
        Load,
        Delete,
    };

    explicit SecurityError(Kind kind) : m_kind(kind) {}
    static SecurityError keychainError(Keychain::Status status, KeychainStep step);

    Kind kind() const { return m_kind; }
    // Ok for the kinds that are not keychain failures.
    Keychain::Status keychainStatus() const { return m_status; }
    // What the keychain said, in words; empty for the other kinds.
    QString message() const;
    QString errorDescription() const;

    bool operator==(const SecurityError &) const = default;

private:
    Kind m_kind;
    Keychain::Status m_status = Keychain::Status::Ok;
    KeychainStep m_step = KeychainStep::Save;
};

// A value, or the error that kept it from being made.
template <typename T> class SecurityResult final
{
public:
    SecurityResult(T value) : m_outcome(std::move(value)) {}
    SecurityResult(SecurityError error) : m_outcome(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(m_outcome); }
    const T &value() const { return std::get<T>(m_outcome); }
    T &value() { return std::get<T>(m_outcome); }
    const SecurityError &error() const { return std::get<SecurityError>(m_outcome); }
    std::optional<SecurityError> failure() const
    {
        return ok() ? std::nullopt : std::optional<SecurityError>(error());
    }

private:
    std::variant<T, SecurityError> m_outcome;
};

} // namespace quillory
