#include <views/window/ItemDelegate.h>

#include <views/widgets/DisplayText.h>
#include <views/widgets/ElidedTextCache.h>
#include <views/widgets/RelativeDate.h>
#include <views/widgets/SymbolIcon.h>
#include <views/widgets/ThumbnailCache.h>
#include <views/window/ItemListModel.h>

#include <model/Clock.h>
#include <model/Item.h>

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <QTextLayout>
#include <cmath>

namespace quillory {

namespace {

const Item *itemOf(const QModelIndex &index)
{
    return static_cast<const Item *>(index.data(ItemListModel::ItemRole).value<void *>());
}

QFont scaledFont(const QFont &base, qreal factor, int weight = QFont::Normal)
{
    QFont f = base;
    f.setPointSizeF(base.pointSizeF() * factor);
    f.setWeight(QFont::Weight(weight));
    return f;
}

QColor secondary(const QPalette &palette)
{
    QColor c = palette.color(QPalette::Text);
    c.setAlphaF(0.6f);
    return c;
}

QColor tertiary(const QPalette &palette)
{
    QColor c = palette.color(QPalette::Text);
    c.setAlphaF(0.4f);
    return c;
}

// Paints `draw` into a kept pixmap the first time `key` is seen and copies that afterwards.
// Inserting one item moves every card on screen, so all of them repaint: their rounded,
// antialiased shapes cost far more than a copy. `key` names everything `draw` depends on.
template <typename Draw>
void paintKept(QPainter *painter, const QRect &rect, int margin, const QString &key, Draw draw)
{
    const qreal ratio = painter->device()->devicePixelRatioF();
    // Only where the copy lands on whole device pixels, or it would come out blurred.
    if (painter->transform().type() > QTransform::TxTranslate || ratio != std::floor(ratio)) {
        draw(painter, rect);
        return;
    }
    const QString fullKey = key + u'@' + QString::number(rect.width()) + u'x' +
                            QString::number(rect.height()) + u'@' + QString::number(ratio) + u'@' +
                            QString::number(int(painter->renderHints()));
    QPixmap kept;
    if (!QPixmapCache::find(fullKey, &kept)) {
        const QSize area = rect.size() + QSize(2 * margin, 2 * margin);
        kept = QPixmap(area * int(ratio));
        kept.setDevicePixelRatio(ratio);
        kept.fill(Qt::transparent);
        QPainter into(&kept);
        into.setRenderHints(painter->renderHints());
        draw(&into, QRect(QPoint(margin, margin), rect.size()));
        into.end();
        QPixmapCache::insert(fullKey, kept);
    }
    // In strips: the raster engine hands a blend of more than about 96 lines to its thread
    // pool, and waking the pool costs far more than copying one card.
    const QPoint at = rect.topLeft() - QPoint(margin, margin);
    const int stripLines = 64;
    for (int top = 0; top < kept.height(); top += stripLines) {
        const QRect strip(0, top, kept.width(), std::min(stripLines, kept.height() - top));
        painter->drawPixmap(
            QRectF(at + QPointF(strip.topLeft()) / ratio, QSizeF(strip.size()) / ratio), kept,
            QRectF(strip));
    }
}

// Draws the title, then the favourite star right after it when there is room.
int paintTitle(QPainter *painter, ElidedTextCache &lines, const QRect &rect, const QString &title,
               bool favorite, const QFont &font)
{
    const QFontMetrics fm(font);
    const int star = favorite ? fm.height() - 2 : 0;
    const int drawn = lines.draw(painter, rect.adjusted(0, 0, favorite ? -(star + 4) : 0, 0),
                                 DisplayText::bounded(title), font);
    if (favorite) {
        const int x = rect.left() + drawn + 4;
        painter->drawPixmap(
            QRect(x, rect.top() + 2, star - 2, star - 2),
            SymbolIcon::tinted(QStringLiteral("star.fill"), QColor(0xFF, 0xCC, 0x00), star));
    }
    return fm.height();
}

using Marks = QList<std::pair<qsizetype, qsizetype>>;

// One line laid out with the marked ranges bold, in `marked` colour, the rest in the
// painter's pen.
void layoutMarked(QTextLayout &layout, const QString &text, const Marks &marks, const QFont &font,
                  const QColor &marked)
{
    layout.setText(text);
    layout.setFont(font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    QList<QTextLayout::FormatRange> ranges;
    for (const auto &[start, length] : marks) {
        // Marks come with the page's text; only those inside it are drawn.
        if (start < 0 || length <= 0 || start >= text.size())
            continue;
        QTextLayout::FormatRange range;
        range.start = int(start);
        range.length = int(std::min(length, text.size() - start));
        range.format.setFontWeight(QFont::Bold);
        range.format.setForeground(marked);
        ranges.append(range);
    }
    layout.setFormats(ranges);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
}

// The parts of `marks` that fall in [from, to), counted from `shift` instead of `from`.
Marks marksWithin(const Marks &marks, qsizetype from, qsizetype to, qsizetype shift)
{
    Marks kept;
    for (const auto &[start, length] : marks) {
        const qsizetype first = std::max(start, from);
        const qsizetype end = std::min(start + length, to);
        if (first < end)
            kept.append({first - from + shift, end - first});
    }
    return kept;
}

// Draws `text` on one line at `rect`'s top left with the marked words bold, cut with an
// ellipsis where it is wider than `rect`; the first marked word is kept in sight.
void paintMarked(QPainter *painter, const QRect &rect, const QString &text, const Marks &marks,
                 const QFont &font, const QColor &marked)
{
    if (rect.width() <= 0 || text.isEmpty())
        return;
    const QString ellipsis(u'\u2026');
    const int room = rect.width() - QFontMetrics(font).horizontalAdvance(ellipsis);
    QString shown = text;
    Marks shownMarks = marksWithin(marks, 0, text.size(), 0);
    QTextLayout layout;
    layoutMarked(layout, shown, shownMarks, font, marked);
    // In a narrow card the words before the first mark give way to it.
    if (!shownMarks.isEmpty() && room > 0) {
        const auto [start, length] = shownMarks.first();
        const QTextLine line = layout.lineAt(0);
        if (line.cursorToX(int(start + length)) > room) {
            const qreal lead = line.cursorToX(int(start)) - room / 4.0;
            const int begin =
                std::min(int(start), line.xToCursor(lead, QTextLine::CursorOnCharacter));
            shown = ellipsis + text.mid(begin);
            shownMarks = marksWithin(marks, begin, text.size(), 1);
            layoutMarked(layout, shown, shownMarks, font, marked);
        }
    }
    if (layout.lineAt(0).naturalTextWidth() > rect.width()) {
        const QTextLine line = layout.lineAt(0);
        int end = room > 0 ? line.xToCursor(room, QTextLine::CursorOnCharacter) : 0;
        // The cursor may stand just past the last whole character that fits.
        while (end > 0 && line.cursorToX(end) > room)
            end = layout.previousCursorPosition(end);
        const Marks kept = marksWithin(shownMarks, 0, end, 0);
        layoutMarked(layout, shown.left(end) + ellipsis, kept, font, marked);
    }
    painter->save();
    painter->setClipRect(rect);
    layout.draw(painter, rect.topLeft());
    painter->restore();
}

} // namespace

ItemDelegate::ItemDelegate(ThumbnailCache &thumbnails, QObject *parent)
    : QStyledItemDelegate(parent), m_thumbnails(thumbnails)
{
}

QSize ItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    if (m_grid)
        return {m_cardWidth, cardHeight};
    return {option.rect.width() > 0 ? option.rect.width() : 300, rowHeight};
}

void ItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                         const QModelIndex &index) const
{
    const Item *item = itemOf(index);
    if (item == nullptr)
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const Snippet snippet{index.data(ItemListModel::SnippetRole).toString(),
                          index.data(ItemListModel::SnippetMarksRole).value<Marks>()};
    if (m_grid)
        paintCard(painter, option, *item, snippet);
    else
        paintRow(painter, option, *item, snippet);
    painter->restore();
}

