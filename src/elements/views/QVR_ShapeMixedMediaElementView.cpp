#include "elements/views/QVR_ShapeMixedMediaElementView.h"

#include <QPainter>

#include "foundation/ZeroingWeakReference.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

QVR_ShapeMixedMediaElementView::QVR_ShapeMixedMediaElementView(
    const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, QGraphicsItem* parent)
    : QVR_VirtualMixedMediaElementView(object, parent)
{
    if (!object)
        return;
    const auto self = ZeroingWeakReference<QVR_ShapeMixedMediaElementView>::referenceWithObject(this);
    m_shapePropertyChangedObserver = object->updateNotifier().addObservationBlock(
        [self](const void*, const QSet<QString>&) {
            if (auto* view = self.obj())
                view->update();
        },
        QStringLiteral("color"));
}

QVR_ShapeMixedMediaElementView::~QVR_ShapeMixedMediaElementView() = default;

void QVR_ShapeMixedMediaElementView::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    const auto proxy = mixedMediaObject();
    const auto shape = proxy ? proxy->as<ZERI_MMObject_Shape>() : nullptr;
    if (!shape)
        return;
    // Always the whole view, whatever part of it is exposed: the shape's geometry depends on the full rectangle.
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    shape->drawIntoContext(painter, bounds());
    painter->restore();
}
