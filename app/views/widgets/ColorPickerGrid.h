#pragma once

#include <QColor>
#include <QList>
#include <QWidget>

class QAbstractButton;

namespace quillory {

class FlowLayout;

// A grid of colour swatches to pick one colour from; as many columns as the width allows.
// The chosen swatch is ringed.
class ColorPickerGrid final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ColorPickerGrid)
    Q_PROPERTY(QColor selectedColor READ selectedColor WRITE setSelectedColor NOTIFY
                   selectedColorChanged USER true)

public:
    static constexpr int swatchSize = 32;
    static constexpr int cellSize = 40; // room for the ring around the swatch
    static constexpr int spacing = 4;   // a column is cellSize + spacing = 44 px wide

    explicit ColorPickerGrid(const QList<QColor> &colors, QWidget *parent = nullptr);
    ~ColorPickerGrid() override;

    const QList<QColor> &colors() const { return m_colors; }
    QColor selectedColor() const { return m_selected; }
    void setSelectedColor(const QColor &color);
    // The swatch whose colour text is `hex`, or null.
    QAbstractButton *cell(const QString &hex) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void selectedColorChanged(const QColor &color);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QList<QColor> m_colors;
    QColor m_selected;
    QList<QAbstractButton *> m_cells;
    FlowLayout *m_layout = nullptr;
};

} // namespace quillory
