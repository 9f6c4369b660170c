#include <security/Hkdf.h>

#include <openssl/core_names.h>
#include <openssl/kdf.h>
#include <openssl/params.h>

#include <memory>

namespace quillory {

namespace {

struct KdfDeleter
{
    void operator()(EVP_KDF *kdf) const { EVP_KDF_free(kdf); }
    void operator()(EVP_KDF_CTX *context) const { EVP_KDF_CTX_free(context); }
};

// OpenSSL's parameter lists take non-const buffers even for input.
void *bufferOf(const QByteArray &bytes)
{
    return const_cast<char *>(bytes.constData());
}

} // namespace

std::optional<QByteArray> Hkdf::sha256(const QByteArray &inputKeyMaterial, const QByteArray &salt,
                                       const QByteArray &info, int outputLength)
{
    if (outputLength <= 0)
        return std::nullopt;
    std::unique_ptr<EVP_KDF, KdfDeleter> kdf(EVP_KDF_fetch(nullptr, "HKDF", nullptr));
    if (!kdf)
        return std::nullopt;
    std::unique_ptr<EVP_KDF_CTX, KdfDeleter> context(EVP_KDF_CTX_new(kdf.get()));
    if (!context)
        return std::nullopt;
    char digest[] = "SHA256";
    const OSSL_PARAM parameters[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_KEY, bufferOf(inputKeyMaterial),
                                          static_cast<size_t>(inputKeyMaterial.size())),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, bufferOf(salt),
                                          static_cast<size_t>(salt.size())),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_INFO, bufferOf(info),
                                          static_cast<size_t>(info.size())),
        OSSL_PARAM_construct_end()};
    QByteArray output(outputLength, '\0');
    if (EVP_KDF_derive(context.get(), reinterpret_cast<unsigned char *>(output.data()),
                       static_cast<size_t>(outputLength), parameters) != 1)
        return std::nullopt;
    return output;
}

} // namespace quillory
