#include <model/NamedColor.h>

namespace quillory {

QColor toColor(NamedColor color)
{
    switch (color) {
    case NamedColor::Blue:
        return QColor(0x00, 0x7A, 0xFF);
    case NamedColor::Indigo:
        return QColor(0x58, 0x56, 0xD6);
    case NamedColor::Purple:
        return QColor(0xAF, 0x52, 0xDE);
    case NamedColor::Pink:
        return QColor(0xFF, 0x2D, 0x55);
    case NamedColor::Red:
        return QColor(0xFF, 0x3B, 0x30);
    case NamedColor::Orange:
        return QColor(0xFF, 0x95, 0x00);
    case NamedColor::Yellow:
        return QColor(0xFF, 0xCC, 0x00);
    case NamedColor::Green:
        return QColor(0x34, 0xC7, 0x59);
    case NamedColor::Mint:
        return QColor(0x00, 0xC7, 0xBE);
    case NamedColor::Teal:
        return QColor(0x30, 0xB0, 0xC7);
    case NamedColor::Cyan:
        return QColor(0x32, 0xAD, 0xE6);
    case NamedColor::Gray:
        return QColor(0x8E, 0x8E, 0x93);
    case NamedColor::Primary:
        return QColor(0x1D, 0x1D, 0x1F);
    }
    return QColor(0x00, 0x7A, 0xFF);
}

QString nameOf(NamedColor color)
{
    switch (color) {
    case NamedColor::Blue:
        return QStringLiteral("blue");
    case NamedColor::Indigo:
        return QStringLiteral("indigo");
    case NamedColor::Purple:
        return QStringLiteral("purple");
    case NamedColor::Pink:
        return QStringLiteral("pink");
    case NamedColor::Red:
        return QStringLiteral("red");
    case NamedColor::Orange:
        return QStringLiteral("orange");
    case NamedColor::Yellow:
        return QStringLiteral("yellow");
    case NamedColor::Green:
        return QStringLiteral("green");
    case NamedColor::Mint:
        return QStringLiteral("mint");
    case NamedColor::Teal:
        return QStringLiteral("teal");
    case NamedColor::Cyan:
        return QStringLiteral("cyan");
    case NamedColor::Gray:
        return QStringLiteral("gray");
    case NamedColor::Primary:
        return QStringLiteral("primary");
    }
    return {};
}

} // namespace quillory
