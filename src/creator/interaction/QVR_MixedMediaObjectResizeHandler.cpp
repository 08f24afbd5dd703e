#include "creator/interaction/QVR_MixedMediaObjectResizeHandler.h"

#include <cmath>
#include <limits>

#include "creator/CreatorLogging.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/interaction/QVR_InteractionModelUtils.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

using Utils = QVR_InteractionModelUtils;

void QVR_MixedMediaObjectResizeHandler::startResizing(QVR_MixedMediaElementContainingView* interactable,
                                                      const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                                      int position)
{
    if (m_resizing)
        endResizing();
    if (!object || !object->object())
        return;
    m_resizing = true;
    m_position = position;
    m_object = object;
    m_change.begin(object, UFM::UNDO_MANAGER_RESIZE_OBJECT_TAG());
    const ZERI_MixedMediaObject& model = *object->object();
    m_originalFrame = model.frame();
    m_originalZoomOffset = model.zoomOffset();
    m_originalZoomScale = model.zoomScale();
    m_originalDragPoint = Utils::pointOnFrame(m_originalFrame, position);
    m_anchorPoint = Utils::pointOnFrame(m_originalFrame, Utils::oppositeCursorPosition(position));
    m_interactable = interactable;
    if (interactable)
        interactable->willBeginResizing();
}

std::shared_ptr<ZERI_MixedMediaObjectProxy> QVR_MixedMediaObjectResizeHandler::liveObject() const
{
    auto object = m_object.lock();
    if (!m_resizing || !object || !object->object() || !(*object)->parentFlowScreenModel())
        return nullptr;
    return object;
}

int QVR_MixedMediaObjectResizeHandler::currentResizeType() const
{
    const auto object = m_object.lock();
    const int type = object && object->object() ? object->type() : ZERI_MixedMediaObject::None;
    if (type == ZERI_MixedMediaObject::Shape)
        return m_maintainProportion ? Proportional : Free;
    if (type == ZERI_MixedMediaObject::Text)
        return TextWidth;
    return Proportional;
}

bool QVR_MixedMediaObjectResizeHandler::isSafeForMathz() const
{
    return m_viewScale != 0.0f && m_originalDragPoint.x() != m_anchorPoint.x() &&
           m_originalDragPoint.y() != m_anchorPoint.y();
}

QPointF QVR_MixedMediaObjectResizeHandler::convertedPointFromTranslation(const QPointF& translation) const
{
    if (m_viewScale == 0.0f) {
        qCCritical(lcCreator) << "QVR_MixedMediaObjectResizeHandler: The viewScale is 0!!  How did that happen?";
        return m_originalDragPoint;
    }
    // Translations arrive y down, as the model counts.
    return QPointF(float(m_originalDragPoint.x()) + float(translation.x()) / m_viewScale,
                   float(m_originalDragPoint.y()) + float(translation.y()) / m_viewScale);
}

float QVR_MixedMediaObjectResizeHandler::slope() const
{
    const float dx = float(m_originalDragPoint.x()) - float(m_anchorPoint.x());
    if (dx == 0.0f) {
        qCWarning(lcCreator) << "WARNING!  Slope is Infinity!";
        return std::numeric_limits<float>::max();
    }
    return (float(m_originalDragPoint.y()) - float(m_anchorPoint.y())) / dx;
}

float QVR_MixedMediaObjectResizeHandler::yIntercept() const
{
    return float(m_anchorPoint.y()) - slope() * float(m_anchorPoint.x());
}

float QVR_MixedMediaObjectResizeHandler::yValueAtX(float x) const
{
    return slope() * x + yIntercept();
}

float QVR_MixedMediaObjectResizeHandler::xValueAtY(float y) const
{
    const float m = slope();
    if (m == 0.0f) {
        qCWarning(lcCreator) << "WARNING!  Slope is Zero!";
        return 0.0f;
    }
    return (y - yIntercept()) / m;
}

QPointF QVR_MixedMediaObjectResizeHandler::pointProjectedOntoDiagonal(const QPointF& point) const
{
    const float px = float(point.x());
    const float py = float(point.y());
    const float yd = yValueAtX(px);
    // Of the diagonal's crossings with the pointer's vertical and horizontal, the one farther out.
    const bool bottom = m_position == 2 || m_position == 3;
    const bool vertical = bottom ? yd > py : yd <= py;
    return vertical ? QPointF(px, yd) : QPointF(xValueAtY(py), py);
}

QRectF QVR_MixedMediaObjectResizeHandler::rectForChangedPosition(const QPointF& point) const
{
    const float ax = float(m_anchorPoint.x()), ay = float(m_anchorPoint.y());
    const float px = float(point.x()), py = float(point.y());
    return QRectF(std::min(px, ax), std::min(py, ay), std::abs(ax - px), std::abs(ay - py));
}

