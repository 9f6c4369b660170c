#include <search/SubstringFinder.h>

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace quillory;

namespace {

// The reference: A to Z folded on both sides, then a plain search.
std::string foldedAscii(std::string_view text)
{
    std::string folded(text);
    for (char &c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = char(c + ('a' - 'A'));
    }
    return folded;
}

size_t plainFind(std::string_view haystack, std::string_view needle)
{
    return foldedAscii(haystack).find(foldedAscii(needle));
}

} // namespace

// The vector paths must agree with a plain search for every needle length and position,
// including matches that start in the last bytes a 32- or 16-byte round can test, and
// whichever two of the needle's bytes are tested first. Capitals A to Z match their small
// letters; the bytes a case bit would confuse with them ("@" with "`", "[" with "{") and
// UTF-8 sequences do not.
TEST(SubstringFinder, AgreesWithPlainSearch)
{
    QRandomGenerator random(42);
    const std::string alphabet = "aeqzAQZ ./@`[{\xc3\xa9\xc1\xe1";
    const auto pick = [&] { return alphabet[random.bounded(int(alphabet.size()))]; };
    for (int round = 0; round < 20000; ++round) {
        std::string haystack;
        const int length = int(random.bounded(round % 2 == 0 ? 80 : 300));
        for (int i = 0; i < length; ++i)
            haystack += round % 3 == 0 ? char((i % 2 ? 'a' : 'A') + random.bounded(3)) : pick();
        std::string needle;
        const int needleLength = 1 + int(random.bounded(round % 4 == 0 ? 16 : 6));
        if (round % 5 == 0 && length >= needleLength) {
            // Taken from the haystack, so that it is found, often near the end.
            needle = haystack.substr(size_t(random.bounded(length - needleLength + 1)),
                                     size_t(needleLength));
        } else {
            for (int i = 0; i < needleLength; ++i)
                needle += round % 3 == 0 ? char('a' + random.bounded(3)) : pick();
        }
        const SubstringFinder finder(needle);
        ASSERT_EQ(finder.find(haystack), plainFind(haystack, needle))
            << "needle '" << needle << "' in '" << haystack << "'";
        const size_t from = haystack.size() / 3;
        ASSERT_EQ(finder.find(std::string_view(haystack).substr(from)),
                  plainFind(std::string_view(haystack).substr(from), needle))
            << "needle '" << needle << "' in the tail of '" << haystack << "'";
    }
}

TEST(SubstringFinder, EdgeCases)
{
    EXPECT_TRUE(SubstringFinder("").foundIn(""));
    EXPECT_TRUE(SubstringFinder("").foundIn("abc"));
    EXPECT_FALSE(SubstringFinder("abc").foundIn("ab"));
    EXPECT_TRUE(SubstringFinder("z").foundIn(std::string(100, 'a') + "z"));
    const std::string tail = std::string(40, 'x') + "needle";
    EXPECT_TRUE(SubstringFinder("needle").foundIn(tail));
    EXPECT_FALSE(SubstringFinder("needles").foundIn(tail));
    EXPECT_TRUE(SubstringFinder("é").foundIn("café"));
    EXPECT_FALSE(SubstringFinder("e").foundIn("café"));
    EXPECT_TRUE(SubstringFinder("ab").isPrefixOf("abc"));
    EXPECT_TRUE(SubstringFinder("ab").isPrefixOf("ABc"));
    EXPECT_FALSE(SubstringFinder("abc").isPrefixOf("AB"));
    EXPECT_TRUE(SubstringFinder("Garden").foundIn(std::string(70, ' ') + "my GARDEN"));
    EXPECT_TRUE(SubstringFinder("g").foundIn(std::string(70, ' ') + "G"));
    EXPECT_FALSE(SubstringFinder("@").foundIn(std::string(70, '`')));
    EXPECT_FALSE(SubstringFinder("\xe1").foundIn("\xc1"));
    EXPECT_EQ(SubstringFinder("MiXed").needle(), "mixed");
}
