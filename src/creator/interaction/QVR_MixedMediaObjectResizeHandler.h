#pragma once

#include <memory>
#include <optional>

#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QSizeF>

#include "creator/interaction/QVR_UndoableGestureChange.h"

class QVR_MixedMediaElementContainingView;
class ZERI_MixedMediaObjectProxy;

// Turns a drag on one of the selection frame's resize handles into a new frame for the one selected object.
// Corners keep the opposite corner fixed; sides keep the opposite side. Images (and every type but shapes and
// text) keep their proportions and their crop scales with them; a shape keeps them when asked (Shift at the
// start); a text's height follows its text. The whole gesture is one undo step, which closes once the object's
// new cropped picture is set.
//
// Model units, y down. The object is held weakly: one that leaves its screen mid-gesture is no longer written.
// Every frame written has sides of at least one point. Main thread only.
class QVR_MixedMediaObjectResizeHandler {
public:
    enum ResizeType { Free = 0, Proportional = 1, TextWidth = 2 };
    static constexpr float kMinimumSide = 1.0f;

    void startResizing(QVR_MixedMediaElementContainingView* interactable,
                       const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, int position);
    // One drag step: `translation` is the total since the press, in model units.
    void handleMove(const QPointF& translation);
    // Ends the gesture; `done` runs once its undo step is closed.
    void endResizing(std::function<void()> done = {});

    bool isResizing() const { return m_resizing; }
    // A finished gesture still waiting for its picture.
    bool isBusy() const { return m_change.isBusy(); }

    bool maintainProportion() const { return m_maintainProportion; }
    void setMaintainProportion(bool maintain) { m_maintainProportion = maintain; }
    float viewScale() const { return m_viewScale; }
    void setViewScale(float scale) { m_viewScale = scale; }

    int currentResizeType() const;
    bool currentResizingPositionIsACorner() const { return m_position >= 0 && m_position < 4; }
    bool isSafeForMathz() const;
    std::shared_ptr<ZERI_MixedMediaObjectProxy> currentMixedMediaObject() const { return m_object.lock(); }
    int currentResizingPosition() const { return m_position; }

    QPointF convertedPointFromTranslation(const QPointF& translation) const;
    QPointF pointProjectedOntoDiagonal(const QPointF& point) const;
    QRectF rectForChangedPosition(const QPointF& point) const;
    QRectF rectForSideChangedWithPosition(const QPointF& point) const;
    void convertAndSetMixedMediaObjectValuesBasedOnSuggestedRect(const QRectF& rect);

    // The diagonal through the anchor and the starting drag point.
    float slope() const;
    float yIntercept() const;
    float yValueAtX(float x) const;
    float xValueAtY(float y) const;

private:
    // The object while it is still on a screen.
    std::shared_ptr<ZERI_MixedMediaObjectProxy> liveObject() const;
    // Grows a side shorter than one point away from the anchor.
    QRectF withMinimumSides(const QRectF& rect) const;

    bool m_resizing = false;
    int m_position = 0;
    std::weak_ptr<ZERI_MixedMediaObjectProxy> m_object;
    QRectF m_originalFrame;
    QSizeF m_originalZoomOffset;
    std::optional<double> m_originalZoomScale;
    QPointF m_originalDragPoint;
    QPointF m_anchorPoint;
    bool m_maintainProportion = false;
    float m_viewScale = 1.0f;
    QPointer<QVR_MixedMediaElementContainingView> m_interactable;
    QVR_UndoableGestureChange m_change;
};
