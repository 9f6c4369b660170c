#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

namespace quillory {

// The desktop's store of small secrets: one byte value per service and account. Every call
// answers with a Status, which callers decide on; turning it into words is theirs. Calls may wait
// on a prompt to unlock the store: never call them on the interface thread where the window must
// stay responsive.
class Keychain
{
public:
    // Only NotFound says anything about what the store holds; every other failure means
    // the store could not be asked.
    enum class Status {
        Ok,
        NotFound,
        NoService, // no store is reachable, or it has no keyring to keep items in
        Locked,    // the store stays locked: its unlock prompt was dismissed or never shown
        Denied,    // the store or the bus refused this program
        Failed,    // a failure of the store's own that says nothing more
    };

    enum class Protection {
        AfterFirstUnlock,
        // Every read needs the user's presence. Where the store cannot demand it, the caller
        // asks for it before reading.
        UserPresence,
    };

    virtual ~Keychain() = default;

    // Adds an item; one that already exists under the account is replaced.
    virtual Status add(const QString &service, const QString &account, const QByteArray &value,
                       Protection protection) = 0;
    virtual Status copy(const QString &service, const QString &account, QByteArray *value) = 0;
    // NotFound when there was nothing to remove.
    virtual Status remove(const QString &service, const QString &account) = 0;

    // The implementation for this platform.
    static std::unique_ptr<Keychain> create();

protected:
    Keychain() = default;
    Keychain(const Keychain &) = default;
    Keychain &operator=(const Keychain &) = default;
};

} // namespace quillory
