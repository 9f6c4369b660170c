#pragma once

#include <QString>

namespace quillory {

// The session-bus signal Dropslip sends after writing records into the inbox. It carries
// nothing and may never arrive (there may be no bus): it only says the inbox may have
// changed, and the inbox itself is the truth.
struct NewItemsSignal
{
    static inline const QString path = QStringLiteral("/com/quillory");
    static inline const QString interface = QStringLiteral("com.quillory");
    static inline const QString member = QStringLiteral("newItems");
};

} // namespace quillory
