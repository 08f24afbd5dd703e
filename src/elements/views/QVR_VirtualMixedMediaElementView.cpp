#include "elements/views/QVR_VirtualMixedMediaElementView.h"

#include <cmath>

#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

QVR_VirtualMixedMediaElementView::QVR_VirtualMixedMediaElementView(
    const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, QGraphicsItem* parent)
    : QGraphicsObject(parent)
{
    if (object && object->object())
        m_size = object->object()->frame().size();
    setMixedMediaObject(object);
}

QVR_VirtualMixedMediaElementView::~QVR_VirtualMixedMediaElementView() = default;

void QVR_VirtualMixedMediaElementView::setMixedMediaObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    m_mixedMediaObject = object;
}

void QVR_VirtualMixedMediaElementView::setPreviewMode(bool previewMode)
{
    m_previewMode = previewMode;
}

void QVR_VirtualMixedMediaElementView::setFrame(const QRectF& frame)
{
    // A negative or non-finite rectangle contains nothing and would confuse the scene's index.
    if (!(frame.width() >= 0 && frame.height() >= 0 && std::isfinite(frame.x()) && std::isfinite(frame.y()) &&
          std::isfinite(frame.width()) && std::isfinite(frame.height())))
        return;
    if (frame.size() != m_size) {
        prepareGeometryChange();
        m_size = frame.size();
    }
    setPos(frame.topLeft());
}

void QVR_VirtualMixedMediaElementView::paint(QPainter*, const QStyleOptionGraphicsItem*, QWidget*) {}
