#pragma once

#include <QLayout>
#include <QList>
#include <QPoint>
#include <QSize>
#include <limits>

namespace quillory {

// Lays its children out left to right at their size hints, wrapping onto a new row when the
// next child would pass the available width. Used by the icon and colour pickers.
class FlowLayout final : public QLayout
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FlowLayout)

public:
    static constexpr int unlimitedWidth = std::numeric_limits<int>::max();

    struct Arrangement
    {
        QList<QPoint> positions;
        QSize size;
    };

    explicit FlowLayout(QWidget *parent = nullptr, int spacing = 8);
    ~FlowLayout() override;

    // Where each item of the given sizes goes when rows may be at most `widthLimit` wide.
    // An item wider than the limit sits alone on its row at its own width.
    static Arrangement arrange(const QList<QSize> &sizes, int spacing, int widthLimit);

    int spacing() const override { return m_spacing; }
    void setSpacing(int spacing) override;

    void addItem(QLayoutItem *item) override;
    // Places `widget` at `index` among the items (at the end when past them).
    void insertWidget(int index, QWidget *widget);
    int count() const override { return int(m_items.size()); }
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;

    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect &rect) override;

private:
    QList<QLayoutItem *> visibleItems() const;
    Arrangement arrangeItems(const QList<QLayoutItem *> &items, int widthLimit) const;
    QSize withMargins(const QSize &size) const;

    QList<QLayoutItem *> m_items;
    int m_spacing = 8;
};

} // namespace quillory
