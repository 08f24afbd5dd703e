#include "inspector/InspectorLibrary.h"

#include "creator/toolbar/CreatorToolbarPanels.h"
#include "creator/window/CreatorInspectorInterfaces.h"
#include "inspector/panels/QVRTitleAndDescriptionEditorViewController.h"
#include "inspector/panels/QVR_ScreenPropertiesMenuViewController.h"
#include "inspector/panels/XYPalettePanel.h"

void registerInspectorLibrary()
{
    CreatorInspectorFactories::shared().positionPalette = makeXYPalettePanel;
    CreatorInspectorFactories::shared().screenPropertiesSheet =
        [](QWidget* window, const std::shared_ptr<ZERI_FlowModel>& flow, int page, std::function<void(int)> paged) {
            ScreenPropertiesSheet::openOn(window, flow, page, std::move(paged));
        };
    CreatorToolbarPanels::shared().titleEditor = [](QWidget* parent,
                                                    const std::shared_ptr<ZERI_TessarineModel>& document) -> QWidget* {
        auto* editor = new QVRTitleAndDescriptionEditorViewController(parent);
        editor->setTessarineModel(document);
        return editor;
    };
}
