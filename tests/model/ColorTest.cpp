#include <HexColor.h>
#include <NamedColor.h>

#include <gtest/gtest.h>

using namespace quillory;

namespace {

QRgb readRgb(const char *text)
{
    return HexColor::fromHex(QString::fromLatin1(text)).rgb() & 0xFFFFFF;
}

} // namespace

TEST(HexColor, ReadsTheScannerForms)
{
    // Number signs anywhere are dropped before scanning; reading stops at a non-hex digit.
    for (const char *text :
         {"#FF8000", "FF8000", "  #ff8000 \n", "0xFF8000", "0XFF8000", "F#F8000", "FF8000zz"})
        EXPECT_EQ(readRgb(text), 0xFF8000u) << text;
    EXPECT_EQ(readRgb("#12"), 0x000012u);
    // Only the low 24 bits count.
    EXPECT_EQ(readRgb("#1A2B3C4D"), 0x2B3C4Du);
}

TEST(HexColor, UnreadableTextIsBlue)
{
    for (const char *text : {"", "#", "zz", "#GG0000", "   ", "0x"})
        EXPECT_EQ(readRgb(text), toColor(NamedColor::Blue).rgb() & 0xFFFFFF) << text;
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
