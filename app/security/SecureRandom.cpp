#include <security/SecureRandom.h>

#include <openssl/rand.h>

namespace quillory {

std::optional<QByteArray> SecureRandom::bytes(int count)
{
    QByteArray result(count, '\0');
    if (count > 0 && RAND_bytes(reinterpret_cast<unsigned char *>(result.data()), count) != 1)
        return std::nullopt;
    return result;
}

} // namespace quillory
