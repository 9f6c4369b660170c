#include <HexColor.h>
#include <NamedColor.h>

#include <gtest/gtest.h>

using namespace quillory;

namespace {

struct Rgb
{
    int r, g, b;
};

Rgb rgb(const QColor &c)
{
    return {c.red(), c.green(), c.blue()};
}

void expectRgb(const QString &text, Rgb expected)
{
    const Rgb got = rgb(HexColor::fromHex(text));
    EXPECT_EQ(got.r, expected.r) << qPrintable(text);
    EXPECT_EQ(got.g, expected.g) << qPrintable(text);
    EXPECT_EQ(got.b, expected.b) << qPrintable(text);
}

} // namespace

TEST(HexColor, ReadsTheScannerForms)
{
    const Rgb orange{255, 128, 0};
    expectRgb(QStringLiteral("#FF8000"), orange);
    expectRgb(QStringLiteral("FF8000"), orange);
    expectRgb(QStringLiteral("  #ff8000 \n"), orange);
    expectRgb(QStringLiteral("0xFF8000"), orange);
    expectRgb(QStringLiteral("0XFF8000"), orange);
    expectRgb(QStringLiteral("#12"), {0, 0, 18});
    // Only the low 24 bits count.
    expectRgb(QStringLiteral("#1A2B3C4D"), {0x2B, 0x3C, 0x4D});
    // Number signs anywhere are dropped before scanning; reading stops at a non-hex digit.
    expectRgb(QStringLiteral("F#F8000"), orange);
    expectRgb(QStringLiteral("FF8000zz"), orange);
}

TEST(HexColor, UnreadableTextIsBlue)
{
    const Rgb blue = rgb(toColor(NamedColor::Blue));
    for (const char *text : {"", "#", "zz", "#GG0000", "   ", "0x"}) {
        const Rgb got = rgb(HexColor::fromHex(QString::fromLatin1(text)));
        EXPECT_EQ(got.r, blue.r) << text;
        EXPECT_EQ(got.g, blue.g) << text;
        EXPECT_EQ(got.b, blue.b) << text;
    }
}

TEST(HexColor, WritesTruncatedUpperCaseComponents)
{
    EXPECT_EQ(HexColor::toHex(QColor::fromRgbF(1, 0, 0)), QStringLiteral("#FF0000"));
    EXPECT_EQ(HexColor::toHex(QColor::fromRgbF(0.5f, 0.5f, 0.5f)), QStringLiteral("#7F7F7F"));
    EXPECT_EQ(HexColor::toHex(QColor(0x00, 0x7A, 0xFF)), QStringLiteral("#007AFF"));
    EXPECT_EQ(HexColor::toHex(QColor(0xab, 0xcd, 0xef)), QStringLiteral("#ABCDEF"));
    // Extended (out of gamut) components are clamped to keep six digits.
    EXPECT_EQ(HexColor::toHex(QColor::fromRgbF(1.5f, -0.25f, 0.5f)), QStringLiteral("#FF007F"));
}

TEST(HexColor, InvalidColourHasNoTextFormAndFallsBackToDefault)
{
    EXPECT_FALSE(HexColor::toHex(QColor()).has_value());
    EXPECT_EQ(HexColor::toHexOrDefault(QColor()), QStringLiteral("#007AFF"));
}

TEST(HexColor, RoundTripsEveryByteValue)
{
    for (int v = 0; v < 256; ++v) {
        const QColor c(v, 255 - v, (v * 7) % 256);
        const auto hex = HexColor::toHex(c);
        ASSERT_TRUE(hex.has_value());
        EXPECT_EQ(HexColor::fromHex(*hex), c) << qPrintable(*hex);
    }
}
