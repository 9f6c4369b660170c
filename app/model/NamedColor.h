#pragma once

#include <QColor>
#include <QString>

namespace quillory {

// The standard named colours used as tints and offered by the colour pickers. Each has one
// fixed sRGB value so that a colour chosen here always writes the same colour text.
enum class NamedColor {
    Blue,
    Indigo,
    Purple,
    Pink,
    Red,
    Orange,
    Yellow,
    Green,
    Mint,
    Teal,
    Cyan,
    Gray,
    Primary
};

QColor toColor(NamedColor color);
QString nameOf(NamedColor color);

} // namespace quillory
