#pragma once

#include <cstdint>
#include <memory>

#include <QObject>
#include <QPointer>

#include "gestures/handler/QVR_LeapHandlerCounterClockwiseCircleGesture.h"
#include "gestures/handler/QVR_LeapHandlerSwipeGesture.h"
#include "gestures/handler/QVR_LeapHandlerView.h"
#include "platform/NotificationCenter.h"

class LeapController;
class LeapFrame;
class LeapGesture;
class LeapSwipeGesture;
class QVR_LeapToMouseEventHandler;
class QWidget;

// The application's one listener on the gesture controller. Every new frame goes to the touch-zone mouse and the
// pointer overlay; swipes in four directions post "qvrLeapHandlingSwipeDetected" (sender a
// QVR_LeapHandlerSwipeGesture, user info "swipeDirection" 0 left, 1 right, 2 up, 3 down) and counter-clockwise
// circles post "qvrLeapHandlingCounterClockwiseCircleRepeated" (see the circle tracker). The overlay follows the
// active window while that is a creator or viewer window. A disconnected controller shows one alert at a time.
//
// Main thread only; the controller's listener bridge delivers its callbacks there.
class QVR_LeapHandler : public QObject {
    Q_OBJECT
public:
    static QVR_LeapHandler& sharedLeapHandler();
    // Whether the shared handler exists and has been started with run().
    static bool isRunning();
    // Destroys the shared handler (with its controller and overlay); the next sharedLeapHandler() makes a new one.
    static void resetForTesting();

    ~QVR_LeapHandler() override;

    // Makes the controller and starts listening to it.
    void run();

    LeapController* controller() const { return m_controller.get(); }
    QVR_LeapHandlerView* handlerView() const { return m_handlerView; }
    // Takes the overlay (the handler deletes it when it is destroyed, unless a window took it first).
    void setHandlerView(QVR_LeapHandlerView* view);
    QVR_LeapToMouseEventHandler* leapToMouseConverter() const { return m_leapToMouseConverter.get(); }
    QVR_LeapHandlerCounterClockwiseCircleGesture* counterClockwiseCircleGestureHandler()
    {
        return &m_counterClockwiseCircleGestureHandler;
    }
    // Where the overlay lies and where touches act: the last creator or viewer window to become active, while it is
    // shown; null when there is none.
    QWidget* currentMainWindow() const;

    bool isCurrentlyTrackingASwipe() const { return m_currentSwipeID != -1; }
    bool isCurrentlyTrackingACircle() const;
    bool isCurrentlyTrackingAGesture() const { return isCurrentlyTrackingASwipe() || isCurrentlyTrackingACircle(); }
    std::int32_t currentSwipeID() const { return m_currentSwipeID; }
    std::int32_t numMissingTrackedSwipeFrames() const { return m_numMissingTrackedSwipeFrames; }
    void setCurrentSwipeGesture(std::int32_t swipeID);

    // The listener callbacks (LeapListener).
    void onInit(const Notification& notification);
    void onConnect(const Notification& notification);
    void onDisconnect(const Notification& notification);
    void onExit(const Notification& notification);
    void onFrame(const Notification& notification);
    void onFocusGained(const Notification& notification);
    void onFocusLost(const Notification& notification);

    // Warns that the controller is disconnected, unless that warning is already up; the start-up check offers
    // the "do not show again" box with it.
    void showDisconnectAlert(bool withSuppressionBox);

    // The steps of onFrame().
    void handleGestureInvalidationIfNeededFromGestureArray(const std::vector<std::shared_ptr<LeapGesture>>& gestures);
    void handleSwipeGesture(const std::shared_ptr<LeapSwipeGesture>& gesture);
    void postSwipeNotificationWithGesture(const std::shared_ptr<LeapSwipeGesture>& gesture, std::int32_t direction);

    // Follows the active window (a window becoming key) when it is a creator or viewer window.
    void keyWindowDidChange(QWidget* window);

    static QString stringForState(int state);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QVR_LeapHandler();
    void detachHandlerView();

    std::unique_ptr<LeapController> m_controller;
    QPointer<QVR_LeapHandlerView> m_handlerView;
    QPointer<QWidget> m_currentMainWindow;
    std::unique_ptr<QVR_LeapToMouseEventHandler> m_leapToMouseConverter;
    QVR_LeapHandlerCounterClockwiseCircleGesture m_counterClockwiseCircleGestureHandler;
    std::shared_ptr<LeapFrame> m_lastFrameProcessed;
    std::unique_ptr<QVR_LeapHandlerSwipeGesture> m_lastSwipe; // the sender of the last swipe post
    std::int32_t m_currentSwipeID = -1;
    std::int32_t m_numMissingTrackedSwipeFrames = 0;
    bool m_disconnectAlertShown = false;
};
