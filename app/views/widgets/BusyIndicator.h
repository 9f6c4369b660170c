#pragma once

#include <QTimer>
#include <QWidget>

namespace quillory {

// An indeterminate progress spinner: twelve spokes whose brightness runs round the circle.
// It only animates while shown.
class BusyIndicator final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BusyIndicator)

public:
    static constexpr int normalSize = 20;

    explicit BusyIndicator(QWidget *parent = nullptr);
    ~BusyIndicator() override;

    // Edge length of the square it draws in.
    int diameter() const { return m_diameter; }
    void setDiameter(int diameter);

    QSize sizeHint() const override { return QSize(m_diameter, m_diameter); }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void advance();

    QTimer m_timer;
    int m_diameter = normalSize;
    int m_step = 0;
};

} // namespace quillory
