#include "controls/QVOCircularProgressView.h"

#include <algorithm>

#include <QPainter>

#include "elements/images/AudioElementDrawing.h"

QVOCircularProgressView::QVOCircularProgressView(QWidget* parent)
    : QWidget(parent)
    , m_tintColor(QColor::fromRgbF(40 / 255.0f, 120 / 255.0f, 183 / 255.0f, 1.0f))
{
    setAttribute(Qt::WA_TranslucentBackground);
    resize(0, 0);
}

void QVOCircularProgressView::setProgress(double progress)
{
    // Values outside 0..1 would draw more than one turn or a backwards arc.
    m_progress = std::clamp(progress, 0.0, 1.0);
    update();
}

void QVOCircularProgressView::setTrackWidth(double width)
{
    m_trackWidth = std::max(0.0, width);
    update();
}

void QVOCircularProgressView::setTintColor(const QColor& color)
{
    m_tintColor = color;
    update();
}

void QVOCircularProgressView::setStartAngle(double degrees)
{
    m_startAngle = degrees;
    update();
}

void QVOCircularProgressView::setEndAngle(double degrees)
{
    m_endAngle = degrees;
    update();
}

void QVOCircularProgressView::drawInRect(QPainter* painter, const QRectF& rect) const
{
    AudioElementDrawing::Ring ring;
    ring.progress = m_progress;
    ring.trackWidth = m_trackWidth;
    ring.tintColor = m_tintColor;
    ring.startAngle = m_startAngle;
    ring.endAngle = m_endAngle;
    AudioElementDrawing::drawRing(painter, rect, ring);
}

void QVOCircularProgressView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawInRect(&painter, QRectF(rect()));
}
