// Targets, each within one 16 ms frame: one width keystroke in the position palette, from the field's edit to the
// painted canvas with both size fields updated, on a screen of 50 objects with one image selected; one page of the
// screen properties sheet on a 60-screen flow; one opening of a text's popover, from the selection change to the
// painted popover, selecting in turn each of 50 texts of 20 runs (the cold first opening, which builds the font
// list, reported apart); one tick of a colour drag through the shared panel for 50 selected shapes with the side
// menu open, from the panel's change to the repainted canvas (the whole drag one undo step).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QColorDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "app/QVRWindowManager.h"
#include "controls/ControlsArtwork.h"
#include "creator/CreatorLibrary.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "inspector/InspectorLibrary.h"
#include "inspector/pickers/ColorPanel.h"
#include "inspector/popovers/QVRTextMMObjToolbarPopoverController.h"
#include "inspector/sidemenu/QVR_ContextualMenuView.h"
#include "inspector/sidemenu/QVR_SideMenuOutlets.h"
#include "platform/UndoManager.h"
#include "inspector/panels/QVRXYPaletteView.h"
#include "inspector/panels/QVR_ScreenPropertiesMenuViewController.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "support/QtBenchmarkMain.h"

namespace {

void BM_PaletteWidthKeystroke(benchmark::State& state)
{
    registerCreatorLibrary();
    registerInspectorLibrary();
    auto document = ZERI_TessarineModel::create();
    document->setDontSave(true);
    auto screen = ZERI_FlowScreenModel::create();
    for (int i = 0; i < 49; ++i) {
        auto shape = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
        (*shape)->setFrame(QRectF((i % 10) * 100, (i / 10) * 140, 90, 120));
        screen->addMixedMediaObject(shape);
    }
    auto image = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    (*image)->setFrame(QRectF(300, 300, 200, 100));
    (*image)->setOriginalImageAsset(ZERI_ContentAsset::create());
    (*image)->setZoomScale(0.5);
    screen->addMixedMediaObject(image);
    document->firstFlowmodel()->addFlowScreen(screen);
    auto* window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
    window->resize(1400, 1000);
    window->launchTessarineWithTessarineModel(document);
    window->show();
    QApplication::processEvents();
    auto* board = window->theArtBoard();
    QVR_InteractableViewHandler::handlerForBoard(board)->setCurrentlySelected(
        {board->singleScreen()->containerForMixedMediaObject(image)});
    QApplication::processEvents();
    auto* palette = window->findChild<QVRXYPaletteView*>();
    auto* width = palette->field(QVRXYPaletteView::WidthField);
    int step = 0;
    for (auto _ : state) {
        const QString text = QString::number(200 + (step++ % 100));
        width->setText(text);
        emit width->textEdited(text);
        QApplication::processEvents();
        board->theScrollView()->viewport()->repaint();
    }
    emit width->editingFinished();
    delete window;
}
BENCHMARK(BM_PaletteWidthKeystroke)->Unit(benchmark::kMillisecond)->Iterations(100);

void BM_SheetPaging(benchmark::State& state)
{
    auto document = ZERI_TessarineModel::create();
    document->setDontSave(true);
    for (int i = 0; i < 60; ++i)
        document->firstFlowmodel()->addFlowScreen(ZERI_FlowScreenModel::create());
    QVR_ScreenPropertiesMenuViewController sheet;
    sheet.setFlowModel(document->firstFlowmodel());
    sheet.setScreenNumber(0);
    sheet.show();
    for (auto _ : state) {
        if (sheet.screenNumber() == 59)
            sheet.setScreenNumber(0);
        sheet.nextPageButton()->click();
        sheet.repaint();
    }
    sheet.doneButtonPressed();
}
BENCHMARK(BM_SheetPaging)->Unit(benchmark::kMillisecond)->Iterations(59);

// A window on one screen of 50 texts of 20 runs each.
struct TextScreen {
    TextScreen()
    {
        ControlsArtwork::registerNamedImages();
        registerCreatorLibrary();
        registerInspectorLibrary();
        document->setDontSave(true);
        auto screen = ZERI_FlowScreenModel::create();
        const QStringList families{QStringLiteral("Helvetica"), QStringLiteral("DejaVuSerif"),
                                   QStringLiteral("DejaVuSans")};
        for (int i = 0; i < 50; ++i) {
            QString string;
            for (int run = 0; run < 20; ++run)
                string += QStringLiteral("word%1 ").arg(run);
            AttributedText text(string);
            for (int run = 0; run < 20; ++run) {
                TextAttributes attributes;
                attributes.fontName = families[run % 3];
                attributes.fontSize = 10 + run;
                attributes.foregroundColor = QColor::fromHsv(run * 17, 200, 200);
                attributes.alignment = TextAttributes::Left;
                text.setAttributes(attributes, {run * 7, 7});
            }
            auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
            (*object)->setFrame(QRectF((i % 5) * 200, (i / 5) * 74, 190, 70));
            object->as<ZERI_MMObject_Text>()->setAttributedString(text);
            screen->addMixedMediaObject(object);
            objects.push_back(object);
        }
        document->firstFlowmodel()->addFlowScreen(screen);
        window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
        window->resize(1400, 1000);
        window->launchTessarineWithTessarineModel(document);
        window->show();
        QApplication::processEvents();
    }
    ~TextScreen() { delete window; }
    // Selects the next text and paints its popover.
    void openNext()
    {
        auto* board = window->theArtBoard();
        auto* container = board->singleScreen()->containerForMixedMediaObject(objects[next++ % objects.size()]);
        QVR_InteractableViewHandler::handlerForBoard(board)->setCurrentlySelected({container});
        auto* popover = dynamic_cast<QVRToolbarPopoverController*>(container->popoverController());
        if (popover && popover->popoverView())
            popover->popoverView()->repaint();
    }

