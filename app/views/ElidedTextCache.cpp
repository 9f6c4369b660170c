#include "ElidedTextCache.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRect>

namespace quillory {

int ElidedTextCache::draw(QPainter *painter, const QRect &rect, const QString &text,
                          const QFont &font)
{
    painter->setFont(font);
    // A layout is only reused under a plain translation; scaled painting lays out anew.
    if (painter->transform().type() > QTransform::TxTranslate) {
        const QFontMetrics fm(font);
        const QString elided = fm.elidedText(text, Qt::ElideRight, rect.width());
        painter->drawText(rect, Qt::AlignLeft | Qt::AlignTop, elided);
        return fm.horizontalAdvance(elided);
    }
    const QString key = font.key() + u'\n' + QString::number(rect.width()) + u'\n' + text;
    Line *line = m_lines.object(key);
    if (line == nullptr) {
        const QFontMetrics fm(font);
        const QString elided = fm.elidedText(text, Qt::ElideRight, rect.width());
        line = new Line;
        line->text = QStaticText(elided);
        line->text.setTextFormat(Qt::PlainText);
        line->text.setPerformanceHint(QStaticText::AggressiveCaching);
        line->text.prepare(QTransform(), font);
        line->advance = fm.horizontalAdvance(elided);
        m_lines.insert(key, line);
    }
    painter->drawStaticText(rect.topLeft(), line->text);
    return line->advance;
}

} // namespace quillory
