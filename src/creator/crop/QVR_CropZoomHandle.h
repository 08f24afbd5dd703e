#pragma once

#include <QGraphicsObject>
#include <QPointer>

#include "creator/canvas/QVR_Interactable.h"

class QVR_CropHandle;

// One of the four handles on the picture's corners that scale the picture: a white circle 12.5 device pixels
// across centred on the corner (black when hovered), or, while the crop handle of the same corner covers it, an
// arrow pointing outward. Its coordinates are device pixels with the corner at (0, 0); its square of 25 pixels
// lies 2 pixels inward of the corner.
class QVR_CropZoomHandle : public QGraphicsObject, public QVR_Interactable {
    Q_OBJECT
public:
    static constexpr double kSideLength = 25.0;
    static constexpr double kOffset = 2.0;
    // Where the handle of the picture's corner at `position` is centred: kOffset points outside that corner,
    // so a small picture's crop handles leave it visible. Scene units.
    static QPointF centreForCorner(const QPointF& corner, int position);

    QVR_CropZoomHandle(int position, QGraphicsItem* parent);
    int position() const { return m_position; }
    bool isHovered() const { return m_hovered; }
    void setIsHovered(bool hovered);
    bool isCovered() const { return m_covered; }
    void setIsCovered(bool covered);
    QVR_CropHandle* siblingCropHandle() const { return m_sibling; }
    void setSiblingCropHandle(QVR_CropHandle* sibling) { m_sibling = sibling; }

    // The handle's square and its circle, in its own pixels.
    QRectF squareRect() const;
    static QRectF circleRect();
    // The arrow drawn while covered, in its own pixels.
    QPolygonF arrow() const;
    // Whether the cursor at `scenePoint` may light the handle: it lies beyond the sibling crop handle's inner edges,
    // toward the picture's corner, and the sibling is not hovered. `magnification` sizes the sibling.
    bool shouldStartHoverState(const QPointF& scenePoint, double magnification) const;
    // The cursor dragging this handle: it lights as hovering there would. Hover events stop while the button is
    // down, so the crop view reports the drag's points.
    void mouseDragged(const QPointF& scenePoint);
    // The button released after a press on this handle: lit when released over it, unless the crop handle of its
    // corner has the cursor; dark when released elsewhere.
    void mouseUp(bool releasedInside);

    bool hoverable() const override { return false; }
    bool selectable() const override { return false; }
    bool rotatable() const override { return false; }
    std::optional<QCursor> interactionCursor() const override;

    QRectF boundingRect() const override { return squareRect(); }
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

protected:
    void hoverEnterEvent(QGraphicsSceneHoverEvent* event) override;
    void hoverMoveEvent(QGraphicsSceneHoverEvent* event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent* event) override;

private:
    double magnification() const;

    int m_position = 0;
    bool m_hovered = false;
    bool m_covered = false;
    QPointer<QVR_CropHandle> m_sibling;
};
