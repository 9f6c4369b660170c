#include <security/SymmetricKey.h>

#include <openssl/crypto.h>

#include <algorithm>

namespace quillory {

std::optional<SymmetricKey> SymmetricKey::fromBytes(const QByteArray &bytes)
{
    if (bytes.size() != size)
        return std::nullopt;
    SymmetricKey key;
    std::copy(bytes.cbegin(), bytes.cend(), key.m_bytes.begin());
    return key;
}

SymmetricKey &SymmetricKey::operator=(const SymmetricKey &other)
{
    if (this != &other) {
        OPENSSL_cleanse(m_bytes.data(), m_bytes.size());
        m_bytes = other.m_bytes;
    }
    return *this;
}

SymmetricKey::~SymmetricKey()
{
    OPENSSL_cleanse(m_bytes.data(), m_bytes.size());
}

QByteArray SymmetricKey::rawBytes() const
{
    return QByteArray(reinterpret_cast<const char *>(m_bytes.data()), size);
}

void SymmetricKey::wipe(QByteArray &bytes)
{
    if (!bytes.isEmpty())
        OPENSSL_cleanse(bytes.data(), static_cast<size_t>(bytes.size()));
    bytes.clear();
}

bool SymmetricKey::operator==(const SymmetricKey &other) const
{
    return CRYPTO_memcmp(m_bytes.data(), other.m_bytes.data(), size) == 0;
}

} // namespace quillory
