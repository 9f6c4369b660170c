#include <views/widgets/ElidedTextCache.h>

#include <QFontMetrics>
#include <QPainter>
#include <QRect>
#include <utility>

namespace quillory {

namespace {

// `text` cut on the right to `width`, and the width it then takes.
std::pair<QString, int> cut(const QString &text, const QFont &font, int width)
{
    const QFontMetrics fm(font);
    QString elided = fm.elidedText(text, Qt::ElideRight, width);
    const int advance = fm.horizontalAdvance(elided);
    return {std::move(elided), advance};
}

} // namespace

int ElidedTextCache::draw(QPainter *painter, const QRect &rect, const QString &text,
                          const QFont &font)
{
    painter->setFont(font);
    // A layout is only reused under a plain translation; scaled painting lays out anew.
    if (painter->transform().type() > QTransform::TxTranslate) {
        const auto [elided, advance] = cut(text, font, rect.width());
        painter->drawText(rect, Qt::AlignLeft | Qt::AlignTop, elided);
        return advance;
    }
    const QString key = font.key() + u'\n' + QString::number(rect.width()) + u'\n' + text;
    Line *line = m_lines.object(key);
    if (line == nullptr) {
        auto [elided, advance] = cut(text, font, rect.width());
        line = new Line;
        line->text = QStaticText(elided);
        line->text.setTextFormat(Qt::PlainText);
        line->text.setPerformanceHint(QStaticText::AggressiveCaching);
        line->text.prepare(QTransform(), font);
        line->advance = advance;
        m_lines.insert(key, line);
    }
    painter->drawStaticText(rect.topLeft(), line->text);
    return line->advance;
}

} // namespace quillory
