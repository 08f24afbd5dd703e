#pragma once

#include <QGraphicsObject>

// The crop rectangle's dashed outline: white, 3 units wide, 5 on and 2 off, in the crop view's units, so that it
// scales with the art board as the picture does. It takes no presses.
class QVR_CropTranslationHelperView : public QGraphicsObject {
    Q_OBJECT
public:
    static constexpr double kLineWidth = 3.0;

    explicit QVR_CropTranslationHelperView(QGraphicsItem* parent);
    // The outlined rectangle, in the parent's coordinates.
    QRectF frame() const { return m_frame; }
    void setFrame(const QRectF& frame);
    QPen pen() const;

    QRectF boundingRect() const override;
    QPainterPath shape() const override { return {}; }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    QRectF m_frame;
};
