// Targets, each within one 16 ms frame: one width keystroke in the position palette, from the field's edit to the
// painted canvas with both size fields updated, on a screen of 50 objects with one image selected; one page of the
// screen properties sheet on a 60-screen flow.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "app/QVRWindowManager.h"
#include "creator/CreatorLibrary.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "inspector/InspectorLibrary.h"
#include "inspector/panels/QVRXYPaletteView.h"
#include "inspector/panels/QVR_ScreenPropertiesMenuViewController.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
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

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
