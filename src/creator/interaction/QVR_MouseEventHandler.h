#pragma once

#include <QPointF>
#include <Qt>

class QGraphicsObject;

// What the mouse monitor tells its delegate. `item` is the pressed interactable item (an element container, a
// selection handle), or nullptr for a press on the screen itself or beside it. Points and translations are in
// scene units (points, y down); the translation is always measured from the press.
class QVR_MouseEventHandler {
public:
    virtual ~QVR_MouseEventHandler() = default;

    // Asked first at every press: false leaves the press (up to its release) to the pressed item itself.
    virtual bool shouldTrackView(QGraphicsObject* item, QPointF scenePoint)
    {
        (void)item, (void)scenePoint;
        return true;
    }

    virtual void mouseDown(QGraphicsObject* item, QPointF scenePoint, Qt::KeyboardModifiers modifiers)
    {
        (void)item, (void)scenePoint, (void)modifiers;
    }
    virtual void mouseClicked(QGraphicsObject* item, QPointF scenePoint, Qt::KeyboardModifiers modifiers)
    {
        (void)item, (void)scenePoint, (void)modifiers;
    }
    virtual void mouseUp(QGraphicsObject* item, QPointF scenePoint) { (void)item, (void)scenePoint; }
    virtual void dragBegan(QGraphicsObject* item, QPointF translation, Qt::KeyboardModifiers modifiers)
    {
        (void)item, (void)translation, (void)modifiers;
    }
    virtual void dragMoved(QGraphicsObject* item, QPointF translation) { (void)item, (void)translation; }
    virtual void dragEnded(QGraphicsObject* item, QPointF translation) { (void)item, (void)translation; }
    virtual void hoverChanged(QGraphicsObject* item) { (void)item; }
};
