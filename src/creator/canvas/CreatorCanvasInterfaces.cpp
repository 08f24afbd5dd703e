#include "creator/canvas/CreatorCanvasInterfaces.h"

namespace {

CreatorColorPicker::Factory& colorPickerFactory()
{
    static CreatorColorPicker::Factory factory;
    return factory;
}

QVRMMObjToolbarPopoverController::Factory& popoverFactory()
{
    static QVRMMObjToolbarPopoverController::Factory factory;
    return factory;
}

} // namespace

std::unique_ptr<CreatorColorPicker> CreatorColorPicker::colorPicker()
{
    return colorPickerFactory() ? colorPickerFactory()() : nullptr;
}

void CreatorColorPicker::registerColorPickerFactory(Factory factory)
{
    colorPickerFactory() = std::move(factory);
}

std::unique_ptr<QVRMMObjToolbarPopoverController> QVRMMObjToolbarPopoverController::controllerForMixedMediaObject(
    const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, bool docked)
{
    return popoverFactory() ? popoverFactory()(object, docked) : nullptr;
}

void QVRMMObjToolbarPopoverController::registerPopoverFactory(Factory factory)
{
    popoverFactory() = std::move(factory);
}
