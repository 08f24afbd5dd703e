#include "elements/images/AudioElementDrawing.h"

#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QPainterPath>

namespace {

bool isDrawable(const QRectF& rect)
{
    return std::isfinite(rect.x()) && std::isfinite(rect.y()) && std::isfinite(rect.width()) &&
           std::isfinite(rect.height()) && rect.width() > 0 && rect.height() > 0;
}

} // namespace

void AudioElementDrawing::drawPanel(QPainter* painter, const QRectF& rect)
{
    if (!painter || !isDrawable(rect))
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(QColor::fromRgbF(0, 0, 0, 0.75f));
    painter->drawRoundedRect(rect, kPanelCornerRadius, kPanelCornerRadius);
    painter->restore();
}

double AudioElementDrawing::suggestedLineWidthForRect(const QRectF& rect)
{
    const double largest = std::max(rect.width(), rect.height());
    if (largest <= 100)
        return 1.0;
    if (largest <= 150)
        return 2.0;
    return 3.0;
}

void AudioElementDrawing::drawIcon(QPainter* painter, const QRectF& rect, unsigned type)
{
    switch (type) {
    case PlayIcon:
        drawPlayIconInRect(painter, rect);
        break;
    case PauseIcon:
        drawPauseIconInRect(painter, rect);
        break;
    case SoundIcon:
        drawSoundIconInRect(painter, rect);
        break;
    default:
        break;
    }
}

void AudioElementDrawing::drawPlayIconInRect(QPainter* painter, const QRectF& rect)
{
    if (!painter || !isDrawable(rect))
        return;
    const double x = rect.x(), y = rect.y(), w = rect.width(), h = rect.height();
    // The two left corners use the absolute coordinate 2, as the icon is always drawn into its own rectangle.
    QPainterPath triangle;
    triangle.moveTo(2, 2);
    triangle.lineTo(2, y + h - 2);
    triangle.lineTo(x + w, y + h / 2);
    triangle.closeSubpath();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(triangle, Qt::white);
    painter->restore();
}

void AudioElementDrawing::drawPauseIconInRect(QPainter* painter, const QRectF& rect)
{
    if (!painter || !isDrawable(rect))
        return;
    const double x = rect.x(), y = rect.y(), w = rect.width(), h = rect.height();
    const double bar = std::floor(float(w / 3));
    const double gap = std::floor(float(bar * 0.25));
    const double cx = x + w / 2;
    QPainterPath bars;
    bars.addRect(QRectF(QPointF(cx - gap - bar, y), QPointF(cx - gap, y + h)));
    bars.addRect(QRectF(QPointF(cx + gap, y), QPointF(cx + gap + bar, y + h)));
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(bars, Qt::white);
    painter->restore();
}

void AudioElementDrawing::drawSoundIconInRect(QPainter* painter, const QRectF& rect)
{
    if (!painter || !isDrawable(rect))
        return;
    const double x = rect.x(), y = rect.y(), h = rect.height();
    const double u = std::floor(float(h / 3));
    const double half = std::floor(float(u * 0.5));
    const double cy = y + h / 2;

    QPainterPath speaker;
    speaker.moveTo(x, cy - half);
    speaker.lineTo(x, cy + half);
    speaker.lineTo(x + u, cy + half);
    speaker.lineTo(x + 2 * u, y + h);
    speaker.lineTo(x + 2 * u, y);
    speaker.lineTo(x + u, cy - half);
    speaker.closeSubpath();

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(speaker, Qt::white);

    QPen pen(Qt::white, suggestedLineWidthForRect(rect));
    pen.setCapStyle(Qt::RoundCap);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    const QPointF centre(x + 2 * u, cy);
    for (int i = 1; i <= 3; ++i) {
        // The radius follows the centre's y coordinate (half the height for an icon at the origin).
        const double radius = i * 0.166667 * cy;
        if (!(radius > 0))
            continue;
        const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
        // From 60 degrees clockwise to 300: the arc opens to the right, through 0 degrees.
        QPainterPath wave;
        wave.arcMoveTo(circle, 60);
        wave.arcTo(circle, 60, -120);
        painter->drawPath(wave);
    }
    painter->restore();
}

void AudioElementDrawing::drawRing(QPainter* painter, const QRectF& rect, const Ring& ring)
{
    if (!painter || !isDrawable(rect))
        return;
    const double radius = std::min(rect.width() / 2.0, rect.height() / 2.0) - ring.trackWidth;
    if (!(radius > 0))
        return;
    const QPointF centre = rect.center();
    const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(Qt::white, ring.trackWidth));
    painter->drawEllipse(circle);

    const double progress = std::isfinite(ring.progress) ? std::clamp(ring.progress, 0.0, 1.0) : 0.0;
    const double sweep = (ring.endAngle - ring.startAngle) * progress;
    if (sweep != 0.0) {
        QPen arcPen(ring.tintColor, ring.trackWidth);
        arcPen.setCapStyle(Qt::RoundCap);
        painter->setPen(arcPen);
        QPainterPath arc;
        arc.arcMoveTo(circle, ring.startAngle);
        arc.arcTo(circle, ring.startAngle, sweep);
        painter->drawPath(arc);
    }
    painter->restore();
}

QRectF AudioElementDrawing::iconRectForPanel(const QRectF& panel)
{
    const QSizeF size(panel.width() * kIconShare, panel.height() * kIconShare);
    return QRectF(panel.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

QRectF AudioElementDrawing::ringRectForPanel(const QRectF& panel)
{
    return panel.adjusted(kRingInset, kRingInset, -kRingInset, -kRingInset);
}

void AudioElementDrawing::drawAtRest(QPainter* painter, const QRectF& panel)
{
    if (!painter || !isDrawable(panel))
        return;
    drawPanel(painter, panel);
    const QRectF icon = iconRectForPanel(panel);
    if (isDrawable(icon)) {
        // The icon draws as into its own rectangle at the origin.
        painter->save();
        painter->translate(icon.topLeft());
        drawIcon(painter, QRectF(QPointF(0, 0), icon.size()), SoundIcon);
        painter->restore();
    }
    drawRing(painter, ringRectForPanel(panel), Ring{});
}
