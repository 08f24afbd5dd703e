#include "gestures/handler/QVR_LeapHandler.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include "gestures/GesturesLogging.h"
#include "gestures/LeapCircleGesture.h"
#include "gestures/LeapController.h"
#include "gestures/LeapFrame.h"
#include "gestures/LeapSwipeGesture.h"
#include "gestures/handler/QVR_LeapHandlerView.h"
#include "gestures/handler/QVR_LeapToMouseEventHandler.h"
#include "gestures/handler/QVR_LeapUtils.h"
#include "platform/AlertPresenter.h"

namespace {

std::unique_ptr<QVR_LeapHandler>& sharedSlot()
{
    static std::unique_ptr<QVR_LeapHandler> handler;
    return handler;
}

// A swipe counts in a direction when the direction vector's component along it is strictly above this.
constexpr float kSwipeAxisThreshold = 0.9f;
// Tracking of a swipe ends in the fourth consecutive frame without it.
constexpr int kMaxMissingSwipeFrames = 3;

} // namespace

QString QVR_LeapHandlerSwipeGesture::description() const
{
    static const char* const words[] = {"Left", "Right", "Up", "Down"};
    const char* word = m_swipeDirection >= 0 && m_swipeDirection < 4 ? words[m_swipeDirection] : "Unknown";
    return QStringLiteral("<QVR_LeapHandlerSwipeGesture: 0x%1> -- direction:%2")
        .arg(quintptr(this), 0, 16)
        .arg(QLatin1String(word));
}

QVR_LeapHandler& QVR_LeapHandler::sharedLeapHandler()
{
    auto& slot = sharedSlot();
    if (!slot) {
        slot.reset(new QVR_LeapHandler());
        // The overlay is a widget: it must go before the application object does.
        if (auto* app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, [] { sharedSlot().reset(); });
    }
    return *slot;
}

bool QVR_LeapHandler::isRunning()
{
    return sharedSlot() && sharedSlot()->m_controller;
}

void QVR_LeapHandler::resetForTesting()
{
    sharedSlot().reset();
}

