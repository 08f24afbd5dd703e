#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <memory>
#include <optional>
#include <vector>

#include "creator/snapping/SnappingGridLineSet.h"

class ZERI_FlowScreenModel;
class ZERI_MixedMediaObjectProxy;

// Makes moved or resized objects stick to the screen's edges and centre lines and to those of the other objects.
// The caller applies the raw movement to the model frames first, then calls a step, which may pull the frames onto
// a line, keep them there through a few points of drift, or let them go. Works on model frames only (points, y
// down); grid position = model coordinate - modelOffset.
class SnappingGrid {
public:
    using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;
    using Line = std::shared_ptr<SnappingGridLine>;
    using Connection = std::shared_ptr<SnapConnection>;

    SnappingGridLineSet* verticalSnappingGridLineSet() const { return m_vertical.get(); }
    SnappingGridLineSet* horizontalSnappingGridLineSet() const { return m_horizontal.get(); }
    SnappingGridLineSet* gridLineSetForOrientation(int orientation) const
    {
        return orientation == SnapVertical ? m_vertical.get() : m_horizontal.get();
    }

    bool isTrackingChanges() const { return m_isTrackingChanges; }
    const std::vector<Proxy>& trackedElements() const { return m_trackedElements; }
    void setTrackedElements(const std::vector<Proxy>& elements);
    QRectF initialElementsFrame() const { return m_initialElementsFrame; }
    QRectF frameForTrackedElements() const;

    Connection snappedTo_vertical() const { return m_snappedVertical; }
    Connection snappedTo_horizontal() const { return m_snappedHorizontal; }

    bool snappingIsDisabled() const { return m_snappingIsDisabled; }
    void setSnappingIsDisabled(bool disabled) { m_snappingIsDisabled = disabled; }

    std::shared_ptr<ZERI_FlowScreenModel> currentScreenModel() const { return m_screen.lock(); }
    QPointF modelOffset() const { return m_modelOffset; }

    double singleResizeElementMaintainProportionsOriginalZoomScale() const { return m_setupZoomScale; }
    QSizeF singleResizeElementMaintainProportionsOriginalZoomOffset() const { return m_setupZoomOffset; }

    // One move step. `translation` is the total since the gesture began, in model units, y down; `disconnect` is
    // true for keyboard nudges, which leave a line at once.
    void modelSnapping_handleTranslation(const QPointF& translation, bool disconnectBeforeSnapDistance = false);
    // One resize step of the single tracked element: handle position 0 top-left … 7 bottom; resize type 0 free,
    // 1 proportional, 2 width only.
    void modelSnapping_handleResize(const QPointF& translation, int cursorPosition, int resizeType);

    Connection checkForSnapConnectionWithFrame(const QRectF& frame, int orientation, const QPointF& direction) const;
    Connection checkForSnapConnectionForResizingWithFrame(const QRectF& frame, int relativePosition, int orientation,
                                                          const QPointF& direction) const;
    Line checkForLineToWhichToSnapForTranslationWithFrame(const QRectF& frame, int direction, int orientation,
                                                          int* outGoingRelativePosition) const;
    Line checkForLineToWhichToSnapForResizingWithFrame(const QRectF& frame, int relativePosition, int direction,
                                                       int orientation) const;
    Connection snapConnectionForFrame(const QRectF& frame, int orientation) const;

    static SnapRange validRangeForDirection(int direction, int location, int length, int maxSize);

    void addGridLineToVerticalSet(const Line& line);
    void addGridLineToHorizontalSet(const Line& line);

private:
    friend class SnappingUtils;

    void addGridLine(SnappingGridLineSet* set, const Line& line);
    // The tracked elements still on the grid's screen; one that left it mid-gesture is skipped.
    std::vector<Proxy> liveTrackedElements() const;
    void moveTracked(int orientation, float amount);
    void sendUpdates();
    void resizeStep(int cursorPosition, int resizeType);

    std::unique_ptr<SnappingGridLineSet> m_vertical;
    std::unique_ptr<SnappingGridLineSet> m_horizontal;
    bool m_isTrackingChanges = false;
    std::vector<Proxy> m_trackedElements;
    QRectF m_initialElementsFrame;
    Connection m_snappedVertical;
    Connection m_snappedHorizontal;
    QPointF m_lastTranslation;
    QRectF m_lastElementsFrame;
    bool m_snappingIsDisabled = false;
    std::weak_ptr<ZERI_FlowScreenModel> m_screen;
    double m_setupZoomScale = 0;
    QSizeF m_setupZoomOffset;
    QPointF m_modelOffset;
};
