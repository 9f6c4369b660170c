#pragma once

#include <platform/Keychain.h>

namespace quillory {

// A desktop without any store of secrets: every call answers NotAvailable.
class NullKeychain final : public Keychain
{
public:
    int add(const QString &, const QString &, const QByteArray &, Protection) override
    {
        return NotAvailable;
    }
    int copy(const QString &, const QString &, QByteArray *) override { return NotAvailable; }
    int remove(const QString &, const QString &) override { return NotAvailable; }
};

} // namespace quillory