    std::shared_ptr<ZERI_TessarineModel> document = ZERI_TessarineModel::create();
    std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> objects;
    QVR_CreatorWindow* window = nullptr;
    std::size_t next = 0;
};

void BM_TextPopoverColdOpening(benchmark::State& state)
{
    TextScreen screen;
    for (auto _ : state) {
        state.PauseTiming();
        QVRTextMMObjToolbarPopoverController::clearFontListCache();
        state.ResumeTiming();
        screen.openNext();
    }
}
BENCHMARK(BM_TextPopoverColdOpening)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_TextPopoverOpening(benchmark::State& state)
{
    TextScreen screen;
    screen.openNext();
    for (auto _ : state)
        screen.openNext();
}
BENCHMARK(BM_TextPopoverOpening)->Unit(benchmark::kMillisecond)->Iterations(100);

void BM_SideMenuColourDragTick(benchmark::State& state)
{
    registerCreatorLibrary();
    registerInspectorLibrary();
    auto document = ZERI_TessarineModel::create();
    document->setDontSave(true);
    document->setSideMenuOpen(true);
    auto screen = ZERI_FlowScreenModel::create();
    std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> shapes;
    for (int i = 0; i < 50; ++i) {
        auto shape = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
        (*shape)->setFrame(QRectF((i % 10) * 100, (i / 10) * 140, 90, 120));
        shape->as<ZERI_MMObject_Shape>()->setColor(Qt::red);
        screen->addMixedMediaObject(shape);
        shapes.push_back(shape);
    }
    document->firstFlowmodel()->addFlowScreen(screen);
    auto* window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
    window->resize(1400, 1000);
    window->launchTessarineWithTessarineModel(document);
    window->show();
    QApplication::processEvents();
    auto* board = window->theArtBoard();
    std::vector<QVR_MixedMediaElementContainingView*> containers;
    for (const auto& shape : shapes)
        containers.push_back(board->singleScreen()->containerForMixedMediaObject(shape));
    QVR_InteractableViewHandler::handlerForBoard(board)->setCurrentlySelected(containers);
    QApplication::processEvents();
    auto* menu = qobject_cast<QVR_ContextualMenuView*>(window->sideBarView());
    auto* outlet = menu ? menu->currentBody()->findChild<QVR_ColorOutlet*>() : nullptr;
    if (!outlet) {
        state.SkipWithError("no colour outlet for the selection");
        delete window;
        return;
    }
    UndoManager& undo = document->firstFlowmodel()->undoManager();
    const int steps = undo.undoCount();
    outlet->well()->presentColorPanel();
    int tick = 0;
    for (auto _ : state) {
        ColorPanel::shared()->dialog()->setCurrentColor(QColor::fromHsv((tick++ * 6) % 360, 255, 255));
        QApplication::processEvents();
        board->theScrollView()->viewport()->repaint();
    }
    emit ColorPanel::shared()->dragEnded();
    if (undo.undoCount() != steps + 1)
        state.SkipWithError("the drag did not make exactly one undo step");
    ColorPanel::shared()->hide();
    delete window;
}
BENCHMARK(BM_SideMenuColourDragTick)->Unit(benchmark::kMillisecond)->Iterations(60);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
