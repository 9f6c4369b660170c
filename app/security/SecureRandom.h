#pragma once

#include <QByteArray>
#include <optional>

namespace quillory {

// Bytes from OpenSSL's cryptographically secure generator (seeded by the kernel).
class SecureRandom final
{
public:
    // Absent when the generator cannot be seeded.
    static std::optional<QByteArray> bytes(int count);
};

} // namespace quillory
