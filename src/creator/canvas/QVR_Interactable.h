#pragma once

#include <optional>

#include <QCursor>
#include <QPointF>

// What the interaction model asks of every item it handles: element containers, the selection frame and its
// handles, crop views. hoverable, selectable and rotatable must be answered; every other message has a neutral
// default, the answer of an item that does not take part in that gesture.
//
// Handle positions: 0 top-left, 1 top-right, 2 bottom-right, 3 bottom-left corner; 4 left, 5 right, 6 top,
// 7 bottom side.
class QVR_Interactable {
public:
    virtual ~QVR_Interactable() = default;

    virtual bool hoverable() const = 0;
    virtual bool selectable() const = 0;
    virtual bool rotatable() const = 0;

    virtual bool translatable() const { return false; }
    // The cursor shown over the item; none keeps the standard arrow.
    virtual std::optional<QCursor> interactionCursor() const { return std::nullopt; }
    virtual double scaleForScreenSize() const { return 1.0; }
    virtual bool resizePositionIsAvailable(int position) const
    {
        (void)position;
        return true;
    }
    // True when a press at `scenePoint` belongs to something inside the item (a text being edited) rather
    // than to the interaction model.
    virtual bool disallowsMouseEvent(const QPointF& scenePoint) const
    {
        (void)scenePoint;
        return false;
    }

    virtual void onSelectedByInteractionModel() {}
    virtual void onDeselectedByInteractionModel() {}
    virtual void interactionModelDidUpdateNumberOfSelectedItems(int count) { (void)count; }
    // A click on the item while it is the only selection (an element enters editing there).
    virtual void onReceivedSecondClick(const QPointF& scenePoint) { (void)scenePoint; }
    virtual void willBeginTranslating() {}
    virtual void didEndTranslating() {}
    virtual void willBeginRotating() {}
    virtual void didEndRotating() {}
    virtual void willBeginResizing() {}
    virtual void didEndResizing() {}
};