QVR_LeapHandler::QVR_LeapHandler()
    : m_leapToMouseConverter(std::make_unique<QVR_LeapToMouseEventHandler>(this))
{
    // Key-window changes: every window that becomes active passes through here.
    if (auto* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

QVR_LeapHandler::~QVR_LeapHandler()
{
    if (auto* app = QCoreApplication::instance())
        app->removeEventFilter(this);
    if (m_controller)
        m_controller->removeListener(this);
    m_controller.reset();
    delete m_handlerView.data();
}

void QVR_LeapHandler::run()
{
    if (m_controller)
        return;
    m_controller = std::make_unique<LeapController>();
    m_controller->addListener(this);
    qCInfo(lcGestures) << "running";
}

void QVR_LeapHandler::setHandlerView(QVR_LeapHandlerView* view)
{
    if (view == m_handlerView)
        return;
    if (m_handlerView)
        m_handlerView->detachFromWindow();
    delete m_handlerView.data();
    m_handlerView = view;
    if (!m_handlerView)
        return;
    m_handlerView->setClosedWindowHandler([this] { detachHandlerView(); });
    if (QWidget* window = currentMainWindow())
        m_handlerView->attachToWindow(window);
    else
        keyWindowDidChange(QApplication::activeWindow());
}

QWidget* QVR_LeapHandler::currentMainWindow() const
{
    return m_currentMainWindow && m_currentMainWindow->isVisible() ? m_currentMainWindow.data() : nullptr;
}

bool QVR_LeapHandler::isCurrentlyTrackingACircle() const
{
    return m_counterClockwiseCircleGestureHandler.isCurrentlyTrackingAGesture();
}

void QVR_LeapHandler::setCurrentSwipeGesture(std::int32_t swipeID)
{
    m_currentSwipeID = swipeID;
    m_numMissingTrackedSwipeFrames = 0;
}

void QVR_LeapHandler::onInit(const Notification&)
{
    m_currentSwipeID = -1;
}

void QVR_LeapHandler::onConnect(const Notification& notification)
{
    qCInfo(lcGestures) << "Connected";
    if (LeapController* controller = LeapController::fromNotification(notification)) {
        controller->enableGesture(LeapGestureType::Swipe, true);
        controller->enableGesture(LeapGestureType::Circle, true);
    }
}

void QVR_LeapHandler::onDisconnect(const Notification&)
{
    qCInfo(lcGestures) << "Disconnected";
    showDisconnectAlert(false);
}

void QVR_LeapHandler::showDisconnectAlert(bool withSuppressionBox)
{
    // A controller that keeps dropping out would otherwise pile up one alert per disconnection, and the start-up
    // check would repeat the warning a disconnection already gave.
    if (m_disconnectAlertShown)
        return;
    m_disconnectAlertShown = true;
    AlertRequest request;
    request.style = AlertRequest::Style::Warning;
    request.showsSuppressionButton = withSuppressionBox;
    request.messageText = QStringLiteral("Leap Motion Controller Disconnected");
    request.informativeText = QStringLiteral("Your Leap Motion controller appears to be disconnected. Please "
                                             "reconnect to continue using Tessarine with Leap Motion.");
    QPointer<QVR_LeapHandler> self(this);
    AlertPresenter::shared().show(request, nullptr, [self](const AlertResponse&) {
        if (self)
            self->m_disconnectAlertShown = false;
    });
}

void QVR_LeapHandler::onExit(const Notification&)
{
    qCInfo(lcGestures) << "Exited";
}

void QVR_LeapHandler::onFocusGained(const Notification&)
{
    qCInfo(lcGestures) << "Focus Gained";
}

void QVR_LeapHandler::onFocusLost(const Notification&)
{
    qCInfo(lcGestures) << "Focus Lost";
}

void QVR_LeapHandler::onFrame(const Notification& notification)
{
    LeapController* controller = LeapController::fromNotification(notification);
    if (!controller)
        return;
    std::shared_ptr<LeapFrame> frame = controller->frame(0);
    if (!frame || !frame->isValid())
        return;
    // Posts queued in a burst all read the newest frame: handle it once.
    if (m_lastFrameProcessed && m_lastFrameProcessed->id() == frame->id())
        return;

    m_leapToMouseConverter->processLeapFrame(frame);

    if (m_handlerView) {
        if (QWidget* parent = m_handlerView->parentWidget()) {
            // Only widgets stack; other children (layouts, actions) may come after the overlay.
            const QObjectList& siblings = parent->children();
            auto last = std::find_if(siblings.rbegin(), siblings.rend(),
                                     [](const QObject* child) { return child->isWidgetType(); });
            if (last == siblings.rend() || *last != m_handlerView)
                m_handlerView->raise();
        }
        m_handlerView->setLeapFrame(frame);
    }

    const std::vector<std::shared_ptr<LeapGesture>> gestures = frame->gestures(m_lastFrameProcessed);
    handleGestureInvalidationIfNeededFromGestureArray(gestures);

    const bool enoughPointablesToSwipe = frame->pointables().size() >= 3;
    for (const auto& gesture : gestures) {
        if (!gesture)
            continue;
        switch (gesture->type()) {
        case LeapGestureType::Circle:
            m_counterClockwiseCircleGestureHandler.handleCircleGesture(
                std::dynamic_pointer_cast<LeapCircleGesture>(gesture));
            break;
        case LeapGestureType::Swipe:
            if (enoughPointablesToSwipe)
                handleSwipeGesture(std::dynamic_pointer_cast<LeapSwipeGesture>(gesture));
            break;
        default:
            break;
        }
    }
    m_lastFrameProcessed = frame;

    // A release held back while a gesture was tracked goes out once tracking has ended.
    m_leapToMouseConverter->postPendingReleaseIfIdle();
}

void QVR_LeapHandler::handleGestureInvalidationIfNeededFromGestureArray(
    const std::vector<std::shared_ptr<LeapGesture>>& gestures)
{
    if (!isCurrentlyTrackingASwipe())
        return;
    for (const auto& gesture : gestures) {
        if (gesture && gesture->id() == m_currentSwipeID) {
            m_numMissingTrackedSwipeFrames = 0;
            return;
        }
    }
    const int before = m_numMissingTrackedSwipeFrames;
    qCDebug(lcGestures, "didn't see my tracked swipe in this frame! count is:%d", before);
    ++m_numMissingTrackedSwipeFrames;
    if (before >= kMaxMissingSwipeFrames)
        setCurrentSwipeGesture(-1);
}

void QVR_LeapHandler::handleSwipeGesture(const std::shared_ptr<LeapSwipeGesture>& gesture)
{
    if (!gesture)
        return;
    const LeapGestureState state = gesture->state();
    if (isCurrentlyTrackingASwipe()) {
        if (gesture->id() == m_currentSwipeID &&
            (state == LeapGestureState::Stop || state == LeapGestureState::Invalid))
            setCurrentSwipeGesture(-1);
        return;
    }
    if (state != LeapGestureState::Start)
        return;
    const LeapVector d = gesture->direction();
    if (std::fabs(d.x()) > kSwipeAxisThreshold) {
        setCurrentSwipeGesture(gesture->id());
        qCInfo(lcGestures, "HORIZONTAL SWIPE STARTED IN THE %s DIRECTION!", d.x() < 0 ? "LEFT" : "RIGHT");
        postSwipeNotificationWithGesture(gesture, d.x() < 0 ? QVR_LeapHandlerSwipeGesture::Left
                                                            : QVR_LeapHandlerSwipeGesture::Right);
    } else if (std::fabs(d.y()) > kSwipeAxisThreshold) {
        setCurrentSwipeGesture(gesture->id());
        qCInfo(lcGestures, "VERTICAL SWIPE STARTED IN THE %s DIRECTION!", d.y() < 0 ? "DOWN" : "UP");
        postSwipeNotificationWithGesture(gesture, d.y() < 0 ? QVR_LeapHandlerSwipeGesture::Down
                                                            : QVR_LeapHandlerSwipeGesture::Up);
    }
}

void QVR_LeapHandler::postSwipeNotificationWithGesture(const std::shared_ptr<LeapSwipeGesture>& gesture,
                                                       std::int32_t direction)
{
    auto swipe = std::make_unique<QVR_LeapHandlerSwipeGesture>();
    swipe->setSwipeGesture(gesture);
    swipe->setSwipeDirection(direction);
    NotificationCenter::defaultCenter().post(QStringLiteral("qvrLeapHandlingSwipeDetected"), swipe.get(),
                                             QVariantMap{{QStringLiteral("swipeDirection"), int(direction)}});
    m_lastSwipe = std::move(swipe);
}

void QVR_LeapHandler::keyWindowDidChange(QWidget* window)
{
    // Any other window (a lists window, a sheet, the tour) leaves the overlay, and the touches, where they are.
    if (!window || window == m_currentMainWindow || !QVR_LeapUtils::shouldAttachLeapHandlerViewToWindow(window, false))
        return;
    m_currentMainWindow = window;
    if (m_handlerView)
        m_handlerView->attachToWindow(window);
}

QString QVR_LeapHandler::stringForState(int state)
{
    switch (state) {
    case 1:
        return QStringLiteral("STATE_START");
    case 2:
        return QStringLiteral("STATE_UPDATED");
    case 3:
        return QStringLiteral("STATE_STOP");
    default:
        return QStringLiteral("STATE_INVALID");
    }
}

bool QVR_LeapHandler::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->isWindow())
            keyWindowDidChange(widget);
    }
    return QObject::eventFilter(watched, event);
}

void QVR_LeapHandler::detachHandlerView()
{
    if (m_handlerView)
        m_handlerView->detachFromWindow();
    // The window the overlay left gets it back when it is activated again.
    m_currentMainWindow = nullptr;
}
