#include <security/AesGcm.h>

#include <security/SecureRandom.h>
#include <security/SymmetricKey.h>

#include <openssl/evp.h>

#include <limits>
#include <memory>

namespace quillory {

namespace {

struct CipherContextDeleter
{
    void operator()(EVP_CIPHER_CTX *context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter>;

unsigned char *bytesOf(QByteArray &bytes)
{
    return reinterpret_cast<unsigned char *>(bytes.data());
}
const unsigned char *bytesOf(const QByteArray &bytes)
{
    return reinterpret_cast<const unsigned char *>(bytes.constData());
}

// OpenSSL counts in int; a plaintext beyond that is refused rather than cut.
bool fitsOneCall(qsizetype size)
{
    return size >= 0 && size <= std::numeric_limits<int>::max() - AesGcm::tagSize;
}

} // namespace

std::optional<QByteArray> AesGcm::seal(const SymmetricKey &key, const QByteArray &plaintext)
{
    const auto nonce = SecureRandom::bytes(nonceSize);
    if (!nonce)
        return std::nullopt;
    return seal(key, plaintext, *nonce);
}

std::optional<QByteArray> AesGcm::seal(const SymmetricKey &key, const QByteArray &plaintext,
                                       const QByteArray &nonce)
{
    if (nonce.size() != nonceSize || !fitsOneCall(plaintext.size()))
        return std::nullopt;
    CipherContext context(EVP_CIPHER_CTX_new());
    if (!context || EVP_EncryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, key.data(),
                                       bytesOf(nonce)) != 1)
        return std::nullopt;
    QByteArray box = nonce;
    box.resize(nonceSize + plaintext.size() + tagSize);
    int written = 0;
    if (!plaintext.isEmpty() &&
        EVP_EncryptUpdate(context.get(), bytesOf(box) + nonceSize, &written, bytesOf(plaintext),
                          static_cast<int>(plaintext.size())) != 1)
        return std::nullopt;
    int finalWritten = 0;
    if (EVP_EncryptFinal_ex(context.get(), bytesOf(box) + nonceSize + written, &finalWritten) !=
            1 ||
        written + finalWritten != plaintext.size())
        return std::nullopt;
    if (EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_GET_TAG, tagSize,
                            bytesOf(box) + nonceSize + plaintext.size()) != 1)
        return std::nullopt;
    return box;
}

std::optional<QByteArray> AesGcm::open(const SymmetricKey &key, const QByteArray &box)
{
    if (box.size() < nonceSize + tagSize || !fitsOneCall(box.size()))
        return std::nullopt;
    const qsizetype cipherSize = box.size() - nonceSize - tagSize;
    CipherContext context(EVP_CIPHER_CTX_new());
    if (!context || EVP_DecryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, key.data(),
                                       bytesOf(box)) != 1)
        return std::nullopt;
    QByteArray plaintext(cipherSize, '\0');
    int written = 0;
    if (cipherSize > 0 &&
        EVP_DecryptUpdate(context.get(), bytesOf(plaintext), &written, bytesOf(box) + nonceSize,
                          static_cast<int>(cipherSize)) != 1)
        return std::nullopt;
    QByteArray tag = box.right(tagSize);
    if (EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_TAG, tagSize, bytesOf(tag)) != 1)
        return std::nullopt;
    int finalWritten = 0;
    // The tag is checked here: nothing of a box that fails it is handed out.
    if (EVP_DecryptFinal_ex(context.get(), bytesOf(plaintext) + written, &finalWritten) != 1) {
        SymmetricKey::wipe(plaintext);
        return std::nullopt;
    }
    return plaintext;
}

} // namespace quillory
