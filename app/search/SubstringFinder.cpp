#include <search/SubstringFinder.h>

#include <array>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace quillory {

namespace {

// How common each byte is in lower-cased titles, notes, site names and web addresses,
// roughly: letters by their share of English text, the characters of addresses as often as
// addresses hold them. Only the order matters.
constexpr std::array<unsigned char, 256> byteFrequencies = [] {
    std::array<unsigned char, 256> table{};
    for (int b = 0; b < 256; ++b)
        table[size_t(b)] = b >= 0x80 ? 8 : 3; // other bytes: punctuation, UTF-8 sequences
    constexpr std::string_view letters = "etaoinshrdlcumwfgypbvkjxqz";
    constexpr unsigned char letterFrequencies[] = {127, 91, 82, 75, 70, 67, 63, 61, 60,
                                                   43,  40, 28, 28, 24, 24, 22, 20, 20,
                                                   19,  15, 10, 8,  2,  2,  1,  1};
    for (size_t i = 0; i < letters.size(); ++i)
        table[static_cast<unsigned char>(letters[i])] = letterFrequencies[i];
    for (char digit = '0'; digit <= '9'; ++digit)
        table[static_cast<unsigned char>(digit)] = 10;
    table[' '] = 150;
    table['/'] = 80;
    table['.'] = 70;
    table['w'] = 40; // "www."
    table['p'] = 30; // "http"
    table['-'] = 20;
    table[':'] = 15;
    return table;
}();

constexpr bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A to Z as a to z, every other byte as it is.
constexpr char foldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

#if defined(__x86_64__)
const bool hasWideVectors = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}();
#endif

} // namespace

SubstringFinder::SubstringFinder(std::string_view needle) : m_needle(needle)
{
    for (char &c : m_needle)
        c = foldAscii(c);
    const auto frequency = [&](size_t at) {
        return byteFrequencies[static_cast<unsigned char>(m_needle[at])];
    };
    for (size_t i = 1; i < m_needle.size(); ++i) {
        if (frequency(i) < frequency(m_rarest))
            m_rarest = i;
    }
    m_rarer = m_rarest == 0 && m_needle.size() > 1 ? 1 : 0;
    for (size_t i = 0; i < m_needle.size(); ++i) {
        if (i != m_rarest && frequency(i) < frequency(m_rarer))
            m_rarer = i;
    }
    // A letter is tested with its case bit set on both sides; any other byte as it is.
    if (!m_needle.empty()) {
        m_rarestCase = isLetter(m_needle[m_rarest]) ? caseBit : 0;
        m_rarerCase = isLetter(m_needle[m_rarer]) ? caseBit : 0;
    }
}

bool SubstringFinder::matchesAt(const char *start) const
{
    // Needles are a few bytes long: a loop the compiler keeps inline beats a call.
    for (size_t i = 0; i < m_needle.size(); ++i) {
        if (foldAscii(start[i]) != m_needle[i])
            return false;
    }
    return true;
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) size_t SubstringFinder::findWide(const char *data, size_t size,
                                                                 size_t &from) const
{
    const size_t n = m_needle.size();
    const size_t rarestAt = m_rarest;
    const size_t rarerAt = m_rarer;
    const __m256i rarest = _mm256_set1_epi8(m_needle[m_rarest]);
    const __m256i rarer = _mm256_set1_epi8(m_needle[m_rarer]);
    const __m256i rarestCase = _mm256_set1_epi8(m_rarestCase);
    const __m256i rarerCase = _mm256_set1_epi8(m_rarerCase);
    const auto pairsAt = [&](size_t at) __attribute__((target("avx2")))
    {
        const __m256i atRarest = _mm256_or_si256(
            rarestCase,
            _mm256_loadu_si256(reinterpret_cast<const __m256i *>(data + at + rarestAt)));
        const __m256i atRarer = _mm256_or_si256(
            rarerCase, _mm256_loadu_si256(reinterpret_cast<const __m256i *>(data + at + rarerAt)));
        return _mm256_and_si256(_mm256_cmpeq_epi8(rarest, atRarest),
                                _mm256_cmpeq_epi8(rarer, atRarer));
    };
    // Each round tests the start positions of 32 or 64 bytes, each of which has the whole
    // needle's length left before the end, so every load and every check stays inside the
    // haystack. Rounds that find no pair (most of them) run in a loop of their own, without a
    // call that would have the compiler keep its vectors on the stack. A needle of more than
    // two bytes takes 64 positions a round while far from the end, one branch serving both
    // halves; two bytes match wherever the pair does, so often that the second half would
    // mostly be tested for nothing.
    const size_t width = n > 2 ? 64 : 32;
    size_t i = from;
    while (i + n - 1 + width <= size) {
        uint64_t pairs = 0;
        if (width == 64) {
            for (; i + n - 1 + 64 <= size; i += 64) {
                const __m256i low = pairsAt(i);
                const __m256i high = pairsAt(i + 32);
                const __m256i either = _mm256_or_si256(low, high);
                if (_mm256_testz_si256(either, either) == 0) {
                    pairs = uint64_t(unsigned(_mm256_movemask_epi8(low))) |
                            uint64_t(unsigned(_mm256_movemask_epi8(high))) << 32;
                    break;
                }
            }
        } else {
            for (; i + n - 1 + 32 <= size; i += 32) {
                pairs = unsigned(_mm256_movemask_epi8(pairsAt(i)));
                if (pairs != 0)
                    break;
            }
        }
        if (pairs == 0)
            break;
        for (; pairs != 0; pairs &= pairs - 1) {
            const size_t start = i + unsigned(__builtin_ctzll(pairs));
            if (n <= 2 || matchesAt(data + start))
                return start;
        }
        i += width;
    }
    for (; i + n - 1 + 32 <= size; i += 32) {
        for (auto pairs = unsigned(_mm256_movemask_epi8(pairsAt(i))); pairs != 0;
             pairs &= pairs - 1) {
            const size_t start = i + unsigned(__builtin_ctz(pairs));
            if (n <= 2 || matchesAt(data + start))
                return start;
        }
    }
    from = i;
    return std::string_view::npos;
}
#else
size_t SubstringFinder::findWide(const char *, size_t, size_t &) const
{
    return std::string_view::npos;
}
#endif

