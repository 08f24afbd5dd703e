#include "elements/views/QVR_AudioMixedMediaElementView.h"

QVR_AudioMixedMediaElementView::QVR_AudioMixedMediaElementView(
    const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, QGraphicsItem* parent)
    : QVR_VirtualMixedMediaElementView(object, parent)
{
}

QVR_AudioMixedMediaElementView::~QVR_AudioMixedMediaElementView() = default;
