#pragma once

#include <memory>

#include <QPointF>

class LeapFrame;
class LeapInteractionBox;
class LeapPointable;
class QWidget;

// Helpers shared by the gesture handler, the touch-zone mouse and the pointer overlay. Main thread only.
class QVR_LeapUtils {
public:
    // The pointable's stabilised tip in the window's client area (its rect(), y down): the tip normalised by
    // the box without clamping gives (nx, ny), and the point is (nx × width, (1 − ny) × height). A null window,
    // pointable or box, or a position that is not a finite number, gives (0, 0).
    static QPointF centerForPointable(const std::shared_ptr<LeapPointable>& pointable,
                                      const std::shared_ptr<LeapInteractionBox>& box, const QWidget* window);

    // Whether the overlay belongs over this window: a creator or viewer window. With recurseUp, a sheet (a
    // window-modal dialog) answers for the window that owns it.
    static bool shouldAttachLeapHandlerViewToWindow(const QWidget* window, bool recurseUp);
    static bool shouldAttachLeapHandlerViewToWindow(const QWidget* window);

    // The first pointable of the frame, null for none or a null frame.
    static std::shared_ptr<LeapPointable> getFrontmostPointableWithFrame(const std::shared_ptr<LeapFrame>& frame);
};