QRectF QVR_MixedMediaObjectResizeHandler::rectForSideChangedWithPosition(const QPointF& point) const
{
    const QRectF& f = m_originalFrame;
    const float ax = float(m_anchorPoint.x()), ay = float(m_anchorPoint.y());
    const auto side = [](float length) { return length == 0.0f ? 1.0f : length; };
    const int type = currentResizeType();
    if (m_position == 6 || m_position == 7) {
        const float y = std::min(float(point.y()), ay);
        const float h = side(std::abs(ay - float(point.y())));
        if (type == Free)
            return QRectF(f.x(), y, f.width(), h);
        if (type == Proportional) {
            const float w = side(h / float(f.height()) * float(f.width()));
            return QRectF(ax - w / 2, y, w, h);
        }
        return f;
    }
    const float x = std::min(float(point.x()), ax);
    const float w = side(std::abs(ax - float(point.x())));
    if (type == Proportional) {
        const float h = side(w / float(f.width()) * float(f.height()));
        return QRectF(x, ay - h / 2, w, h);
    }
    return QRectF(x, f.y(), w, f.height());
}

QRectF QVR_MixedMediaObjectResizeHandler::withMinimumSides(const QRectF& rect) const
{
    QRectF r = rect;
    const auto fix = [](double start, double length, double anchor, double* outStart, double* outLength) {
        if (length >= kMinimumSide) {
            *outStart = start, *outLength = length;
            return;
        }
        // Keep the edge nearer the anchor; the other one moves out.
        const double end = start + length;
        if (std::abs(start - anchor) <= std::abs(end - anchor))
            *outStart = start;
        else
            *outStart = end - kMinimumSide;
        *outLength = kMinimumSide;
    };
    double x, w, y, h;
    fix(r.x(), r.width(), m_anchorPoint.x(), &x, &w);
    fix(r.y(), r.height(), m_anchorPoint.y(), &y, &h);
    return QRectF(x, y, w, h);
}

void QVR_MixedMediaObjectResizeHandler::handleMove(const QPointF& translation)
{
    const auto object = liveObject();
    if (!object)
        return;
    const QPointF p = convertedPointFromTranslation(translation);
    QRectF rect;
    if (currentResizingPositionIsACorner()) {
        if (!isSafeForMathz()) {
            qCWarning(lcCreator) << "WARNING! Resize not safe for mathz!";
            return;
        }
        switch (currentResizeType()) {
        case Free:
            rect = rectForChangedPosition(p);
            break;
        case Proportional:
            rect = rectForChangedPosition(pointProjectedOntoDiagonal(p));
            break;
        default:
            rect = rectForChangedPosition(p);
            rect.moveTop((*object)->frame().y());
            break;
        }
    } else if (m_position >= 4 && m_position < 8) {
        rect = rectForSideChangedWithPosition(p);
    } else {
        return;
    }
    convertAndSetMixedMediaObjectValuesBasedOnSuggestedRect(rect);
}

void QVR_MixedMediaObjectResizeHandler::convertAndSetMixedMediaObjectValuesBasedOnSuggestedRect(const QRectF& suggested)
{
    const auto object = liveObject();
    if (!object)
        return;
    const QRectF rect = withMinimumSides(suggested);
    ZERI_MixedMediaObject& model = *object->object();
    // A stored frame without width scales nothing.
    const float ratio = m_originalFrame.width() > 0 ? float(rect.width()) / float(m_originalFrame.width()) : 1.0f;
    model.setFrame(rect);
    model.setZoomOffset(QSizeF(m_originalZoomOffset.width() * ratio, m_originalZoomOffset.height() * ratio));
    if (m_originalZoomScale)
        model.setZoomScale(*m_originalZoomScale * ratio);
    if (const auto text = object->as<ZERI_MMObject_Text>()) {
        const QRectF used = text->layoutManagerUsedRectForWidth(float(rect.width()));
        const double height =
            used == QRectF() ? rect.height() : used.height() + 2 * ZERI_MMObject_Text::textContainerInsetHeight();
        const QRectF current = model.frame();
        model.setFrame(QRectF(current.x(), current.y(), current.width(), std::max<double>(height, kMinimumSide)));
    } else if (object->type() == ZERI_MixedMediaObject::Audio) {
        const double w = rect.width(), h = rect.height();
        QSizeF size(w, h);
        if (w < 100 || h < 100)
            size = QSizeF(100, 100);
        else if (w > 500 || h > 500)
            size = QSizeF(500, 500);
        model.setFrame(QRectF(rect.topLeft(), size));
    }
    object->updateNotifier().sendUpdateNotificationsIfNeeded();
}

void QVR_MixedMediaObjectResizeHandler::endResizing(std::function<void()> done)
{
    // An idle handler does nothing: no picture, no change closed.
    if (!m_resizing)
        return;
    m_resizing = false;
    const auto object = m_object.lock();
    bool changed = false;
    if (object && object->object()) {
        const ZERI_MixedMediaObject& model = *object->object();
        changed = model.frame() != m_originalFrame || model.zoomOffset() != m_originalZoomOffset ||
                  model.zoomScale() != m_originalZoomScale;
    }
    if (m_interactable)
        m_interactable->didEndResizing();
    m_interactable = nullptr;
    m_object.reset();
    m_originalZoomScale.reset();
    m_change.finish(object, changed, std::move(done));
}
