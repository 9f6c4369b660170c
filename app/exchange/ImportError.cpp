#include <exchange/ImportError.h>

namespace quillory {

QString ImportError::errorDescription() const
{
    switch (m_kind) {
    case Kind::InvalidFormat:
        return QStringLiteral("Invalid file format");
    case Kind::UnsupportedVersion:
        return QStringLiteral("Unsupported export version");
    case Kind::InvalidPassphrase:
        return QStringLiteral("Invalid passphrase");
    case Kind::DecryptionFailed:
        return QStringLiteral("Failed to decrypt backup");
    }
    return {};
}

} // namespace quillory