void ItemDelegate::paintPlaceholder(QPainter *painter, const QRect &rect, const Item &item,
                                    int radius)
{
    const ItemType type = item.type();
    const QString key =
        QStringLiteral("placeholder:") + type.rawValue() + u':' + QString::number(radius);
    paintKept(painter, rect, 0, key, [type, radius](QPainter *p, const QRect &area) {
        QColor fill = toColor(type.tint());
        fill.setAlphaF(0.1f);
        p->setPen(Qt::NoPen);
        p->setBrush(fill);
        p->drawRoundedRect(area, radius, radius);
        const int iconSize = std::max(12, std::min(area.width(), area.height()) * 2 / 5);
        const QRect iconRect(area.center().x() - iconSize / 2, area.center().y() - iconSize / 2,
                             iconSize, iconSize);
        p->drawPixmap(iconRect, SymbolIcon::tinted(type.iconName(), toColor(type.tint()), iconSize,
                                                   p->device()->devicePixelRatioF()));
    });
}

void ItemDelegate::paintPicture(QPainter *painter, const QRect &rect, const Item &item,
                                bool fullImageAllowed, int radius) const
{
    const QImage image =
        m_thumbnails.picture(item, rect.size(),
                             fullImageAllowed ? ThumbnailCache::Source::ThumbnailOrImage
                                              : ThumbnailCache::Source::ThumbnailOnly);
    if (image.isNull()) {
        paintPlaceholder(painter, rect, item, radius);
        return;
    }
    QPainterPath clip;
    clip.addRoundedRect(rect, radius, radius);
    painter->save();
    painter->setClipPath(clip);
    // The cache hands out pictures already cut to the cell's proportions.
    painter->drawImage(QRectF(rect), image);
    painter->restore();
}

