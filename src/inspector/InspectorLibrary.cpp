#include "inspector/InspectorLibrary.h"

#include <memory>
#include <vector>

#include <QDialog>
#include <QGraphicsView>
#include <QList>
#include <QPointer>
#include <QVBoxLayout>

#include "creator/canvas/CreatorCanvasInterfaces.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorCanvasView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/toolbar/CreatorToolbarPanels.h"
#include "creator/window/CreatorInspectorInterfaces.h"
#include "inspector/panels/QVRDebugSlideDurationViewController.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "inspector/links/QVR_LinkTypeSelectionViewController.h"
#include "inspector/panels/QVRTitleAndDescriptionEditorViewController.h"
#include "inspector/panels/QVR_ScreenPropertiesMenuViewController.h"
#include "inspector/panels/XYPalettePanel.h"
#include "inspector/pickers/ColorPanel.h"
#include "inspector/pickers/QVRColorPicker.h"
#include "inspector/popovers/QVRImageMMObjToolbarPopoverController.h"
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

// The duration editor in a dialog without a close button, run modally; Done (or Escape) closes it and its values
// are the answer. A window closed meanwhile takes the dialog with it: the initial values come back.
CreatorInspectorFactories::SlideDuration runSlideDurationEditor(QWidget* window,
                                                                const CreatorInspectorFactories::SlideDuration& initial)
{
    QPointer<QDialog> dialog = new QDialog(window, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto* editor = new QVRDebugSlideDurationViewController(dialog);
    (new QVBoxLayout(dialog))->addWidget(editor);
    editor->setSlideDuration(initial.seconds);
    editor->setSlideTransitionType(initial.transitionType);
    editor->setDoneButtonPressed([dialog] {
        if (dialog)
            dialog->accept();
    });
    dialog->exec();
    if (!dialog)
        return initial;
    const CreatorInspectorFactories::SlideDuration chosen{editor->slideDuration(), editor->slideTransitionType()};
    delete dialog.data();
    if (window) {
        window->raise();
        window->activateWindow();
    }
    return chosen;
}
} // namespace

namespace {
// The selection frame of a creator window as it shows on the screen; nothing while nothing is selected.
QRect shownSelectionOf(QWidget* window)
{
    auto* creator = qobject_cast<QVR_CreatorWindow*>(window ? window->window() : nullptr);
    QVR_SelectedItemView* frame = creator ? creator->selectedItemView() : nullptr;
    QVR_SingleScreenArtBoardView* board = creator ? creator->theArtBoard() : nullptr;
    if (!frame || !frame->isVisible() || !frame->scene() || !board || frame->scene() != board->theScrollView()->scene())
        return {};
    QGraphicsView* view = board->theScrollView();
    const QRect inViewport = view->mapFromScene(frame->sceneBoundingRect()).boundingRect();
    const QRect shown = inViewport.intersected(view->viewport()->rect());
    return shown.isEmpty() ? QRect() : QRect(view->viewport()->mapToGlobal(shown.topLeft()), shown.size());
}
} // namespace

void registerInspectorLibrary()
{
    // The colour panel never covers what is selected in the window it serves.
    ColorPanel::setKeepClearAreaProvider(shownSelectionOf);
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
    CreatorInspectorFactories::shared().screenPropertiesSheetShown = [](const QWidget* window) {
        return ScreenPropertiesSheet::isShownOn(window);
    };
    CreatorInspectorFactories::shared().slideDurationEditor = runSlideDurationEditor;
    CreatorToolbarPanels::shared().titleEditor = [](QWidget* parent,
                                                    const std::shared_ptr<ZERI_TessarineModel>& document) -> QWidget* {
        auto* editor = new QVRTitleAndDescriptionEditorViewController(parent);
        editor->setTessarineModel(document);
        return editor;
    };
    // The image popover's Crop button starts crop mode on the window's shown board.
    QVRImageMMObjToolbarPopoverController::setCropStarter([](QWidget* window) {
        auto* creator = qobject_cast<QVR_CreatorWindow*>(window);
        auto* handler = creator ? QVR_InteractableViewHandler::handlerForBoard(creator->theArtBoard()) : nullptr;
        return handler && handler->beginCropForCurrentlySelectedView();
    });
    // The gallery popover's Edit Gallery button opens the gallery sheet of the window's canvas.
    QVRGalleryMMObjToolbarPopoverController::setGalleryEditorOpener(
        [](QWidget* window, const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object) {
            auto* creator = qobject_cast<QVR_CreatorWindow*>(window);
            if (QVR_CreatorCanvasView* canvas = creator ? creator->theCanvasView() : nullptr)
                canvas->editGalleryObject(object);
        });
}
