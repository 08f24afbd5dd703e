#include "inspector/InspectorLibrary.h"

#include <memory>
#include <vector>

#include <QList>
#include <QPointer>

#include "creator/canvas/CreatorCanvasInterfaces.h"
#include "creator/toolbar/CreatorToolbarPanels.h"
#include "creator/window/CreatorInspectorInterfaces.h"
#include "inspector/links/QVR_LinkTypeSelectionViewController.h"
#include "inspector/panels/QVRTitleAndDescriptionEditorViewController.h"
#include "inspector/panels/QVR_ScreenPropertiesMenuViewController.h"
#include "inspector/panels/XYPalettePanel.h"
#include "inspector/pickers/QVRColorPicker.h"
#include "inspector/popovers/QVRMMObjToolbarPopoverBase.h"
#include "inspector/popovers/QVR_DockedPopoverView.h"
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

// The canvas's colour picker (the screen's background): the shared colour panel through a picker of our own.
class CanvasColorPicker : public CreatorColorPicker {
public:
    void setInitialColor(const QColor& color) override { m_picker.setColor(color); }
    void setThemeColorList(const std::vector<ThemeColor>& colors) override
    {
        QList<QColor> list;
        for (const auto& entry : colors)
            list.append(entry.second);
        m_picker.setColorList(list);
    }
    void setShowsAlphaPicker(bool shows) override { m_picker.setShowsAlpha(shows); }
    // The shared panel already hides once another window takes the focus.
    void setPanelShouldDismissOnResignKey(bool) override {}
    void setOnColorPicked(std::function<void(const QColor&)> onPicked) override
    {
        m_picker.onColorPicked = std::move(onPicked);
    }
    void presentColorPanel() override { m_picker.presentColorPanel(); }

private:
    QVRColorPicker m_picker;
};

// The docked object popover, in the strip under the window's title bar.
class DockedPopoverPanel : public CreatorObjectPanel {
public:
    explicit DockedPopoverPanel(QWidget* window)
        : m_view(new QVR_DockedPopoverView(window))
    {
    }
    // The window's dock strip takes the view and so owns it.
    QWidget* widget() override { return m_view; }
    void setHidden(bool hidden) override
    {
        if (m_view)
            m_view->setHidden(hidden);
    }
    void setTrackedMixedMediaObjects(const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& objects) override
    {
        if (m_view)
            m_view->setTrackedMixedMediaObjects(objects);
    }

private:
    QPointer<QVR_DockedPopoverView> m_view;
};
} // namespace

void registerInspectorLibrary()
{
    CreatorColorPicker::registerColorPickerFactory(
        []() -> std::unique_ptr<CreatorColorPicker> { return std::make_unique<CanvasColorPicker>(); });
    CreatorInspectorFactories::shared().sideMenu = [](QWidget* window) -> std::unique_ptr<CreatorSideMenu> {
        return std::make_unique<SideMenu>(window);
    };
    CreatorInspectorFactories::shared().positionPalette = makeXYPalettePanel;
    CreatorInspectorFactories::shared().dockedPopover = [](QWidget* window) -> std::unique_ptr<CreatorObjectPanel> {
        return std::make_unique<DockedPopoverPanel>(window);
    };
    QVRMMObjToolbarPopoverController::registerPopoverFactory(
        [](const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
           bool docked) -> std::unique_ptr<QVRMMObjToolbarPopoverController> {
            return QVRMMObjToolbarPopoverBase::controllerForObject(object, docked);
        });
    // The popovers' link button opens the link editors in the window's dark panel.
    QVRMMObjToolbarPopoverBase::setLinkEditorOpener(QVR_LinkTypeSelectionViewController::openLinkEditor);
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
