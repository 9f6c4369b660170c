#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace quillory {

// How programs of one user reach the Quillory that has a library open: a local socket in a
// folder only that user may enter, named after the library, where the asker writes one line
// and the running Quillory answers with one. Both ends check that the other runs as the same
// user, so nothing on the machine but the user's own programs is heard or believed.
class InstanceChannel final
{
public:
    // Asks the running Quillory to show its window; answered with `ok`.
    static inline const QByteArray activate = QByteArrayLiteral("activate\n");
    static inline const QByteArray ok = QByteArrayLiteral("ok\n");
    // Longest line either side reads, its newline included.
    static constexpr qsizetype lineLimit = 256;
    // How long a peer may keep the running Quillory waiting for its line.
    static constexpr int requestTimeoutMSecs = 1000;

    // The socket of the library kept in `libraryDirectory`, in $XDG_RUNTIME_DIR when that is
    // a folder of this user's that no one else may enter, else in `quillory-<uid>` in the
    // temporary folder (made so when missing). Absent when neither is fit.
    static std::optional<QString> socketPath(const QString &libraryDirectory);

    // The first line the Quillory listening at `path` answers `request` with, newline
    // included; nothing when nobody answers within `timeoutMSecs`, or a process of another
    // user does.
    static std::optional<QByteArray> ask(const QString &path, const QByteArray &request,
                                         int timeoutMSecs);

    // True when the process at the other end of the connected local socket `descriptor`
    // runs as this user.
    static bool peerIsThisUser(qintptr descriptor);
};

} // namespace quillory
