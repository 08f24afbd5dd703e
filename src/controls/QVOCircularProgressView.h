#pragma once

#include <QColor>
#include <QWidget>

// A progress ring: a white full circle (the track) and over it, in the tint colour with round caps, the arc from
// startAngle to startAngle + (endAngle - startAngle) x progress. Angles are in degrees, counter-clockwise from
// 3 o'clock as seen on screen, so the default 90 is 12 o'clock and the default end (90 - 360) makes the arc grow
// clockwise. Both strokes are trackWidth wide, centred, radius = min(half width, half height) - trackWidth.
class QVOCircularProgressView : public QWidget {
    Q_OBJECT
public:
    // Zero frame, progress 0, track width 2, tint (40, 120, 183), start 90, end start - 360.
    explicit QVOCircularProgressView(QWidget* parent = nullptr);

    double progress() const { return m_progress; }
    void setProgress(double progress);

    double trackWidth() const { return m_trackWidth; }
    void setTrackWidth(double width);

    QColor tintColor() const { return m_tintColor; }
    void setTintColor(const QColor& color);

    double startAngle() const { return m_startAngle; }
    void setStartAngle(double degrees);
    double endAngle() const { return m_endAngle; }
    void setEndAngle(double degrees);

    // Draws the ring into any painter (the widget's paint event uses it; so can snapshots).
    void drawInRect(QPainter* painter, const QRectF& rect) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_progress = 0.0;
    double m_trackWidth = 2.0;
    QColor m_tintColor;
    double m_startAngle = 90.0;
    double m_endAngle = 90.0 - 360.0;
};
