#pragma once

#include <QByteArray>
#include <optional>

namespace quillory {

// HKDF with SHA-256 (RFC 5869), extract and expand, by OpenSSL.
class Hkdf final
{
public:
    // Absent when OpenSSL refuses (an output longer than 255 blocks, or no HKDF at all).
    static std::optional<QByteArray> sha256(const QByteArray &inputKeyMaterial,
                                            const QByteArray &salt, const QByteArray &info,
                                            int outputLength);
};

} // namespace quillory
