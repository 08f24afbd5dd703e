#include "elements/views/QVR_ImageMixedMediaElementView.h"

QVR_ImageMixedMediaElementView::QVR_ImageMixedMediaElementView(
    const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, QGraphicsItem* parent)
    : QVR_ImageHandlingMixedMediaElement(object, parent)
{
}

QVR_ImageMixedMediaElementView::~QVR_ImageMixedMediaElementView() = default;
