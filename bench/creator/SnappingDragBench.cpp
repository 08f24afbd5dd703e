// Snapping while dragging: 200 objects on a screen, one of them dragged 100 steps across the others' lines, once
// with snapping on and once with it off, in the same run. Each step is timed from the mouse event to the painted
// viewport (guide lines included). Targets: every step with snapping on within 16 ms, and its median at most
// 1.2 × the median with snapping off. The grid's set-up time (initialise plus set up) is printed too.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>

#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/snapping/SnappingGrid.h"
#include "creator/snapping/SnappingUtils.h"
#include "support/QtBenchmarkMain.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

constexpr int kObjects = 200;
constexpr int kSteps = 100;

void sendMouse(QWidget* target, QEvent::Type type, const QPoint& pixel, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(pixel), target->mapToGlobal(QPointF(pixel)), button, buttons, {});
    QApplication::sendEvent(target, &event);
}

double medianMs(std::vector<qint64> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2] / 1e6;
}

void BM_SnappingDragOnAndOff(benchmark::State& state)
{
    auto document = ZERI_TessarineModel::create();
    document->setDontSave(true);
    auto screen = ZERI_FlowScreenModel::create();
    screen->setInternalID(QStringLiteral("S0"));
    document->firstFlowmodel()->addFlowScreen(screen);
    // A 20 × 10 grid of small shapes with uneven sides, so their edges and centres give many distinct lines.
    const QSizeF cell(1024.0 / 20, 748.0 / 10);
    for (int i = 0; i < kObjects; ++i) {
        auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
        object->as<ZERI_MMObject_Shape>()->setShapeType(ZERI_MMObject_Shape::Rectangle);
        (*object)->setFrame(QRectF(QPointF(i % 20 * cell.width() + i % 7, i / 20 * cell.height() + i % 5),
                                   QSizeF(20 + i % 13, 30 + i % 11)));
        screen->addMixedMediaObject(object);
    }
    QVR_SingleScreenArtBoardView board;
    board.setScreenModel(screen);
    board.resize(1200, 900);
    board.show();
    board.setZoomLevelWithoutNotification(1.0);
    QApplication::processEvents();
    auto* handler = new QVR_InteractableViewHandler(&board);
    QVR_MixedMediaElementContainingView* dragged = board.singleScreen()->elementContainers().front();
    QWidget* viewport = board.theScrollView()->viewport();

    // The grid's set-up for a move of one object: initialise for the screen, then collect every line.
    SnappingGrid& grid = SnappingUtils::sharedSnappingGrid();
    QElapsedTimer setup;
    setup.start();
    SnappingUtils::initializeSnappingGrid(grid, screen,
                                          QSizeF(SnappingUtils::kArtboardMaxSize, SnappingUtils::kArtboardMaxSize));
    SnappingUtils::modelSnapping_setupSnappingGrid(grid, {dragged->mixedMediaObject()}, 1);
    state.counters["grid_setup_ms"] = setup.nsecsElapsed() / 1e6;

    std::vector<qint64> on, off;
    for (auto _ : state) {
        for (bool snapping : {true, false}) {
            grid.setSnappingIsDisabled(!snapping);
            std::vector<qint64>& steps = snapping ? on : off;
            const QPoint start = board.theScrollView()->mapFromScene(dragged->frame().center());
            sendMouse(viewport, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
            for (int i = 1; i <= kSteps; ++i) {
                QElapsedTimer timer;
                timer.start();
                sendMouse(viewport, QEvent::MouseMove, start + QPoint(i * 7, i * 5), Qt::NoButton, Qt::LeftButton);
                QCoreApplication::processEvents();
                viewport->repaint();
                steps.push_back(timer.nsecsElapsed());
            }
            sendMouse(viewport, QEvent::MouseButtonRelease, start + QPoint(kSteps * 7, kSteps * 5), Qt::LeftButton,
                      Qt::NoButton);
            document->firstFlowmodel()->undoManager().undo();
            QCoreApplication::processEvents();
        }
    }
    grid.setSnappingIsDisabled(SnappingUtils::defaultSnappingIsDisabled());
    state.counters["on_median_ms"] = medianMs(on);
    state.counters["on_max_ms"] = on.empty() ? 0 : *std::max_element(on.begin(), on.end()) / 1e6;
    state.counters["off_median_ms"] = medianMs(off);
    state.counters["off_max_ms"] = off.empty() ? 0 : *std::max_element(off.begin(), off.end()) / 1e6;
    state.counters["on_vs_off_median"] = medianMs(off) > 0 ? medianMs(on) / medianMs(off) : 0;
    (void)handler;
}
BENCHMARK(BM_SnappingDragOnAndOff)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
