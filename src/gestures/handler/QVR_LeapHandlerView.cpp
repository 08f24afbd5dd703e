#include "gestures/handler/QVR_LeapHandlerView.h"

#include <cmath>

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

#include "gestures/GesturesLogging.h"
#include "gestures/LeapFrame.h"
#include "gestures/LeapInteractionBox.h"
#include "gestures/LeapPointable.h"
#include "gestures/handler/QVR_LeapUtils.h"

namespace {

constexpr qreal kRingDiameter = 40.0;
constexpr qreal kRingWidth = 4.0;

} // namespace

QVR_LeapHandlerView::QVR_LeapHandlerView(const QRect& frame)
{
    setGeometry(frame);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::NoFocus);
}

QVR_LeapHandlerView::~QVR_LeapHandlerView()
{
    if (m_window)
        m_window->removeEventFilter(this);
}

void QVR_LeapHandlerView::setLeapFrame(const std::shared_ptr<LeapFrame>& frame)
{
    m_pointables = frame ? frame->pointables() : std::vector<std::shared_ptr<LeapPointable>>{};
    m_interactionBox = frame ? frame->interactionBox() : nullptr;
    // Only the old and the new marks change: a full repaint of a large window every frame would be wasted.
    QRect drawn;
    if (!m_pointables.empty() && m_pointables.front() && m_pointables.front()->touchZone() != LeapPointableZone::None) {
        const QPointF c = centerForPointable(m_pointables.front());
        const qreal reach = kRingDiameter / 2 + kRingWidth;
        drawn = QRectF(c.x() - reach, c.y() - reach, 2 * reach, 2 * reach).toAlignedRect();
    }
    update(m_lastDrawnRect.united(drawn));
    m_lastDrawnRect = drawn;
}

void QVR_LeapHandlerView::attachToWindow(QWidget* window)
{
    if (!window)
        return;
    if (m_window != window) {
        if (m_window)
            m_window->removeEventFilter(this);
        m_window = window;
        setParent(window);
        window->installEventFilter(this);
    }
    setGeometry(window->rect());
    show();
    raise();
}

void QVR_LeapHandlerView::detachFromWindow()
{
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = nullptr;
    hide();
    if (parentWidget())
        setParent(nullptr);
}

bool QVR_LeapHandlerView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::Resize:
            setGeometry(m_window->rect());
            break;
        case QEvent::Hide:
        case QEvent::DeferredDelete:
            // A closing window hides before it is deleted: a window deleted on close must not take the overlay
            // with it. (A close the window refuses hides nothing, so the overlay stays.)
            if (!event->spontaneous() || event->type() == QEvent::DeferredDelete) {
                detachFromWindow();
                if (m_closedWindowHandler)
                    m_closedWindowHandler();
            }
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QPointF QVR_LeapHandlerView::centerForPointable(const std::shared_ptr<LeapPointable>& pointable) const
{
    // The overlay covers its window's client area, so window points are its own points.
    return QVR_LeapUtils::centerForPointable(pointable, m_interactionBox, window());
}

QRectF QVR_LeapHandlerView::pointableRectForPointable(const std::shared_ptr<LeapPointable>& pointable) const
{
    const QPointF c = centerForPointable(pointable);
    float d = std::fabs(pointable->touchDistance());
    if (!std::isfinite(d))
        d = 1;
    if (d > 1) {
        qCWarning(lcGestures) << "touchDistance > 1 which shouldn't be possible!!!!!";
        d = 1;
    }
    const qreal s =
        pointable->touchZone() == LeapPointableZone::Hovering ? qreal(float((1 - d) * 40.0f)) : kRingDiameter;
    return {c.x() - s / 2, c.y() - s / 2, s, s};
}

QColor QVR_LeapHandlerView::createColorForPointable(const std::shared_ptr<LeapPointable>& pointable) const
{
    switch (pointable->touchZone()) {
    case LeapPointableZone::Touching:
        return QColor::fromRgbF(0.03f, 0.3f, 0.47f, 1.0f);
    case LeapPointableZone::Hovering:
        return m_pointables.size() > 2 ? QColor::fromRgbF(0.12f, 0.12f, 0.12f, 1.0f) : QColor::fromRgbF(1, 0, 0, 1);
    default:
        qCWarning(lcGestures) << "ASKED FOR A COLOR FOR A POINTABLE NOT IN THE TOUCH ZONE";
        return {};
    }
}

QColor QVR_LeapHandlerView::createStrokeColorForPointable(const std::shared_ptr<LeapPointable>& pointable) const
{
    switch (pointable->touchZone()) {
    case LeapPointableZone::Touching:
        return QColor::fromRgbF(1, 1, 1, 1);
    case LeapPointableZone::Hovering:
        return m_pointables.size() > 2 ? QColor::fromRgbF(0.12f, 0.12f, 0.12f, 1.0f) : QColor::fromRgbF(1, 0, 0, 0);
    default:
        qCWarning(lcGestures) << "ASKED FOR A STROKE COLOR FOR A POINTABLE NOT IN THE TOUCH ZONE";
        return {};
    }
}

void QVR_LeapHandlerView::paintEvent(QPaintEvent*)
{
    // The window beneath has already painted the area: the overlay only adds its mark over it.
    QPainter painter(this);
    if (!m_pointables.empty() && m_pointables.front())
        drawPointable(m_pointables.front(), painter);
}

void QVR_LeapHandlerView::drawPointable(const std::shared_ptr<LeapPointable>& pointable, QPainter& painter) const
{
    if (pointable->touchZone() == LeapPointableZone::None)
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor fill = createColorForPointable(pointable);
    const QColor stroke = createStrokeColorForPointable(pointable);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawEllipse(pointableRectForPointable(pointable));
    const QPointF c = centerForPointable(pointable);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(stroke, kRingWidth));
    painter.drawEllipse(QRectF(c.x() - kRingDiameter / 2, c.y() - kRingDiameter / 2, kRingDiameter, kRingDiameter));
}
