#pragma once

#include <QtGlobal>
#include <string>
#include <string_view>

namespace quillory {

// Rewrites a page's UTF-8 markup before the HTML parser reads it, so that what the parser
// builds stays bounded: elements nested deeper than `depth` lose their tags (their text
// stays, in the deepest element kept), tags past the first `elements` are dropped, so are
// formatting tags (<b>, <font>, ...) while eight are left open, and the contents of
// scripts, styles and comments, which no reader sees, are left out. The parser checks the
// whole stack of open elements on most tags, so a page nested 100,000 deep would cost it
// time in the square of the depth; and it reopens every formatting element left open at
// each new paragraph, so a page leaving thousands open would grow a tree of millions.
//
// The filter tokenizes as HTML does where it matters (quoted attributes, comments, raw
// text elements) but keeps no tree: elements a parser closes on its own (p, li, td, a, ...)
// and void ones are not counted, so ordinary pages pass through as written. One pass,
// linear in the input.
class MarkupFilter final
{
public:
    struct Limits
    {
        int depth = 256;
        qsizetype elements = 250'000;
    };

    static std::string filter(std::string_view html, const Limits &limits);
};

} // namespace quillory
