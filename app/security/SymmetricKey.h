#pragma once

#include <QByteArray>
#include <array>
#include <cstdint>
#include <optional>

namespace quillory {

// A 256-bit key. Its bytes are wiped whenever a copy is destroyed or overwritten, so a key
// leaves nothing behind in memory once it is let go.
class SymmetricKey final
{
public:
    static constexpr int size = 32;

    // Absent unless `bytes` holds exactly 32 bytes.
    static std::optional<SymmetricKey> fromBytes(const QByteArray &bytes);

    SymmetricKey(const SymmetricKey &other) = default;
    SymmetricKey &operator=(const SymmetricKey &other);
    ~SymmetricKey();

    const std::uint8_t *data() const { return m_bytes.data(); }
    // A copy of the raw bytes, for storing the key; the caller wipes it (wipe()).
    QByteArray rawBytes() const;
    static void wipe(QByteArray &bytes);

    bool operator==(const SymmetricKey &other) const;

private:
    SymmetricKey() = default;
    std::array<std::uint8_t, size> m_bytes{};
};

} // namespace quillory
