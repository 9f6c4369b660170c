#pragma once

#include <QString>
#include <optional>

namespace quillory {

class InboxFolder;

// The application-group container that Quillory and Dropslip share. Both programs must
// find it through this one function so that they always agree on the place.
class ContainerDirectory final
{
public:
    static inline const QString groupIdentifier = QStringLiteral("group.nqa.quillory.shared");

    // $XDG_DATA_HOME/group.nqa.quillory.shared, or ~/.local/share/... when XDG_DATA_HOME is
    // unset or not absolute. No HOME and no XDG_DATA_HOME means there is no container.
    static std::optional<QString> path();

    // path(), created on disk (mode 0700) if missing, and made private (0700) if others could
    // reach into it; absent when it cannot be created.
    static std::optional<QString> ensure();

    // The container held open, made as ensure() makes it: not open when there is none, or
    // when it is a symbolic link, no folder, or another user's.
    static InboxFolder open();
};

} // namespace quillory
