#pragma once

#include <string>
#include <string_view>

namespace quillory {

// Finds one fixed needle in many short haystacks. Byte-exact (the texts are already
// lower-cased); tests the needle's first and last bytes sixteen positions at a time.
class SubstringFinder final
{
public:
    explicit SubstringFinder(std::string_view needle) : m_needle(needle) {}

    bool foundIn(std::string_view haystack) const
    {
        return find(haystack) != std::string_view::npos;
    }
    // Offset of the first occurrence, or npos.
    size_t find(std::string_view haystack) const;
    bool isPrefixOf(std::string_view haystack) const { return haystack.starts_with(m_needle); }
    const std::string &needle() const { return m_needle; }

private:
    const char *scalarFind(const char *begin, const char *end) const;

    std::string m_needle;
};

} // namespace quillory
