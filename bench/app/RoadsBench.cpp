#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "app/QVRAppDelegate.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/window/CreatorOutput.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "launch/ApplicationLaunch.h"
#include "library/themes/QVRTemplateChooserWindowController.h"
#include "library/themes/QVR_TemplateChooserThumbnailController.h"
#include "library/themes/QVR_TemplateCollectionViewObject.h"
#include "controls/HoverAreaView.h"
#include "support/BenchPicturedDocument.h"
#include "support/MainThreadHeartbeat.h"
#include "support/QtBenchmarkMain.h"
#include "support/SpinUntil.h"

// The assembled application's two longest waits a user sees: from Choose on the scratch template to an editable
// creator window, and File › Export PDF of a 20-screen document with pictures. Each reports the main thread's
// longest stall (the widest gap between two ticks of a 10 ms heartbeat).
namespace {

constexpr int kHeartbeatMs = 10;

QVRAppDelegate& application()
{
    static std::unique_ptr<QVRAppDelegate> s_delegate = [] {
        qputenv("TESS_API_URL", "http://127.0.0.1:9/"); // nothing answers: no network waits
        return ApplicationLaunch::start(&registerApplicationLibraries);
    }();
    return *s_delegate;
}

QList<QVR_CreatorWindow*> shownCreators()
{
    QList<QVR_CreatorWindow*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* creator = qobject_cast<QVR_CreatorWindow*>(widget); creator && creator->isVisible())
            windows.append(creator);
    }
    return windows;
}

void BM_ChooseToEditableCreatorWindow(benchmark::State& state)
{
    application();
    double totalMs = 0;
    double stallMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // File › New, as the + tile asks: the new-document request shows the template chooser, and the pointer
        // over the scratch tile shows its Choose button.
        application().performApplicationCommand(QStringLiteral("new"));
        QPointer<QToolButton> choose;
        spinUntil(
            [&] {
                auto* chooser = QVRTemplateChooserWindowController::existingInstance();
                if (!chooser || !chooser->myWindow() || !chooser->myWindow()->isVisible())
                    return false;
                const auto tiles =
                    chooser->templateChooserViewController()->templateThumbnailController()->templatesArray();
                QVR_TemplateCollectionViewObject* scratch = tiles.isEmpty() ? nullptr : tiles.first();
                if (!scratch || !scratch->hoverView() || !scratch->hoverView()->isVisible())
                    return false;
                if (!scratch->chooseButton()->isVisible())
                    QTest::mouseMove(scratch->hoverView(), scratch->hoverView()->rect().center());
                choose = scratch->chooseButton();
                return choose->isVisible();
            },
            10000);
        if (!choose) {
            state.ResumeTiming();
            state.SkipWithError("the template chooser did not show");
            break;
        }
        const QList<QVR_CreatorWindow*> before = shownCreators();
        state.ResumeTiming();

        MainThreadHeartbeat heartbeat(kHeartbeatMs);
        QElapsedTimer timer;
        timer.start();
        QVR_CreatorWindow* created = nullptr;
        QTest::mouseClick(choose, Qt::LeftButton);
        heartbeat.noteGapMs(timer.nsecsElapsed() / 1e6); // the click's own handling holds the main thread
        const bool editable = spinUntil(
            [&] {
                for (QVR_CreatorWindow* window : shownCreators()) {
                    if (!before.contains(window) && window->theArtBoard() && window->currentIndex() >= 0 &&
                        window->theToolBarView()->insertButton()->isEnabled())
                        created = window;
                }
                return created != nullptr;
            },
            10000);
        totalMs += timer.nsecsElapsed() / 1e6;
        heartbeat.stop();
        stallMs = std::max(stallMs, heartbeat.longestGapMs());

        state.PauseTiming();
        if (created) {
            QPointer<QVR_CreatorWindow> closing(created);
            created->close();
            spinUntil([&] { return closing.isNull(); }, 5000);
        }
        state.ResumeTiming();
        if (!editable) {
            state.SkipWithError("no editable creator window within 10 s");
            break;
        }
    }
    state.counters["window_ms"] = totalMs / double(state.iterations());
    state.counters["longest_stall_ms"] = stallMs;
}
BENCHMARK(BM_ChooseToEditableCreatorWindow)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ExportPdfOfTwentyPicturedScreens(benchmark::State& state)
{
    application();
    QTemporaryDir folder;
    const auto document = makePicturedDocument(folder.path(), 20);
    const QString path = QDir(folder.path()).filePath(QStringLiteral("export.pdf"));
    const auto output = CreatorOutput::shared();
    if (!output) {
        state.SkipWithError("no creator output registered");
        return;
    }
    double totalMs = 0;
    double stallMs = 0;
    for (auto _ : state) {
        bool finished = false;
        MainThreadHeartbeat heartbeat(kHeartbeatMs);
        QElapsedTimer timer;
        timer.start();
        output->exportDocument(document, path, false, [&](const std::optional<Error>& error) {
            if (error)
                qWarning() << "export failed:" << error->message;
            finished = true;
        });
        heartbeat.noteGapMs(timer.nsecsElapsed() / 1e6); // the call itself holds the main thread
        spinUntil([&] { return finished; }, 60000);
        totalMs += timer.nsecsElapsed() / 1e6;
        heartbeat.stop();
        stallMs = std::max(stallMs, heartbeat.longestGapMs());
    }
    state.counters["export_ms"] = totalMs / double(state.iterations());
    state.counters["longest_stall_ms"] = stallMs;
    state.counters["file_bytes"] = double(QFileInfo(path).size());
}
BENCHMARK(BM_ExportPdfOfTwentyPicturedScreens)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    // A home of its own: the documents made here never reach the user's.
    QTemporaryDir home;
    for (const char* variable : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        const QString folder = home.path() + QLatin1Char('/') + QLatin1String(variable);
        QDir().mkpath(folder);
        qputenv(variable, QFile::encodeName(folder));
    }
    return runQtBenchmarks<QApplication>(argc, argv, BenchSettings::Private);
}
