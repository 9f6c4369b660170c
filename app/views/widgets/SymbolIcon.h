#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace quillory {

// Icons are stored and exported by their symbol names ("link", "tray", "star", ...). This
// maps each name to freedesktop icon-theme names (Breeze has them all) with a generic
// fallback, so no icon is ever blank.
class SymbolIcon final
{
public:
    // Chooses the Breeze theme when the platform names no theme of its own.
    static void installThemeFallback();

    static QIcon icon(const QString &symbolName);
    // The icon drawn in one colour, for tinted kinds, smart folders and folders
    // (full-colour icons keep their own colours).
    static QPixmap tinted(const QString &symbolName, const QColor &color, int size,
                          qreal devicePixelRatio = 1.0);
    static QIcon tintedIcon(const QString &symbolName, const QColor &color);
    // True when the icon is drawn in one colour, so tinting keeps its shape readable;
    // full-colour artwork is drawn as it is.
    static bool isMonochrome(const QString &symbolName);
};

} // namespace quillory
