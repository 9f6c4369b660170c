#include <views/window/SidebarDelegate.h>

#include <views/widgets/DisplayText.h>
#include <views/widgets/SymbolIcon.h>
#include <views/window/SidebarModel.h>

#include <QPainter>

namespace quillory {

namespace {

QColor faded(QColor color, float alpha)
{
    color.setAlphaF(alpha);
    return color;
}

} // namespace

QSize SidebarDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const auto kind = SidebarModel::RowKind(index.data(SidebarModel::KindRole).toInt());
    const int line = option.fontMetrics.height();
    return {option.rect.width(), kind == SidebarModel::RowKind::Section ? line + 14 : line + 12};
}

void SidebarDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                            const QModelIndex &index) const
{
    const auto kind = SidebarModel::RowKind(index.data(SidebarModel::KindRole).toInt());
    const QPalette &palette = option.palette;
    const QColor text = palette.color(QPalette::Text);
    QRect r = option.rect.adjusted(2, 1, -8, -1);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);

    if (kind == SidebarModel::RowKind::Section) {
        QFont f = option.font;
        f.setPointSizeF(f.pointSizeF() * 0.85);
        f.setWeight(QFont::DemiBold);
        painter->setFont(f);
        painter->setPen(faded(text, 0.55f));
        painter->drawText(r.adjusted(4, 6, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                          index.data().toString());
        painter->restore();
        return;
    }

    if (index.data(SidebarModel::SelectedRole).toBool()) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(faded(palette.color(QPalette::Highlight), 0.2f));
        painter->drawRoundedRect(r, 6, 6);
    } else if (option.state & QStyle::State_MouseOver) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(faded(text, 0.05f));
        painter->drawRoundedRect(r, 6, 6);
    }
    // The row the arrow keys are on, while the sidebar has the keyboard.
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(palette.color(QPalette::Highlight), 1.5));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(r).adjusted(0.75, 0.75, -0.75, -0.75), 6, 6);
    }

    const int iconSize = 16;
    QRect icon(r.left() + 6, r.center().y() - iconSize / 2 + 1, iconSize, iconSize);
    const QColor tint = index.data(SidebarModel::TintRole).value<QColor>();
    const bool secondaryRow = kind == SidebarModel::RowKind::NewFolder;
    if (kind == SidebarModel::RowKind::Tag) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(tint);
        painter->drawEllipse(QRectF(icon).adjusted(3, 3, -3, -3));
    } else {
        const QString symbol = index.data(SidebarModel::SymbolRole).toString();
        painter->drawPixmap(icon,
                            SymbolIcon::tinted(symbol, secondaryRow ? faded(text, 0.55f) : tint,
                                               iconSize, painter->device()->devicePixelRatioF()));
    }

    QRect label(icon.right() + 8, r.top(), r.right() - icon.right() - 12, r.height());
    const int count = index.data(SidebarModel::CountRole).toInt();
    QFont caption = option.font;
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    if (count >= 0 && m_countsShown) {
        const QString number = QString::number(count);
        painter->setFont(caption);
        painter->setPen(faded(text, 0.55f));
        painter->drawText(label, Qt::AlignRight | Qt::AlignVCenter, number);
        label.setRight(label.right() - QFontMetrics(caption).horizontalAdvance(number) - 6);
    }
    if (index.data(SidebarModel::CheckedRole).toBool()) {
        const QRect check(label.right() - 14, r.center().y() - 6, 13, 13);
        painter->drawPixmap(check, SymbolIcon::tinted(QStringLiteral("checkmark"),
                                                      palette.color(QPalette::Highlight), 13,
                                                      painter->device()->devicePixelRatioF()));
        label.setRight(check.left() - 4);
    }
    painter->setFont(option.font);
    painter->setPen(secondaryRow ? faded(text, 0.55f) : text);
    painter->drawText(label, Qt::AlignLeft | Qt::AlignVCenter,
                      option.fontMetrics.elidedText(DisplayText::bounded(index.data().toString()),
                                                    Qt::ElideRight, label.width()));
    painter->restore();
}

} // namespace quillory
