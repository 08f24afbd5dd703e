#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include <QPointF>
#include <QPointer>

class LeapFrame;
class LeapInteractionBox;
class LeapPointable;
class QVR_LeapHandler;
class QWidget;

// Turns the frontmost finger or tool into mouse input for the window the pointer overlay lies over (the handler's
// current main window, a creator or viewer window, whichever window is active): entering the touch zone presses the
// left button where it points, leaving it releases the button, moving while touching scrolls. The events are
// posted to the window's QWindow, so Qt delivers them to the widget under the point like real input; the pointer
// is moved there first where the platform allows it (not on Wayland). Nothing reaches other applications.
//
// Every press gets its release: a release that falls while the handler tracks a swipe or a circle waits and is
// posted when tracking ends, at the point where the finger left; a press that was not posted (a hand with 3 or
// more pointables may be swiping) gets no release either.
//
// Main thread only.
class QVR_LeapToMouseEventHandler {
public:
    enum Zone : std::int32_t { ZoneNone = 0, ZoneHovering = 1, ZoneTouching = 2 };
    enum Change : std::int32_t { NoChange = 0, Press = 1, Release = 2 };

    // `handler` is asked whether a gesture is tracked and which window touches act in; null: never, none.
    explicit QVR_LeapToMouseEventHandler(QVR_LeapHandler* handler = nullptr);

    void processLeapFrame(const std::shared_ptr<LeapFrame>& frame);
    // Posts the release held back while a gesture was tracked, once none is.
    void postPendingReleaseIfIdle();

    std::int32_t currentZone() const { return m_currentZone; }
    std::shared_ptr<LeapFrame> lastProcessedFrame() const { return m_lastProcessedFrame; }
    std::shared_ptr<LeapInteractionBox> currentInteractionBox() const { return m_currentInteractionBox; }
    std::shared_ptr<LeapPointable> currentFrontmostPointable() const { return m_currentFrontmostPointable; }

    static std::shared_ptr<LeapPointable> getFrontmostPointableWithFrame(const std::shared_ptr<LeapFrame>& frame);
    static int numberOfPointablesInFrame(const std::shared_ptr<LeapFrame>& frame);
    std::int32_t didZoneChange(std::int32_t newZone);
    void handleZoneChange(std::int32_t change);
    void processZeroPointables();
    void simulateMouseDownWithPointable(const std::shared_ptr<LeapPointable>& pointable);
    void simulateMouseUpWithPointable(const std::shared_ptr<LeapPointable>& pointable);
    void postScrollWheelEventFromPointable(const std::shared_ptr<LeapPointable>& from,
                                           const std::shared_ptr<LeapPointable>& to);
    // The pointable's point in the client area of the window touches act in.
    QPointF getPointableCenter(const std::shared_ptr<LeapPointable>& pointable) const;

    // The number given to the next button event; starts at 1 and rises with each one posted.
    static std::int32_t eventCounter();
    static double timeIntervalSinceStartup();

private:
    bool gestureTracked() const;
    QWidget* targetWindow() const;
    void postButtonEvent(bool press, QWidget* window, const QPointF& point);

    QVR_LeapHandler* m_handler = nullptr;
    std::int32_t m_currentZone = ZoneNone;
    std::shared_ptr<LeapFrame> m_lastProcessedFrame;
    std::shared_ptr<LeapInteractionBox> m_currentInteractionBox;
    std::shared_ptr<LeapPointable> m_currentFrontmostPointable;
    // The window that got the last press, while its release is owed.
    QPointer<QWidget> m_pressedWindow;
    bool m_buttonDown = false;
    std::optional<QPointF> m_pendingRelease; // held back while a gesture is tracked
};
