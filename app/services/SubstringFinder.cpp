#include "SubstringFinder.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillory {

const char *SubstringFinder::scalarFind(const char *begin, const char *end) const
{
    const size_t n = m_needle.size();
    const char first = m_needle[0];
    const char *p = begin;
    while (size_t(end - p) >= n) {
        p = static_cast<const char *>(std::memchr(p, first, size_t(end - p) - n + 1));
        if (p == nullptr)
            return nullptr;
        if (std::memcmp(p + 1, m_needle.data() + 1, n - 1) == 0)
            return p;
        ++p;
    }
    return nullptr;
}

size_t SubstringFinder::find(std::string_view haystack) const
{
    const size_t n = m_needle.size();
    if (n == 0)
        return 0;
    if (haystack.size() < n)
        return std::string_view::npos;
    if (n == 1) {
        const void *hit = std::memchr(haystack.data(), m_needle[0], haystack.size());
        return hit ? size_t(static_cast<const char *>(hit) - haystack.data())
                   : std::string_view::npos;
    }

    const char *data = haystack.data();
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(m_needle[0]);
    const __m128i last = _mm_set1_epi8(m_needle[n - 1]);
    // Each round tests the 16 start positions i..i+15; both loads stay inside the haystack.
    for (; i + n - 1 + 16 <= haystack.size(); i += 16) {
        const __m128i blockFirst = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        const __m128i blockLast =
            _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i + n - 1));
        unsigned mask = unsigned(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(first, blockFirst), _mm_cmpeq_epi8(last, blockLast))));
        // Two bytes are matched by the first and the last alone.
        if (n == 2 && mask != 0)
            return i + unsigned(__builtin_ctz(mask));
        while (mask != 0) {
            const unsigned bit = unsigned(__builtin_ctz(mask));
            if (std::memcmp(data + i + bit + 1, m_needle.data() + 1, n - 2) == 0)
                return i + bit;
            mask &= mask - 1;
        }
    }
#endif
    const char *hit = scalarFind(data + i, data + haystack.size());
    return hit ? size_t(hit - data) : std::string_view::npos;
}

} // namespace quillory
