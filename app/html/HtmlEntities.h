#pragma once

#include <cstddef>
#include <string_view>

namespace quillory {

// One HTML5 named character reference: the name without '&' and ';' and the one or two
// code points it stands for (`second` is 0 when there is only one).
struct HtmlEntity
{
    std::string_view name;
    char32_t first;
    char32_t second;
};

// The longest name in the table, so a scanner knows when to give up.
inline constexpr std::size_t longestHtmlEntityName = 31;

// Case-sensitive; null for a name HTML5 does not define.
const HtmlEntity *findHtmlEntity(std::string_view name);

} // namespace quillory
