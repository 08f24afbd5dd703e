#include "elements/views/QVR_VideoMixedMediaElementView.h"

QVR_VideoMixedMediaElementView::QVR_VideoMixedMediaElementView(
    const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, QGraphicsItem* parent)
    : QVR_ImageHandlingMixedMediaElement(object, parent)
{
}

QVR_VideoMixedMediaElementView::~QVR_VideoMixedMediaElementView() = default;
