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
    Status add(const QString &service, const QString &account, const QByteArray &value,
               Protection protection) override;
    Status copy(const QString &service, const QString &account, QByteArray *value) override;
    Status remove(const QString &service, const QString &account) override;

    // The status a failure of libsecret or of the bus under it stands for.
    static Status statusFor(const GError *error);
};

} // namespace quillory
