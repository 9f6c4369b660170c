#include <SubstringFinder.h>

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace quillory;

// The vector paths must agree with a plain search for every needle length and position,
// including matches that start in the last bytes a 32- or 16-byte round can test, and
// whichever two of the needle's bytes are tested first.
TEST(SubstringFinder, AgreesWithPlainSearch)
{
    QRandomGenerator random(42);
    const std::string alphabet = "aeqz ./\xc3\xa9";
    const auto pick = [&] { return alphabet[random.bounded(int(alphabet.size()))]; };
    for (int round = 0; round < 20000; ++round) {
        std::string haystack;
        const int length = int(random.bounded(round % 2 == 0 ? 80 : 300));
        for (int i = 0; i < length; ++i)
            haystack += round % 3 == 0 ? char('a' + random.bounded(3)) : pick();
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
        ASSERT_EQ(finder.find(haystack), haystack.find(needle))
            << "needle '" << needle << "' in '" << haystack << "'";
        const size_t from = haystack.size() / 3;
        ASSERT_EQ(finder.find(std::string_view(haystack).substr(from)),
                  std::string_view(haystack).substr(from).find(needle))
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
}
