#include <views/widgets/RowButton.h>

#include <views/widgets/SheetParts.h>
#include <views/widgets/SymbolIcon.h>

#include <QPainter>

namespace quillory {

namespace {
constexpr int symbolSize = 18;
constexpr int padding = 8;
const QColor destructiveRed(0xFF, 0x3B, 0x30);
} // namespace

RowButton::RowButton(const QString &symbol, const QString &text, QWidget *parent)
    : QAbstractButton(parent), m_symbol(symbol)
{
    setText(text);
    setAccessibleName(text);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void RowButton::setTrailingText(const QString &text, std::optional<QColor> color)
{
    m_trailing = text;
    m_trailingColor = color;
    setAccessibleDescription(text);
    update();
}

void RowButton::setLeadsOn(bool leadsOn)
{
    m_leadsOn = leadsOn;
    update();
}

void RowButton::setDestructive(bool destructive)
{
    m_destructive = destructive;
    update();
}

QSize RowButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    const int width = padding + symbolSize + padding + metrics.horizontalAdvance(text()) +
                      2 * padding + metrics.horizontalAdvance(m_trailing) + symbolSize + padding;
    return {width, qMax(metrics.height(), symbolSize) + 2 * padding};
}

QColor RowButton::labelColor() const
{
    if (!isEnabled())
        return palette().color(QPalette::Disabled, QPalette::WindowText);
    return m_destructive ? destructiveRed : palette().color(QPalette::WindowText);
}

void RowButton::paintEvent(QPaintEvent *)
{
    SheetParts::paintRowHighlight(*this);
    QPainter painter(this);
    const qreal ratio = devicePixelRatioF();
    const QColor label = labelColor();
    const QColor secondary = palette().color(QPalette::PlaceholderText);
    QRect area = rect().adjusted(padding, 0, -padding, 0);

    const QColor symbolColor =
        m_destructive || !isEnabled() ? label : palette().color(QPalette::Highlight);
    const QRect symbol(area.left(), area.center().y() - symbolSize / 2, symbolSize, symbolSize);
    painter.drawPixmap(symbol, SymbolIcon::tinted(m_symbol, symbolColor, symbolSize, ratio));
    area.setLeft(symbol.right() + padding + 1);

    if (m_leadsOn) {
        const QRect chevron(area.right() - 12, area.center().y() - 6, 12, 12);
        painter.drawPixmap(
            chevron, SymbolIcon::tinted(QStringLiteral("chevron.right"), secondary, 12, ratio));
        area.setRight(chevron.left() - padding);
    }
    if (!m_trailing.isEmpty()) {
        painter.setPen(m_trailingColor.value_or(secondary));
        painter.drawText(area, Qt::AlignRight | Qt::AlignVCenter, m_trailing);
        area.setRight(area.right() - fontMetrics().horizontalAdvance(m_trailing) - padding);
    }
    painter.setPen(label);
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
}

void RowButton::enterEvent(QEnterEvent *event)
{
    QAbstractButton::enterEvent(event);
    update();
}

void RowButton::leaveEvent(QEvent *event)
{
    QAbstractButton::leaveEvent(event);
    update();
}

} // namespace quillory
