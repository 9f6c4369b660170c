#include <views/widgets/IconPickerGrid.h>

#include <views/widgets/FlowLayout.h>
#include <views/widgets/SymbolIcon.h>

#include <QAbstractButton>
#include <QImage>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>

namespace quillory {

namespace {

const QColor selectionBlue(0x00, 0x7A, 0xFF);
constexpr int preferredColumns = 8;

// Checked means "is the selected icon"; only the grid changes it.
class IconCell final : public QAbstractButton
{
public:
    IconCell(const QString &symbol, QWidget *parent)
        : QAbstractButton(parent), m_symbol(symbol), m_tinted(IconPickerGrid::isTintable(symbol))
    {
        setCheckable(true);
        setFixedSize(IconPickerGrid::cellSize, IconPickerGrid::cellSize);
        setFocusPolicy(Qt::TabFocus);
        setCursor(Qt::PointingHandCursor);
        setAttribute(Qt::WA_Hover);
        setToolTip(symbol);
        setAccessibleName(symbol);
        setIcon(SymbolIcon::icon(symbol));
    }

    QSize sizeHint() const override
    {
        return QSize(IconPickerGrid::cellSize, IconPickerGrid::cellSize);
    }

protected:
    void nextCheckState() override {}

    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF tile = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        if (isChecked()) {
            QColor fill = selectionBlue;
            fill.setAlphaF(0.2f);
            painter.setPen(Qt::NoPen);
            painter.setBrush(fill);
            painter.drawRoundedRect(tile, 7, 7);
        } else if (underMouse() || isDown()) {
            QColor fill = palette().color(QPalette::WindowText);
            fill.setAlphaF(isDown() ? 0.14f : 0.07f);
            painter.setPen(Qt::NoPen);
            painter.setBrush(fill);
            painter.drawRoundedRect(tile, 7, 7);
        }
        if (hasFocus()) {
            painter.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(tile.adjusted(0.75, 0.75, -0.75, -0.75), 7, 7);
        }
        const QColor tint = isChecked() ? selectionBlue : palette().color(QPalette::WindowText);
        const QPixmap pixmap =
            m_tinted
                ? SymbolIcon::tinted(m_symbol, tint, IconPickerGrid::iconSize, devicePixelRatioF())
                : icon().pixmap(QSize(IconPickerGrid::iconSize, IconPickerGrid::iconSize),
                                devicePixelRatioF());
        const QSizeF logical = pixmap.deviceIndependentSize();
        painter.drawPixmap(
            QPointF((width() - logical.width()) / 2.0, (height() - logical.height()) / 2.0),
            pixmap);
    }

private:
    QString m_symbol;
    bool m_tinted = true;
};

} // namespace

bool IconPickerGrid::isTintable(const QString &symbol)
{
    return SymbolIcon::isMonochrome(symbol);
}

const QStringList &IconPickerGrid::folderIcons()
{
    static const QStringList icons =
        QString::fromLatin1(
            "folder folder.fill star heart bookmark doc doc.text book books.vertical magazine "
            "newspaper link photo video music.note brain lightbulb graduationcap briefcase "
            "house cart bag gift trophy flag bell calendar clock map location person person.2 "
            "bubble.left quote.bubble ellipsis.bubble")
            .split(QLatin1Char(' '));
    return icons;
}

IconPickerGrid::IconPickerGrid(const QStringList &icons, QWidget *parent)
    : QWidget(parent), m_icons(icons), m_layout(new FlowLayout(this, spacing))
{
    for (const QString &icon : std::as_const(m_icons)) {
        auto *cell = new IconCell(icon, this);
        connect(cell, &QAbstractButton::clicked, this, [this, icon] { setSelectedIcon(icon); });
        m_layout->addWidget(cell);
        m_cells.append(cell);
    }
}

IconPickerGrid::~IconPickerGrid() = default;

void IconPickerGrid::setSelectedIcon(const QString &icon)
{
    if (icon == m_selected)
        return;
    m_selected = icon;
    for (qsizetype i = 0; i < m_cells.size(); ++i)
        m_cells.at(i)->setChecked(m_icons.at(i) == m_selected);
    emit selectedIconChanged(m_selected);
}

QAbstractButton *IconPickerGrid::cell(const QString &icon) const
{
    const qsizetype index = m_icons.indexOf(icon);
    return index < 0 ? nullptr : m_cells.at(index);
}

QSize IconPickerGrid::sizeHint() const
{
    const int columns = std::min<int>(preferredColumns, std::max<int>(1, int(m_icons.size())));
    const int w = columns * (cellSize + spacing) - spacing;
    return QSize(w, heightForWidth(w));
}

QSize IconPickerGrid::minimumSizeHint() const
{
    // Before the first layout pass the width is meaningless; assume the preferred one.
    const int w = testAttribute(Qt::WA_Resized) ? std::max(width(), cellSize) : sizeHint().width();
    return QSize(cellSize, heightForWidth(w));
}

void IconPickerGrid::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (heightForWidth(event->size().width()) != heightForWidth(event->oldSize().width()))
        updateGeometry();
}

} // namespace quillory
