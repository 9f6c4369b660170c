#include <SubstringFinder.h>

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace quillory;

// The vector path must agree with a plain search for every needle length and position,
// including matches that start in the last bytes a 16-byte block can test.
TEST(SubstringFinder, AgreesWithPlainSearch)
{
    QRandomGenerator random(42);
    for (int round = 0; round < 4000; ++round) {
        std::string haystack;
        const int length = int(random.bounded(80));
        for (int i = 0; i < length; ++i)
            haystack += char('a' + random.bounded(3));
        std::string needle;
        const int needleLength = 1 + int(random.bounded(6));
        for (int i = 0; i < needleLength; ++i)
            needle += char('a' + random.bounded(3));
        const SubstringFinder finder(needle);
        ASSERT_EQ(finder.find(haystack), haystack.find(needle))
            << "needle '" << needle << "' in '" << haystack << "'";
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
