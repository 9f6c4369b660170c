#pragma once

#include <QString>

namespace quillory {

// A text cut to a length: its first `limit` characters followed by an ellipsis, or the text
// itself when it is short enough. Never splits a surrogate pair.
class BoundedText final
{
public:
    static QString of(const QString &text, qsizetype limit);
};

} // namespace quillory
