#pragma once

#include <string>
#include <string_view>

namespace quillory {

// Finds one fixed needle in many haystacks, short fields and long runs of text alike.
// Letters A to Z match in either case, every other byte only itself: a text whose only
// capitals are ASCII is searched as it was typed, without a lower-cased copy. Tests two of the
// needle's bytes at up to 64 start positions at once, and checks the whole needle only where
// both match; the two are the needle's rarest bytes in typical titles and addresses, so that
// common letters ("e", "t", "s") rarely send it to that check.
class SubstringFinder final
{
public:
    explicit SubstringFinder(std::string_view needle);

    bool foundIn(std::string_view haystack) const
    {
        return find(haystack) != std::string_view::npos;
    }
    // Offset of the first occurrence, or npos.
    size_t find(std::string_view haystack) const;
    bool isPrefixOf(std::string_view haystack) const;
    // With A to Z lower-cased.
    const std::string &needle() const { return m_needle; }

private:
    bool matchesAt(const char *start) const;
    // Each tests start positions from `from` on while the vectors fit, and returns the hit
    // or, in `from`, where it stopped.
    size_t findWide(const char *data, size_t size, size_t &from) const;
    size_t findNarrow(const char *data, size_t size, size_t &from) const;
    size_t findScalar(const char *data, size_t size, size_t from) const;

    std::string m_needle;
    // Offsets in the needle of the two bytes tested first, different unless it is one byte.
    size_t m_rarest = 0;
    size_t m_rarer = 0;
    // caseBit where the byte tested is a letter, so that both cases compare equal.
    static constexpr char caseBit = 0x20;
    char m_rarestCase = 0;
    char m_rarerCase = 0;
};

} // namespace quillory
