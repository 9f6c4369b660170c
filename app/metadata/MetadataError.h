#pragma once

#include <QString>

namespace quillory {

// Why a page or image could not be fetched. Transport failures (time-outs, refused
// connections, unknown hosts) carry the network layer's own text.
class MetadataError final
{
public:
    enum class Kind { FetchFailed, InvalidData, ImageFetchFailed, ImageTooLarge, Transport };

    explicit MetadataError(Kind kind) : m_kind(kind) {}
    static MetadataError transport(const QString &text);

    Kind kind() const { return m_kind; }
    QString description() const;

    bool operator==(const MetadataError &) const = default;

private:
    Kind m_kind;
    QString m_transportText;
};

} // namespace quillory
