#pragma once

#include <QGraphicsObject>
#include <QSizeF>

#include "elements/images/AudioElementDrawing.h"

// The progress ring of an audio object's panel, as a graphics item: the white track and the tinted arc that
// grows clockwise from the top with the clip's progress (0 to 1).
class AudioProgressRingView : public QGraphicsObject {
    Q_OBJECT
public:
    explicit AudioProgressRingView(QGraphicsItem* parent = nullptr);

    double progress() const { return m_ring.progress; }
    // Clamped to 0..1; a value that is not a number is ignored.
    void setProgress(double progress);

    void setFrame(const QRectF& frame);

    QRectF boundingRect() const override { return QRectF(QPointF(0, 0), m_size); }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    AudioElementDrawing::Ring m_ring;
    QSizeF m_size{0, 0};
};
