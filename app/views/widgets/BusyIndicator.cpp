#include <views/widgets/BusyIndicator.h>

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace quillory {

namespace {

constexpr int spokeCount = 12;
constexpr int frameMilliseconds = 80;

} // namespace

BusyIndicator::BusyIndicator(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TranslucentBackground);
    m_timer.setInterval(frameMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, &BusyIndicator::advance);
}

BusyIndicator::~BusyIndicator() = default;

void BusyIndicator::setDiameter(int diameter)
{
    if (diameter == m_diameter)
        return;
    m_diameter = diameter;
    updateGeometry();
    update();
}

void BusyIndicator::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(width(), height());
    painter.translate(width() / 2.0, height() / 2.0);
    painter.scale(side / 100.0, side / 100.0);

    QColor color = palette().color(QPalette::WindowText);
    QPainterPath spoke;
    spoke.addRoundedRect(QRectF(-4.5, -48, 9, 26), 4.5, 4.5);
    for (int i = 0; i < spokeCount; ++i) {
        // The leading spoke is brightest; the ones behind it fade out.
        const int age = (m_step - i + spokeCount) % spokeCount;
        color.setAlphaF(float(1.0 - 0.75 * age / (spokeCount - 1)));
        painter.fillPath(spoke, color);
        painter.rotate(360.0 / spokeCount);
    }
}

void BusyIndicator::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_timer.start();
}

void BusyIndicator::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_timer.stop();
}

void BusyIndicator::advance()
{
    m_step = (m_step + 1) % spokeCount;
    update();
}

} // namespace quillory
