#pragma once

#include <QString>
#include <optional>
#include <utility>
#include <variant>

namespace quillory {

// Why a keychain or encryption step failed. Keychain failures carry the keychain's message.
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

    explicit SecurityError(Kind kind) : m_kind(kind) {}
    static SecurityError keychainError(const QString &message);

    Kind kind() const { return m_kind; }
    // The keychain's message; empty for the other kinds.
    const QString &message() const { return m_message; }
    QString errorDescription() const;

    bool operator==(const SecurityError &) const = default;

private:
    Kind m_kind;
    QString m_message;
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
