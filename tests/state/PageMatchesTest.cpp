#include <state/PageMatches.h>

#include <gtest/gtest.h>
#include <random>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

// Snippets come from pages: any length, any script, line breaks anywhere, and marks that
// must still point at the same words once the snippet is cut to a line.
TEST(PageMatches, ShortenedSnippetsStayOnOneLineWithTheirMarksOnTheSameWords)
{
    std::mt19937 random(11);
    const QStringList pieces{u"trowel"_s,
                             u" "_s,
                             u"\n"_s,
                             u"\t"_s,
                             u"\u2028"_s,
                             u"\U0001F331"_s,
                             u"\u00e9t\u00e9"_s,
                             QString(500, u'x')};
    for (int round = 0; round < 2000; ++round) {
        PageMatch match;
        QList<std::pair<qsizetype, qsizetype>> words;
        const int count = std::uniform_int_distribution(1, 40)(random);
        for (int i = 0; i < count; ++i) {
            const QString &piece =
                pieces.at(std::uniform_int_distribution<qsizetype>(0, pieces.size() - 1)(random));
            if (piece == u"trowel"_s)
                words.append({match.snippet.size(), piece.size()});
            match.snippet += piece;
        }
        match.marks = words;
        // Marks that point nowhere are dropped, not followed.
        match.marks.append({match.snippet.size() + 3, 4});
        match.marks.append({-1, 0});

        const PageMatch shortened = PageMatches::shortened(match);
        const QString &text = shortened.snippet;
        ASSERT_LE(text.size(), PageMatches::snippetLimit + 2);
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            ASSERT_FALSE(c.category() == QChar::Other_Control || c == QChar::LineSeparator);
            // Never half of a character cut at either end.
            if (c.isHighSurrogate()) {
                ASSERT_TRUE(i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) << round;
            }
            if (c.isLowSurrogate()) {
                ASSERT_TRUE(i > 0 && text.at(i - 1).isHighSurrogate()) << round;
            }
        }
        for (const auto &[start, length] : shortened.marks) {
            ASSERT_GE(start, 0);
            ASSERT_GT(length, 0);
            ASSERT_LE(start + length, text.size());
            EXPECT_TRUE(u"trowel"_s.contains(text.mid(start, length))) << round;
        }
        if (match.snippet.size() <= PageMatches::snippetLimit) {
            EXPECT_EQ(shortened.marks, words) << "a short snippet keeps every mark";
        } else if (!words.isEmpty()) {
            ASSERT_FALSE(shortened.marks.isEmpty()) << round;
            EXPECT_EQ(text.mid(shortened.marks.first().first, 6), u"trowel"_s)
                << "the first marked word stays whole";
        }
    }
}

} // namespace
