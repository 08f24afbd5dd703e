#include "elements/views/QVR_AttributedTextMixedMediaElementView.h"

QVR_AttributedTextMixedMediaElementView::QVR_AttributedTextMixedMediaElementView(
    const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, QGraphicsItem* parent)
    : QVR_VirtualMixedMediaElementView(object, parent)
{
}

QVR_AttributedTextMixedMediaElementView::~QVR_AttributedTextMixedMediaElementView() = default;
