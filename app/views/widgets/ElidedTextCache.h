#pragma once

#include <QCache>
#include <QFont>
#include <QStaticText>
#include <QString>

class QPainter;
class QRect;

namespace quillory {

// One line of text cut to a width, laid out once and drawn from that layout afterwards.
// Adding or deleting an item moves every card on screen, so all of them repaint; shaping
// their titles and domains again each time was most of that paint.
class ElidedTextCache final
{
public:
    explicit ElidedTextCache(int lines = 2048) : m_lines(lines) {}

    // Draws `text` in `font`, elided on the right to `rect`'s width, at `rect`'s top left,
    // in the painter's pen. Returns the width drawn.
    int draw(QPainter *painter, const QRect &rect, const QString &text, const QFont &font);

private:
    struct Line
    {
        QStaticText text;
        int advance = 0;
    };

    QCache<QString, Line> m_lines;
};

} // namespace quillory
