#pragma once

#include <QColor>
#include <QSlider>

// The full-window player's slider: the bar is drawn in two colours, the first up to the value and the second after
// it, each a rounded rectangle of radius 4 over the style's groove; the style draws the knob. The whole slider
// repaints on every value change, since the split moves along the bar.
class QVR_AVVideoPlayerSlider : public QSlider {
    Q_OBJECT
public:
    explicit QVR_AVVideoPlayerSlider(QWidget* parent = nullptr);
    explicit QVR_AVVideoPlayerSlider(Qt::Orientation orientation, QWidget* parent = nullptr);

    // The brand blue by default.
    QColor firstPortionColor() const { return m_firstPortionColor; }
    void setFirstPortionColor(const QColor& color);
    // White at alpha 0.5 by default.
    QColor secondPortionColor() const { return m_secondPortionColor; }
    void setSecondPortionColor(const QColor& color);

    // The bar's rectangle in the slider's coordinates.
    QRectF barRect() const;
    // Where the value stands along the bar, 0..1 (0 for an empty range).
    double fraction() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void initializeColors();

    QColor m_firstPortionColor;
    QColor m_secondPortionColor;
};
