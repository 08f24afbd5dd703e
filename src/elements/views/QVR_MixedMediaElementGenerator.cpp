#include "elements/views/QVR_MixedMediaElementGenerator.h"

#include "elements/views/QVR_AttributedTextMixedMediaElementView.h"
#include "elements/views/QVR_AudioMixedMediaElementView.h"
#include "elements/views/QVR_ImageMixedMediaElementView.h"
#include "elements/views/QVR_ShapeMixedMediaElementView.h"
#include "elements/views/QVR_VideoMixedMediaElementView.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

QVR_VirtualMixedMediaElementView* QVR_MixedMediaElementGenerator::mixedMediaElementFromMixedMediaObject(
    const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, QGraphicsItem* parent)
{
    const int type = object && object->object() ? object->type() : ZERI_MixedMediaObject::None;
    switch (type) {
    case ZERI_MixedMediaObject::Video:
        return new QVR_VideoMixedMediaElementView(object, parent);
    case ZERI_MixedMediaObject::Image:
    case ZERI_MixedMediaObject::Gallery:
    case ZERI_MixedMediaObject::PDF:
        return new QVR_ImageMixedMediaElementView(object, parent);
    case ZERI_MixedMediaObject::Text:
        return new QVR_AttributedTextMixedMediaElementView(object, parent);
    case ZERI_MixedMediaObject::Shape:
        return new QVR_ShapeMixedMediaElementView(object, parent);
    case ZERI_MixedMediaObject::Audio:
        return new QVR_AudioMixedMediaElementView(object, parent);
    default:
        return new QVR_VirtualMixedMediaElementView(object, parent);
    }
}
