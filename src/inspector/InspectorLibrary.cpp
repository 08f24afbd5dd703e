#include "inspector/InspectorLibrary.h"

#include "creator/toolbar/CreatorToolbarPanels.h"
#include "creator/window/CreatorInspectorInterfaces.h"
#include "inspector/panels/QVRTitleAndDescriptionEditorViewController.h"
#include "inspector/panels/QVR_ScreenPropertiesMenuViewController.h"
#include "inspector/panels/XYPalettePanel.h"
#include "inspector/sidemenu/QVR_ContextualMenuView.h"

namespace {
class SideMenu : public CreatorSideMenu {
public:
    explicit SideMenu(QWidget* window)
        : m_view(new QVR_ContextualMenuView(window))
    {
    }
    // The window takes the view into its layout and so owns it.
    QWidget* widget() override { return m_view; }
    int openWidth() const override { return QVR_ContextualMenuView::kOpenWidth; }

private:
    QVR_ContextualMenuView* m_view;
};
} // namespace

void registerInspectorLibrary()
{
    CreatorInspectorFactories::shared().sideMenu = [](QWidget* window) -> std::unique_ptr<CreatorSideMenu> {
        return std::make_unique<SideMenu>(window);
    };
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
