// Validating a creator window's menu bar the way the shell does before every key press: 60 screens, 50 objects
// selected on the shown one, 1 MB of copied objects on the clipboard. Target: at most 2 ms a pass (an eighth of
// a 16 ms frame). The mean pass is printed as a counter in milliseconds.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QMenuBar>
#include <QMimeData>

#include "app/QVRMainMenu.h"
#include "app/QVRWindowManager.h"
#include "creator/CreatorLibrary.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/thumbnails/QVRThumbnailBar.h"
#include "creator/window/CreatorContentAddition.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "support/QtBenchmarkMain.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

constexpr int kScreens = 60;
constexpr int kObjects = 50;

// Reads the clipboard's formats as a real addition's type list would be matched; adds nothing.
class ListingAddition : public CreatorContentAddition {
public:
    QStringList supportedPasteboardTypes() const override
    {
        return {QStringLiteral("text/uri-list"), QVRThumbnailBar::kObjectPasteboardType,
                QStringLiteral("application/x-qt-image"), QStringLiteral("text/plain"), QStringLiteral("text/html")};
    }
    void addObjectsFromMimeData(const QMimeData*, const std::shared_ptr<ZERI_FlowScreenModel>&, bool, QWidget*,
                                Done done) override
    {
        done({});
    }
    bool isAddingContent(const std::shared_ptr<ZERI_TessarineModel>&) const override { return false; }
};

void BM_ValidateCreatorMenuBar(benchmark::State& state)
{
    auto document = ZERI_TessarineModel::create();
    document->setDontSave(true);
    for (int i = 0; i < kScreens; ++i) {
        auto screen = ZERI_FlowScreenModel::create();
        screen->setInternalID(QStringLiteral("S%1").arg(i));
        document->firstFlowmodel()->addFlowScreen(screen);
    }
    const auto shown = document->firstFlowmodel()->screenModels().front();
    std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> objects;
    for (int i = 0; i < kObjects; ++i) {
        auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
        (*object)->setFrame(QRectF(i * 18, i * 13, 120, 90));
        shown->addMixedMediaObject(object);
        objects.push_back(object);
    }
    document->firstFlowmodel()->undoManager().removeAllActions();
    CreatorContentAddition::registerAddition(std::make_shared<ListingAddition>());
    auto* mime = new QMimeData;
    mime->setData(QVRThumbnailBar::kObjectPasteboardType, QByteArray(1024 * 1024, 'x'));
    QGuiApplication::clipboard()->setMimeData(mime);

    registerCreatorLibrary();
    auto* window = qobject_cast<QVR_CreatorWindow*>(QVRWindowManager::sharedInstance().makeCreatorWindow());
    window->launchTessarineWithTessarineModel(document);
    window->show();
    window->activateWindow();
    QApplication::processEvents();
    QVR_CreatorSingleScreen* single = window->currentlyDisplayedSingleScreen();
    single->buildMixedMediaObjectViews();
    single->setSelectionsForMixedMediaObjects(objects);
    QApplication::processEvents();

    qint64 total = 0;
    qint64 passes = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        QVRMainMenu::validate(window->menuBar());
        total += timer.nsecsElapsed();
        ++passes;
    }
    state.counters["pass_ms"] = passes ? double(total) / passes / 1e6 : 0.0;
    state.counters["paste_enabled"] = QVRMainMenu::action(window->menuBar(), "paste")->isEnabled() ? 1 : 0;
    state.counters["nudge_enabled"] = QVRMainMenu::action(window->menuBar(), "nudgeRight")->isEnabled() ? 1 : 0;
    delete window;
    QGuiApplication::clipboard()->clear();
    CreatorContentAddition::registerAddition(nullptr);
}
BENCHMARK(BM_ValidateCreatorMenuBar)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
