#pragma once

#include <functional>
#include <memory>

#include <QPointF>
#include <QGraphicsObject>
#include <QGraphicsScene>
#include <QPointer>

#include "creator/interaction/QVR_UndoableGestureChange.h"

class QGraphicsPixmapItem;
class QGraphicsScene;
class QVR_MixedMediaElementContainingView;
class ZERI_MixedMediaObjectProxy;

// Turns a drag on one of the selection frame's rotate handles into whole clockwise quarter turns of the one
// selected object. While the mouse moves, a half-transparent snapshot of the element turns freely about its
// centre; at the release the angle goes to the nearest quarter turn, an odd count swaps the frame's width and
// height about its centre, and the crop offset is recomputed so the same part of the image stays in view. The
// gesture is one undo step, closed once the new cropped picture is set; a gesture that turns nothing leaves
// none. Model units, y down; the object is held weakly. Main thread only.
class QVR_MixedMediaObjectRotateHandler {
public:
    static constexpr double kSnapshotZValue = 5000.0;
    static constexpr double kSnapshotOpacity = 0.5;

    QVR_MixedMediaObjectRotateHandler() = default;
    ~QVR_MixedMediaObjectRotateHandler();
    QVR_MixedMediaObjectRotateHandler(const QVR_MixedMediaObjectRotateHandler&) = delete;
    QVR_MixedMediaObjectRotateHandler& operator=(const QVR_MixedMediaObjectRotateHandler&) = delete;

    // `position` is the grabbed corner, 0 top-left to 3 bottom-left.
    void startRotating(QVR_MixedMediaElementContainingView* interactable,
                       const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, int position);
    // One drag step: `translation` is the total since the press, in model units.
    void handleMove(const QPointF& translation);
    // Ends the gesture; `done` runs once its undo step is closed.
    void endRotating(std::function<void()> done = {});

    bool isRotating() const { return m_rotating; }
    bool isBusy() const { return m_change.isBusy(); }
    double currentRotationInDegrees() const { return m_degrees; }
    QGraphicsPixmapItem* rotateView() const
    {
        return (m_snapshotHeld ? bool(m_snapshotHolder) : bool(m_scene)) ? m_snapshot : nullptr;
    }
    QPointF startingVector() const { return m_startingVector; }

    // The clockwise angle on screen (y down) from `u` to `v`, in [0, 2π).
    static double radiansBetweenVector(const QPointF& u, const QPointF& v);
    // To the nearest multiple of 90, halves away from zero: 44.9 gives 0, 45 gives 90, 315 gives 360.
    static double snappedTheta(double degrees);
    // The crop offset after `quarterTurns` (1–3) clockwise turns of an object of size `frame` showing an image
    // of `imageSize` pixels (as shown at `rotation`) at `zoomScale` and `zoomOffset`.
    static QSizeF turnedZoomOffset(int quarterTurns, int rotation, const QSizeF& imageSize, double zoomScale,
                                   const QSizeF& zoomOffset, const QSizeF& frame);

private:
    void removeSnapshot();
    void placeSnapshot();

    bool m_rotating = false;
    std::weak_ptr<ZERI_MixedMediaObjectProxy> m_object;
    QPointF m_startingVector;
    double m_degrees = 0;
    QGraphicsPixmapItem* m_snapshot = nullptr;
    QPointer<QGraphicsScene> m_scene;
    // What holds the snapshot beside the element (the screen's editor): it goes with its children.
    QPointer<QGraphicsObject> m_snapshotHolder;
    bool m_snapshotHeld = false;
    QPointer<QVR_MixedMediaElementContainingView> m_interactable;
    QVR_UndoableGestureChange m_change;
};
