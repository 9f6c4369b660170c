#include <views/widgets/TagChipView.h>

#include <views/widgets/DisplayText.h>
#include <views/widgets/SymbolIcon.h>

#include <model/HexColor.h>
#include <model/Tag.h>

#include <QFontMetrics>
#include <QPainter>
#include <QToolButton>
#include <QtMath>
#include <utility>

namespace quillory {

namespace {

constexpr int partSpacing = 4;
constexpr int removeIconSize = 8;
constexpr int removeButtonSize = removeIconSize + 4;
constexpr qreal backgroundOpacity = 0.15;

} // namespace

TagChipView::TagChipView(const Tag &tag, TagChipSize size, QWidget *parent)
    : QWidget(parent), m_tagId(tag.id()), m_name(DisplayText::bounded(tag.name())),
      m_color(HexColor::fromHex(tag.colorHex())), m_size(size)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(m_name);
    m_remove = new QToolButton(this);
    m_remove->setObjectName(QStringLiteral("removeTag"));
    m_remove->setAutoRaise(true);
    m_remove->setFocusPolicy(Qt::TabFocus);
    m_remove->setCursor(Qt::PointingHandCursor);
    m_remove->setFixedSize(removeButtonSize, removeButtonSize);
    m_remove->setIconSize(QSize(removeIconSize, removeIconSize));
    m_remove->setToolTip(tr("Remove"));
    m_remove->setAccessibleName(tr("Remove %1").arg(m_name));
    m_remove->hide();
    connect(m_remove, &QToolButton::clicked, this, [this] {
        if (m_onRemove)
            m_onRemove();
    });
    applyColor();
}

TagChipView::~TagChipView() = default;

void TagChipView::updateFromTag(const Tag &tag)
{
    m_tagId = tag.id();
    m_name = DisplayText::bounded(tag.name());
    m_color = HexColor::fromHex(tag.colorHex());
    setAccessibleName(m_name);
    m_remove->setAccessibleName(tr("Remove %1").arg(m_name));
    applyColor();
    updateGeometry();
    update();
}

void TagChipView::setShowRemove(bool show)
{
    m_showRemove = show;
    updateRemoveButton();
}

void TagChipView::setOnRemove(std::function<void()> onRemove)
{
    m_onRemove = std::move(onRemove);
    updateRemoveButton();
}

TagChipView::Metrics TagChipView::metrics(TagChipSize size)
{
    switch (size) {
    case TagChipSize::Small:
        return {0.75, 2, 6};
    case TagChipSize::Medium:
        return {0.85, 4, 8};
    case TagChipSize::Large:
        break;
    }
    return {1.0, 6, 12};
}

bool TagChipView::removeShown() const
{
    return m_showRemove && m_onRemove != nullptr;
}

QFont TagChipView::textFont() const
{
    QFont f = font();
    const qreal scale = metrics(m_size).fontScale;
    if (f.pointSizeF() > 0)
        f.setPointSizeF(f.pointSizeF() * scale);
    else
        f.setPixelSize(qMax(1, qRound(f.pixelSize() * scale)));
    f.setWeight(QFont::Medium);
    return f;
}

QSize TagChipView::sizeHint() const
{
    const Metrics m = metrics(m_size);
    // Fractional advances rounded up, so the painted name never needs eliding at this size.
    const QFontMetricsF fm(textFont());
    int width = qCeil(fm.horizontalAdvance(m_name)) + 1;
    int height = qCeil(fm.height());
    if (removeShown()) {
        width += partSpacing + removeButtonSize;
        height = qMax(height, removeButtonSize);
    }
    return QSize(width + 2 * m.horizontal, height + 2 * m.vertical);
}

void TagChipView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor background = m_color;
    background.setAlphaF(float(backgroundOpacity));
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = box.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(box, radius, radius);

    const Metrics m = metrics(m_size);
    QRect text = rect().adjusted(m.horizontal, 0, -m.horizontal, 0);
    if (removeShown())
        text.setRight(text.right() - partSpacing - removeButtonSize);
    painter.setFont(textFont());
    painter.setPen(m_color);
    const QString shown =
        QFontMetrics(painter.font()).elidedText(m_name, Qt::ElideRight, text.width());
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, shown);
}

void TagChipView::resizeEvent(QResizeEvent *)
{
    placeRemoveButton();
}

void TagChipView::placeRemoveButton()
{
    const Metrics m = metrics(m_size);
    m_remove->move(width() - m.horizontal - removeButtonSize, (height() - removeButtonSize) / 2);
}

void TagChipView::applyColor()
{
    m_remove->setIcon(SymbolIcon::tintedIcon(QStringLiteral("xmark"), m_color));
}

void TagChipView::updateRemoveButton()
{
    m_remove->setVisible(removeShown());
    placeRemoveButton();
    updateGeometry();
    update();
}

} // namespace quillory
