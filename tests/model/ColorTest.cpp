#include <model/HexColor.h>
#include <model/NamedColor.h>

#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

QRgb readRgb(const char *text)
{
    return HexColor::fromHex(QString::fromLatin1(text)).rgb() & 0xFFFFFF;
}

} // namespace

// The stored form of a colour: how it is read, unreadable text included, and written.
TEST(HexColor, ReadsTheScannerFormsAndUnreadableTextIsBlue)
{
    // Number signs anywhere are dropped before scanning; reading stops at a non-hex digit.
    for (const char *text : {"#FF8000", "FF8000", "  #ff8000 \n", "0xFF8000", "0XFF8000", "F#F8000",
                             "FF8000zz", "#  0x0000000000FF8000 "})
        EXPECT_EQ(readRgb(text), 0xFF8000u) << text;
    EXPECT_EQ(readRgb("#12"), 0x000012u);
    // Only the low 24 bits count.
    EXPECT_EQ(readRgb("#1A2B3C4D"), 0x2B3C4Du);
    for (const char *text : {"", "#", "zz", "#GG0000", "   ", "0x"})
        EXPECT_EQ(readRgb(text), toColor(NamedColor::Blue).rgb() & 0xFFFFFF) << text;
}

TEST(HexColor, WritesTruncatedUpperCaseComponentsAndRoundTrips)
{
    EXPECT_EQ(HexColor::toHex(QColor::fromRgbF(1, 0, 0)), u"#FF0000"_s);
    EXPECT_EQ(HexColor::toHex(QColor::fromRgbF(0.5f, 0.5f, 0.5f)), u"#7F7F7F"_s);
    EXPECT_EQ(HexColor::toHex(QColor(0x00, 0x7A, 0xFF)), u"#007AFF"_s);
    EXPECT_EQ(HexColor::toHex(QColor(0xab, 0xcd, 0xef)), u"#ABCDEF"_s);
    // Extended (out of gamut) components are clamped to keep six digits.
    EXPECT_EQ(HexColor::toHex(QColor::fromRgbF(1.5f, -0.25f, 0.5f)), u"#FF007F"_s);
    EXPECT_FALSE(HexColor::toHex(QColor()).has_value());
    EXPECT_EQ(HexColor::toHexOrDefault(QColor()), u"#007AFF"_s);
    for (int v = 0; v < 256; ++v) {
        const QColor c(v, 255 - v, (v * 7) % 256);
        const auto hex = HexColor::toHex(c);
        ASSERT_TRUE(hex.has_value());
        EXPECT_EQ(HexColor::fromHex(*hex), c) << qPrintable(*hex);
    }
}
