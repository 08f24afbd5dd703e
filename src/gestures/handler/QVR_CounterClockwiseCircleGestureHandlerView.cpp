#include "gestures/handler/QVR_CounterClockwiseCircleGestureHandlerView.h"

#include <algorithm>
#include <cmath>

#include <QPainter>

namespace {

constexpr qreal kRadius = 20;
constexpr qreal kLineWidth = 4;
constexpr int kFullCircle = 360 * 16; // drawArc's sixteenths of a degree

} // namespace

QVR_CounterClockwiseCircleGestureHandlerView::QVR_CounterClockwiseCircleGestureHandlerView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
}

void QVR_CounterClockwiseCircleGestureHandlerView::setPercentComplete(double percent)
{
    m_progress = float(percent);
    m_split = std::isfinite(percent) ? std::clamp(percent, 0.0, 1.0) : 0.0;
    update();
}

void QVR_CounterClockwiseCircleGestureHandlerView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF ring(rect().center().x() - kRadius, rect().center().y() - kRadius, 2 * kRadius, 2 * kRadius);
    const int done = int(std::lround(m_split * kFullCircle));
    // From twelve o'clock, counter-clockwise (positive spans run counter-clockwise).
    const int top = 90 * 16;
    painter.setPen(QPen(Qt::white, kLineWidth));
    if (done > 0)
        painter.drawArc(ring, top, done);
    painter.setPen(QPen(QColor::fromRgbF(0.5f, 0.5f, 0.5f), kLineWidth));
    if (done < kFullCircle)
        painter.drawArc(ring, top + done, kFullCircle - done);
}
