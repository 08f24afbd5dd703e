#pragma once

#include <QGraphicsObject>

#include "creator/canvas/QVR_Interactable.h"

// One of the eight handles on the crop rectangle: a blue dot with a white ring, 13 device pixels across at every
// magnification (its coordinates are device pixels, centred on its position's point of the rectangle). It only
// draws and tracks hover; drags on it are carried out by the crop view through the interaction handler.
class QVR_CropHandle : public QGraphicsObject, public QVR_Interactable {
    Q_OBJECT
public:
    static constexpr double kSideLength = 13.0;
    static constexpr double kRingWidth = 2.0;

    QVR_CropHandle(int position, QGraphicsItem* parent);
    int position() const { return m_position; }
    bool isHovered() const { return m_hovered; }
    void setIsHovered(bool hovered);

    bool hoverable() const override { return false; }
    bool selectable() const override { return false; }
    bool rotatable() const override { return false; }
    std::optional<QCursor> interactionCursor() const override;

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    // The dot's circle in the handle's own pixels.
    static QRectF circleRect();

protected:
    void hoverEnterEvent(QGraphicsSceneHoverEvent* event) override;
    void hoverMoveEvent(QGraphicsSceneHoverEvent* event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent* event) override;

private:
    int m_position = 0;
    bool m_hovered = false;
};
