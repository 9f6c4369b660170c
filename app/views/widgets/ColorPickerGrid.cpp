#include <views/widgets/ColorPickerGrid.h>

#include <views/widgets/FlowLayout.h>

#include <model/HexColor.h>
#include <model/NamedColor.h>

#include <QAbstractButton>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>

namespace quillory {

namespace {

constexpr int preferredColumns = 8;

// "Blue" for the standard colours, the colour text for any other.
QString displayName(const QColor &color)
{
    const QString hex = HexColor::toHexOrDefault(color);
    for (int i = 0; i <= int(NamedColor::Gray); ++i) {
        const auto named = NamedColor(i);
        if (HexColor::toHexOrDefault(toColor(named)) == hex) {
            QString name = nameOf(named);
            name[0] = name[0].toUpper();
            return name;
        }
    }
    return hex;
}

// Checked means "is the selected colour"; only the grid changes it.
class ColorCell final : public QAbstractButton
{
public:
    ColorCell(const QColor &color, QWidget *parent) : QAbstractButton(parent), m_color(color)
    {
        setCheckable(true);
        setFixedSize(ColorPickerGrid::cellSize, ColorPickerGrid::cellSize);
        setFocusPolicy(Qt::TabFocus);
        setCursor(Qt::PointingHandCursor);
        setAttribute(Qt::WA_Hover);
        setToolTip(displayName(color));
        setAccessibleName(HexColor::toHexOrDefault(color));
    }

    QSize sizeHint() const override
    {
        return QSize(ColorPickerGrid::cellSize, ColorPickerGrid::cellSize);
    }

protected:
    void nextCheckState() override {}

    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPointF centre = QRectF(rect()).center();
        const qreal radius = ColorPickerGrid::swatchSize / 2.0;
        QColor fill = m_color;
        if (isDown())
            fill = fill.darker(115);
        else if (underMouse())
            fill = fill.lighter(108);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawEllipse(centre, radius, radius);
        if (isChecked() || hasFocus()) {
            // 2 px ring with a 1 px gap, so it reads against the swatch's own colour.
            QColor ring = palette().color(QPalette::Highlight);
            if (!isChecked())
                ring.setAlphaF(0.5f);
            painter.setPen(QPen(ring, 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(centre, radius + 2, radius + 2);
        }
    }

private:
    QColor m_color;
};

} // namespace

ColorPickerGrid::ColorPickerGrid(const QList<QColor> &colors, QWidget *parent)
    : QWidget(parent), m_colors(colors), m_layout(new FlowLayout(this, spacing))
{
    for (const QColor &color : std::as_const(m_colors)) {
        auto *cell = new ColorCell(color, this);
        connect(cell, &QAbstractButton::clicked, this, [this, color] { setSelectedColor(color); });
        m_layout->addWidget(cell);
        m_cells.append(cell);
    }
}

ColorPickerGrid::~ColorPickerGrid() = default;

void ColorPickerGrid::setSelectedColor(const QColor &color)
{
    if (color == m_selected)
        return;
    m_selected = color;
    // Compared by colour text, so a colour read back from a folder finds its swatch.
    const QString hex = m_selected.isValid() ? HexColor::toHexOrDefault(m_selected) : QString();
    for (qsizetype i = 0; i < m_cells.size(); ++i)
        m_cells.at(i)->setChecked(HexColor::toHexOrDefault(m_colors.at(i)) == hex);
    emit selectedColorChanged(m_selected);
}

QAbstractButton *ColorPickerGrid::cell(const QString &hex) const
{
    for (QAbstractButton *c : m_cells) {
        if (c->accessibleName().compare(hex, Qt::CaseInsensitive) == 0)
            return c;
    }
    return nullptr;
}

QSize ColorPickerGrid::sizeHint() const
{
    const int columns = std::min<int>(preferredColumns, std::max<int>(1, int(m_colors.size())));
    const int w = columns * (cellSize + spacing) - spacing;
    return QSize(w, heightForWidth(w));
}

QSize ColorPickerGrid::minimumSizeHint() const
{
    // Before the first layout pass the width is meaningless; assume the preferred one.
    const int w = testAttribute(Qt::WA_Resized) ? std::max(width(), cellSize) : sizeHint().width();
    return QSize(cellSize, heightForWidth(w));
}

void ColorPickerGrid::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (heightForWidth(event->size().width()) != heightForWidth(event->oldSize().width()))
        updateGeometry();
}

} // namespace quillory