size_t SubstringFinder::findNarrow(const char *data, size_t size, size_t &from) const
{
#if defined(__SSE2__)
    const size_t n = m_needle.size();
    const __m128i rarest = _mm_set1_epi8(m_needle[m_rarest]);
    const __m128i rarer = _mm_set1_epi8(m_needle[m_rarer]);
    const __m128i rarestCase = _mm_set1_epi8(m_rarestCase);
    const __m128i rarerCase = _mm_set1_epi8(m_rarerCase);
    for (size_t i = from; i + n - 1 + 16 <= size; i += 16) {
        const __m128i atRarest = _mm_or_si128(
            rarestCase, _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i + m_rarest)));
        const __m128i atRarer = _mm_or_si128(
            rarerCase, _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i + m_rarer)));
        auto mask = unsigned(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(rarest, atRarest), _mm_cmpeq_epi8(rarer, atRarer))));
        while (mask != 0) {
            const size_t start = i + unsigned(__builtin_ctz(mask));
            if (n <= 2 || matchesAt(data + start))
                return start;
            mask &= mask - 1;
        }
        from = i + 16;
    }
#else
    (void)data;
    (void)size;
    (void)from;
#endif
    return std::string_view::npos;
}

size_t SubstringFinder::findScalar(const char *data, size_t size, size_t from) const
{
    const size_t n = m_needle.size();
    const char rarest = m_needle[m_rarest];
    if (!isLetter(rarest)) {
        for (size_t i = from; i + n <= size;) {
            const void *seen = std::memchr(data + i + m_rarest, rarest, size - n + 1 - i);
            if (seen == nullptr)
                return std::string_view::npos;
            const size_t start = size_t(static_cast<const char *>(seen) - data) - m_rarest;
            if (matchesAt(data + start))
                return start;
            i = start + 1;
        }
        return std::string_view::npos;
    }
    // A letter in either case: the vector paths leave only a short tail to this loop.
    for (size_t i = from; i + n <= size; ++i) {
        if ((data[i + m_rarest] | caseBit) == rarest && matchesAt(data + i))
            return i;
    }
    return std::string_view::npos;
}

bool SubstringFinder::isPrefixOf(std::string_view haystack) const
{
    return haystack.size() >= m_needle.size() && matchesAt(haystack.data());
}

size_t SubstringFinder::find(std::string_view haystack) const
{
    const size_t n = m_needle.size();
    if (n == 0)
        return 0;
    if (haystack.size() < n)
        return std::string_view::npos;
    const char *data = haystack.data();
    if (n == 1 && !isLetter(m_needle[0])) {
        const void *hit = std::memchr(data, m_needle[0], haystack.size());
        return hit ? size_t(static_cast<const char *>(hit) - data) : std::string_view::npos;
    }
    size_t from = 0;
#if defined(__x86_64__)
    if (hasWideVectors) {
        const size_t hit = findWide(data, haystack.size(), from);
        if (hit != std::string_view::npos)
            return hit;
    }
#endif
    const size_t hit = findNarrow(data, haystack.size(), from);
    if (hit != std::string_view::npos)
        return hit;
    return findScalar(data, haystack.size(), from);
}

} // namespace quillory
