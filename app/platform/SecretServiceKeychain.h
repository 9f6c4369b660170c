#pragma once

#include <platform/Keychain.h>

typedef struct _GError GError;

namespace quillory {

// The freedesktop Secret Service (GNOME Keyring, KWallet) through libsecret: one item per
// account in the default collection, found by its "service" and "account" attributes. A
// locked collection is unlocked through the service's own prompt first.
class SecretServiceKeychain final : public Keychain
{
public:
    int add(const QString &service, const QString &account, const QByteArray &value,
            Protection protection) override;
    int copy(const QString &service, const QString &account, QByteArray *value) override;
    int remove(const QString &service, const QString &account) override;

    // The status a failure of libsecret or of the bus under it stands for.
    static int statusFor(const GError *error);
};

} // namespace quillory
