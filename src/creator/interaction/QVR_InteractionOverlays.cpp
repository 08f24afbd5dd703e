#include "creator/interaction/QVR_InteractionOverlays.h"

#include <cmath>

#include <QGraphicsScene>
#include <QPainter>

#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/interaction/QVR_InteractionModelUtils.h"
#include "foundation/Tessutils.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

QVR_HoveredItemView::QVR_HoveredItemView(QGraphicsItem* parent)
    : QGraphicsObject(parent)
{
    setAcceptedMouseButtons(Qt::NoButton);
    QVR_InteractionModelUtils::setMouseTransparent(this);
    setAcceptHoverEvents(false);
    setOpacity(0.9);
    setFlag(ItemStacksBehindParent, false);
}

void QVR_HoveredItemView::setHoveredView(QGraphicsObject* item)
{
    if (item == m_hovered && (item == nullptr || parentItem() == item))
        return;
    m_hovered = item;
    prepareGeometryChange();
    if (!item) {
        if (scene())
            scene()->removeItem(this);
        setParentItem(nullptr);
        return;
    }
    setParentItem(item);
    setZValue(1.0e6); // above the container's own children
    setPos(0, 0);
    setVisible(true);
    update();
}

QRectF QVR_HoveredItemView::boundingRect() const
{
    if (!m_hovered)
        return {};
    const QRectF inner = m_hovered->boundingRect();
    return inner.adjusted(-1, -1, 1, 1);
}

void QVR_HoveredItemView::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    const QRectF rect = boundingRect();
    if (rect.isEmpty())
        return;
    // A 2-point border inside the outline's rectangle, scaled with the view like the elements.
    QPen pen(Tessutils::tessarineBlue(), 2.0);
    pen.setJoinStyle(Qt::MiterJoin);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(rect.adjusted(1, 1, -1, -1));
}

QVR_MultiSelectBoxView::QVR_MultiSelectBoxView(QGraphicsItem* parent)
    : QGraphicsObject(parent)
{
    setAcceptedMouseButtons(Qt::NoButton);
    QVR_InteractionModelUtils::setMouseTransparent(this);
    setZValue(kZValue);
    setVisible(false);
}

QRectF QVR_MultiSelectBoxView::reconcileFrameWithNegativeSides(const QRectF& rect)
{
    double x = rect.x(), y = rect.y();
    double w = float(rect.width()), h = float(rect.height());
    if (w < 0) {
        x += w;
        w = -w;
    }
    if (h < 0) {
        y += h;
        h = -h;
    }
    return QRectF(x, y, w, h);
}

void QVR_MultiSelectBoxView::beginTranslation(QGraphicsItem* parent, const QPointF& pressPoint)
{
    setParentItem(parent);
    m_initialPoint = parent ? parent->mapFromScene(pressPoint) : pressPoint;
    m_active = true;
    prepareGeometryChange();
    m_band = QRectF(m_initialPoint, QSizeF(0, 0));
    setVisible(true);
}

void QVR_MultiSelectBoxView::handleTranslation(const QPointF& translation)
{
    if (!m_active)
        return;
    prepareGeometryChange();
    m_band = reconcileFrameWithNegativeSides(QRectF(m_initialPoint, QSizeF(translation.x(), translation.y())));
    update();
}

void QVR_MultiSelectBoxView::endTranslation()
{
    m_active = false;
    keepSelectedViews.clear();
    prepareGeometryChange();
    m_band = QRectF();
    setVisible(false);
}

QRectF QVR_MultiSelectBoxView::boundingRect() const
{
    return m_band.adjusted(-1, -1, 1, 1);
}

void QVR_MultiSelectBoxView::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    if (!m_active)
        return;
    QColor fill = Tessutils::tessarineBlue();
    fill.setAlphaF(0.3f);
    painter->fillRect(m_band, fill);
    painter->setPen(QPen(Tessutils::tessarineBlue(), 2.0));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(m_band);
}

void QVR_MixedMediaObjectTranslateHandler::startTranslating(QVR_MixedMediaElementContainingView* container,
                                                            std::shared_ptr<ZERI_MixedMediaObjectProxy> object)
{
    m_container = container;
    m_object = object;
    m_originalFrame = object && object->object() ? (*object)->frame() : QRectF();
    if (container)
        container->willBeginTranslating();
}

void QVR_MixedMediaObjectTranslateHandler::handleMove(const QPointF& translation)
{
    const auto object = m_object.lock();
    // Nothing is written to an object that left its screen (an undo or a deletion mid-gesture).
    if (!object || !object->object() || !(*object)->parentFlowScreenModel())
        return;
    const float x = float(m_originalFrame.x()) + float(translation.x());
    const float y = float(m_originalFrame.y()) + float(translation.y());
    (*object)->setFrame(QRectF(std::floor(x), std::floor(y), m_originalFrame.width(), m_originalFrame.height()));
}

QVR_MixedMediaElementContainingView* QVR_MixedMediaObjectTranslateHandler::container() const
{
    return m_container;
}

void QVR_MixedMediaObjectTranslateHandler::endTranslating()
{
    if (m_container)
        m_container->didEndTranslating();
    m_container = nullptr;
    m_object.reset();
}
