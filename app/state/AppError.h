#pragma once

#include <QString>

namespace quillory {

// An error the application reports to the user: a description, a suggestion for what to
// do, and a stable id.
class AppError final
{
public:
    enum class Kind {
        Network,
        Storage,
        Encryption,
        Import,
        Export,
        Unknown,
        InvalidURL,
        MetadataFetchFailed
    };

    static AppError networkError(const QString &message) { return {Kind::Network, message}; }
    static AppError storageError(const QString &message) { return {Kind::Storage, message}; }
    // With advice that fits what went wrong, given in place of the general suggestion.
    static AppError storageError(const QString &message, const QString &advice)
    {
        AppError error(Kind::Storage, message);
        error.m_advice = advice;
        return error;
    }
    static AppError encryptionError(const QString &message) { return {Kind::Encryption, message}; }
    static AppError importError(const QString &message) { return {Kind::Import, message}; }
    static AppError exportError(const QString &message) { return {Kind::Export, message}; }
    static AppError unknown(const QString &message) { return {Kind::Unknown, message}; }
    static AppError invalidURL() { return {Kind::InvalidURL, QString()}; }
    static AppError metadataFetchFailed() { return {Kind::MetadataFetchFailed, QString()}; }

    Kind kind() const { return m_kind; }
    QString message() const { return m_message; }
    QString errorDescription() const;
    QString recoverySuggestion() const;
    QString id() const;

    bool operator==(const AppError &other) const = default;

private:
    AppError(Kind kind, const QString &message) : m_kind(kind), m_message(message) {}

    Kind m_kind;
    QString m_message;
    QString m_advice;
};

} // namespace quillory
