#include <metadata/MetadataError.h>

namespace quillory {

MetadataError MetadataError::transport(const QString &text)
{
    MetadataError error(Kind::Transport);
    error.m_transportText = text;
    return error;
}

QString MetadataError::description() const
{
    switch (m_kind) {
    case Kind::FetchFailed:
        return QStringLiteral("Failed to fetch metadata");
    case Kind::InvalidData:
        return QStringLiteral("Invalid data received");
    case Kind::ImageFetchFailed:
        return QStringLiteral("Failed to fetch image");
    case Kind::ImageTooLarge:
        return QStringLiteral("Image is too large");
    case Kind::Transport:
        return m_transportText;
    }
    return {};
}

} // namespace quillory
