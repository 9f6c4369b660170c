#pragma once

#include <QString>

namespace quillory {

// What a person typed, as an FTS5 query that requires every word: each word separated by
// white space becomes one FTS5 string (a phrase of its tokens), so quotes, stars, colons,
// minus signs, parentheses and the words AND, OR, NOT and NEAR are only text. A word with
// no letter or digit is left out, since it would match nothing the index holds.
class PageQuery final
{
public:
    // Empty when the text holds no word to look for. At most `maxWords` words are kept.
    static QString fromUserText(const QString &text);

    static constexpr int maxWords = 16;
};

} // namespace quillory
