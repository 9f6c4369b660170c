#pragma once

#include <QByteArray>
#include <optional>

namespace quillory {

class SymmetricKey;

// AES-256-GCM by OpenSSL, in the combined form: a 12-byte nonce, the ciphertext (as long as
// the plaintext) and a 16-byte tag. No additional authenticated data.
class AesGcm final
{
public:
    static constexpr int nonceSize = 12;
    static constexpr int tagSize = 16;

    // Seals under a fresh random nonce; absent when OpenSSL fails.
    static std::optional<QByteArray> seal(const SymmetricKey &key, const QByteArray &plaintext);
    // Seals under the given 12-byte nonce. Reusing a nonce with one key gives the cipher
    // away: only known-answer tests pass one.
    static std::optional<QByteArray> seal(const SymmetricKey &key, const QByteArray &plaintext,
                                          const QByteArray &nonce);
    // Absent for a box shorter than nonce and tag, a wrong key, or any altered byte.
    static std::optional<QByteArray> open(const SymmetricKey &key, const QByteArray &box);
};

} // namespace quillory
