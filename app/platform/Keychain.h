#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

namespace quillory {

// The desktop's store of small secrets: one byte value per service and account. Answers
// with the status codes the keychain layer above turns into messages, so every platform
// reports failures alike. Calls may wait on a prompt to unlock the store: never call them
// on the interface thread where the window must stay responsive.
class Keychain
{
public:
    // Status codes: 0 is success; the others name the failures callers tell apart.
    enum Status : int {
        Success = 0,
        ItemNotFound = -25300,
        DuplicateItem = -25299,
        AuthenticationFailed = -25293, // the store is locked, or its unlock prompt was dismissed
        NotAvailable = -25291,         // no store is reachable
        AccessRefused = -34018,
        OtherFailure = -26000, // a failure of the store's own that has no code above
    };

    enum class Protection {
        AfterFirstUnlock,
        // Every read needs the user's presence. Where the store cannot demand it, the caller
        // asks for it before reading.
        UserPresence,
    };

    virtual ~Keychain() = default;

    // Adds an item; one that already exists under the account is replaced.
    virtual int add(const QString &service, const QString &account, const QByteArray &value,
                    Protection protection) = 0;
    virtual int copy(const QString &service, const QString &account, QByteArray *value) = 0;
    // ItemNotFound when there was nothing to remove.
    virtual int remove(const QString &service, const QString &account) = 0;

    // The implementation for this platform.
    static std::unique_ptr<Keychain> create();

protected:
    Keychain() = default;
    Keychain(const Keychain &) = default;
    Keychain &operator=(const Keychain &) = default;
};

} // namespace quillory
