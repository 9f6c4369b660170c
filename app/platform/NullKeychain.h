#pragma once

#include <platform/Keychain.h>

namespace quillory {

// A desktop without any store of secrets: every call answers NoService.
class NullKeychain final : public Keychain
{
public:
    Status add(const QString &, const QString &, const QByteArray &, Protection) override
    {
        return Status::NoService;
    }
    Status copy(const QString &, const QString &, QByteArray *) override
    {
        return Status::NoService;
    }
    Status remove(const QString &, const QString &) override { return Status::NoService; }
};

} // namespace quillory
