#pragma once

#include <QString>

namespace quillory {

// A count with its noun, as every text shows one: "1 item", "12 items", "0 items", with the
// digits grouped as the user's locale groups them.
class CountedNoun final
{
public:
    static QString of(qint64 count, const QString &one, const QString &many);
};

} // namespace quillory