void ItemDelegate::paintCard(QPainter *painter, const QStyleOptionViewItem &option,
                             const Item &item, const Snippet &snippet) const
{
    const QPalette &palette = option.palette;
    const QRect card = option.rect.adjusted(1, 1, -1, -1);
    const bool selected = option.state & QStyle::State_Selected;

    const QColor edge =
        selected ? palette.color(QPalette::Highlight) : palette.color(QPalette::Mid);
    const QColor face = palette.color(QPalette::Base);
    const QString key = QStringLiteral("card:") + QString::number(edge.rgba(), 16) + u':' +
                        QString::number(face.rgba(), 16) + u':' + QString::number(int(selected));
    paintKept(painter, card, 2, key, [&](QPainter *p, const QRect &area) {
        p->setPen(QPen(edge, selected ? 2.5 : 0.6));
        p->setBrush(face);
        p->drawRoundedRect(area, 10, 10);
    });

    const QRect picture(card.left() + 8, card.top() + 8, card.width() - 16, 120);
    paintPicture(painter, picture, item, true, 8);

    const QFont base = option.font;
    QRect text(picture.left(), picture.bottom() + 8, picture.width(), 40);
    painter->setPen(palette.color(QPalette::Text));
    const int titleHeight = paintTitle(painter, m_lines, text, item.title(), item.isFavorite(),
                                       scaledFont(base, 0.92, QFont::Medium));
    const QFont caption2 = scaledFont(base, 0.82);
    text.setTop(text.top() + titleHeight + 4);
    text.setBottom(card.bottom() - 4);
    if (!snippet.text.isEmpty()) {
        painter->setPen(secondary(palette));
        paintMarked(painter, text, snippet.text, snippet.marks, caption2,
                    palette.color(QPalette::Text));
        // The site follows when the card has room for it.
        text.setTop(text.top() + QFontMetrics(caption2).height() + 2);
        if (text.height() < QFontMetrics(caption2).height())
            return;
    }
    if (const std::optional<QString> domain = DisplayText::source(item)) {
        painter->setPen(secondary(palette));
        m_lines.draw(painter, text, DisplayText::bounded(*domain), caption2);
    }
}

void ItemDelegate::paintRow(QPainter *painter, const QStyleOptionViewItem &option, const Item &item,
                            const Snippet &snippet) const
{
    const QPalette &palette = option.palette;
    const QRect row = option.rect.adjusted(6, 2, -6, -2);
    if (option.state & QStyle::State_Selected) {
        QColor highlight = palette.color(QPalette::Highlight);
        highlight.setAlphaF(0.2f);
        painter->setPen(Qt::NoPen);
        painter->setBrush(highlight);
        painter->drawRoundedRect(row, 8, 8);
    }
    const QRect picture(row.left() + 8, row.top() + (row.height() - 40) / 2, 40, 40);
    paintPicture(painter, picture, item, false, 6);

    const QFont base = option.font;
    QRect text(picture.right() + 12, row.top() + 6, row.right() - picture.right() - 20,
               row.height() - 8);
    painter->setPen(palette.color(QPalette::Text));
    const int titleHeight =
        paintTitle(painter, m_lines, text, item.title(), item.isFavorite(), base);

    text.setTop(text.top() + titleHeight + 2);
    int x = text.left();
    if (const std::optional<QString> domain = DisplayText::source(item)) {
        painter->setPen(secondary(palette));
        QRect half = text;
        // A snippet needs the line more than the site does.
        half.setWidth(snippet.text.isEmpty() ? text.width() / 2 : text.width() / 4);
        x +=
            m_lines.draw(painter, half, DisplayText::bounded(*domain), scaledFont(base, 0.85)) + 10;
    }
    // Found in its kept page: where the words stand there says more than when it was added.
    if (!snippet.text.isEmpty()) {
        painter->setPen(secondary(palette));
        paintMarked(painter, QRect(x, text.top(), text.right() - x, text.height()), snippet.text,
                    snippet.marks, scaledFont(base, 0.85), palette.color(QPalette::Text));
        return;
    }
    const QFont caption2 = scaledFont(base, 0.78);
    painter->setFont(caption2);
    painter->setPen(tertiary(palette));
    painter->drawText(QRect(x, text.top() + 1, text.right() - x, text.height()),
                      Qt::AlignLeft | Qt::AlignTop,
                      RelativeDate::format(item.createdAt(), Clock::now()));
}

} // namespace quillory
