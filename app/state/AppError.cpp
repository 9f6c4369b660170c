#include <state/AppError.h>

namespace quillory {

QString AppError::errorDescription() const
{
    switch (m_kind) {
    case Kind::Network:
        return QStringLiteral("Network Error: ") + m_message;
    case Kind::Storage:
        return QStringLiteral("Storage Error: ") + m_message;
    case Kind::Encryption:
        return QStringLiteral("Encryption Error: ") + m_message;
    case Kind::Import:
        return QStringLiteral("Import Error: ") + m_message;
    case Kind::Export:
        return QStringLiteral("Export Error: ") + m_message;
    case Kind::Unknown:
        return QStringLiteral("Error: ") + m_message;
    case Kind::InvalidURL:
        return QStringLiteral("Invalid URL provided");
    case Kind::MetadataFetchFailed:
        return QStringLiteral("Failed to fetch page metadata");
    }
    return {};
}

QString AppError::recoverySuggestion() const
{
    if (!m_advice.isEmpty())
        return m_advice;
    switch (m_kind) {
    case Kind::Network:
        return QStringLiteral("Check your internet connection and try again.");
    case Kind::Storage:
        return QStringLiteral("Check available storage space.");
    case Kind::Encryption:
        return QStringLiteral("Try restarting the app.");
    case Kind::Import:
        return QStringLiteral("Ensure the file format is correct.");
    case Kind::Export:
        return QStringLiteral("Choose a different location with write permissions.");
    case Kind::Unknown:
        return QStringLiteral("Try again or contact support.");
    case Kind::InvalidURL:
        return QStringLiteral("Check the URL format.");
    case Kind::MetadataFetchFailed:
        return QStringLiteral("The item was saved but metadata could not be fetched.");
    }
    return {};
}

QString AppError::id() const
{
    switch (m_kind) {
    case Kind::Network:
        return QStringLiteral("network_") + m_message;
    case Kind::Storage:
        return QStringLiteral("storage_") + m_message;
    case Kind::Encryption:
        return QStringLiteral("encryption_") + m_message;
    case Kind::Import:
        return QStringLiteral("import_") + m_message;
    case Kind::Export:
        return QStringLiteral("export_") + m_message;
    case Kind::Unknown:
        return QStringLiteral("unknown_") + m_message;
    case Kind::InvalidURL:
        return QStringLiteral("invalid_url");
    case Kind::MetadataFetchFailed:
        return QStringLiteral("metadata_failed");
    }
    return {};
}

} // namespace quillory
