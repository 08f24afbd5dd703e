#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWidget>

#include "app/QVRWindowManager.h"
#include "gestures/handler/QVR_LeapHandler.h"
#include "gestures/handler/QVR_LeapHandlerView.h"
#include "platform/leap/Controller.h"
#include "platform/leap/ScriptedBackend.h"
#include "support/QtBenchmarkMain.h"

namespace {

struct PaintCounter : QObject {
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
    int paints = 0;
};

QJsonArray vec(double x, double y, double z)
{
    return QJsonArray{x, y, z};
}

QJsonObject pointable(int id, double x, double y, double touchDistance)
{
    return QJsonObject{{"id", id}, {"tipPosition", vec(x, y, 0)}, {"touchDistance", touchDistance}};
}

// 600 frames in cycles of 100: hovering towards the surface, touching while moving (scrolling), a three-finger
// swipe, and a counter-clockwise circle past two turns.
QByteArray script()
{
    QStringList lines{QStringLiteral("{\"event\":\"connect\"}")};
    int gestureID = 1;
    for (int cycle = 0; cycle < 6; ++cycle) {
        for (int i = 0; i < 100; ++i) {
            const double x = -100 + 2 * i;
            const double y = 150 + 50 * std::sin(i / 10.0);
            QJsonArray pointables;
            QJsonArray gestures;
            if (i < 30) {
                pointables.append(pointable(1, x, y, 0.9 - i * 0.03));
            } else if (i < 60) {
                pointables.append(pointable(1, x, y, -0.3));
            } else if (i < 75) {
                for (int f = 0; f < 3; ++f)
                    pointables.append(pointable(1 + f, x + 20 * f, y, 0.5));
                const char* state = i == 60 ? "start" : (i == 74 ? "stop" : "update");
                gestures.append(QJsonObject{
                    {"id", gestureID}, {"type", "swipe"}, {"state", state}, {"direction", vec(i % 2 ? -1 : 1, 0, 0)}});
            } else {
                pointables.append(pointable(1, x, y, 0.5));
                const char* state = i == 75 ? "start" : (i == 99 ? "stop" : "update");
                gestures.append(QJsonObject{{"id", gestureID + 1},
                                            {"type", "circle"},
                                            {"state", state},
                                            {"progress", (i - 75) * 0.12},
                                            {"normal", vec(0, 0, 1)}});
            }
            if (i == 99)
                gestureID += 2;
            QJsonObject frame{{"event", "frame"}, {"pointables", pointables}, {"gestures", gestures}};
            lines << QString::fromUtf8(QJsonDocument(frame).toJson(QJsonDocument::Compact));
        }
    }
    return lines.join('\n').toUtf8();
}

void BM_GestureFrameHandling(benchmark::State& state)
{
    QVRWindowManager::setViewerWindowFactory([](const auto&) { return new QWidget; });
    QWidget* window = QVRWindowManager::sharedInstance().makeViewerWindowForModel(nullptr);
    window->resize(1440, 900);
    window->show();
    window->activateWindow();
    QApplication::processEvents();

    std::vector<double> frameMs;
    PaintCounter paints;
    for (auto _ : state) {
        auto events = Leap::ScriptedBackend::parse(script());
        auto backend = std::make_shared<Leap::ScriptedBackend>(*events, Leap::ScriptedBackend::Mode::Synchronous);
        Leap::Controller::setDefaultBackendFactory([backend] { return backend; });
        QVR_LeapHandler& handler = QVR_LeapHandler::sharedLeapHandler();
        handler.run();
        handler.setHandlerView(new QVR_LeapHandlerView);
        handler.handlerView()->installEventFilter(&paints);
        QApplication::processEvents();
        backend->step(); // connect
        QApplication::processEvents();
        QElapsedTimer timer;
        while (!backend->isFinished()) {
            timer.start();
            backend->step();
            // The frame's notification and the mouse events it posts; then the overlay's repaint, forced so that
            // every frame pays for it (the platform may otherwise fold updates together).
            QApplication::processEvents();
            handler.handlerView()->repaint();
            frameMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        QVR_LeapHandler::resetForTesting();
        Leap::Controller::setDefaultBackendFactory({});
    }
    delete window;

    std::vector<double> sorted = frameMs;
    std::sort(sorted.begin(), sorted.end());
    const double mean = std::accumulate(sorted.begin(), sorted.end(), 0.0) / double(std::max<size_t>(1, sorted.size()));
    const double p99 = sorted.empty() ? 0 : sorted[std::min(sorted.size() - 1, size_t(double(sorted.size()) * 0.99))];
    const double longest = sorted.empty() ? 0 : sorted.back();
    state.counters["frames"] = double(sorted.size());
    state.counters["overlay_paints"] = paints.paints;
    state.counters["mean_ms"] = mean;
    state.counters["p99_ms"] = p99;
    state.counters["max_ms"] = longest;
    std::printf("gesture frames: %zu, mean %.3f ms, 99th percentile %.3f ms, longest %.3f ms (budget 2 ms)\n",
                sorted.size(), mean, p99, longest);
}
BENCHMARK(BM_GestureFrameHandling)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
