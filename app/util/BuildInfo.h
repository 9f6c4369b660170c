#pragma once

#include <QString>

namespace quillory {

// The version stamped in at configure time, for the layers below the interface state.
class BuildInfo final
{
public:
    // The project's short version; "1.0" when none was given.
    static QString appVersion();
};

} // namespace quillory
