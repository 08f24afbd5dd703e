#pragma once

#include <memory>

#include <QApplication>
#include <QPointer>
#include <QJsonArray>
#include <QMainWindow>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointF>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include "app/QVRWindowManager.h"
#include "gestures/handler/QVR_LeapHandler.h"
#include "platform/AlertPresenter.h"
#include "platform/leap/Controller.h"
#include "platform/leap/ScriptedBackend.h"

// Builds JSON Lines scripts of the scripted controller and replays them one event at a time into the shared
// gesture handler, delivering the posted notifications after each step.
namespace replay {

// The scripted controller's default interaction box.
constexpr double kBoxCenterY = 200;
constexpr double kBoxSize = 235;

inline QJsonArray vec(double x, double y, double z)
{
    return QJsonArray{x, y, z};
}

// A pointable whose tip lies at (x, y) of a window of `size`, window coordinates (y down).
inline QJsonObject pointableAt(int id, QPointF point, QSize size, double touchDistance)
{
    const double nx = point.x() / size.width();
    const double ny = 1.0 - point.y() / size.height();
    return QJsonObject{{"id", id},
                       {"tipPosition", vec((nx - 0.5) * kBoxSize, kBoxCenterY + (ny - 0.5) * kBoxSize, 0)},
                       {"touchDistance", touchDistance}};
}

// A hovering pointable somewhere, for frames whose positions do not matter.
inline QJsonObject finger(int id, double touchDistance = 0.5)
{
    return QJsonObject{{"id", id}, {"tipPosition", vec(0, 200, 0)}, {"touchDistance", touchDistance}};
}

inline QJsonArray fingers(int count)
{
    QJsonArray list;
    for (int i = 0; i < count; ++i)
        list.append(finger(10 + i));
    return list;
}

inline QJsonObject swipe(int id, const char* state, double dx, double dy, double dz)
{
    return QJsonObject{{"id", id}, {"type", "swipe"}, {"state", state}, {"direction", vec(dx, dy, dz)}};
}

inline QJsonObject circle(int id, const char* state, double progress, double normalZ = 1)
{
    return QJsonObject{
        {"id", id}, {"type", "circle"}, {"state", state}, {"progress", progress}, {"normal", vec(0, 0, normalZ)}};
}

inline QString frame(const QJsonArray& pointables, const QJsonArray& gestures = {})
{
    QJsonObject o{{"event", "frame"}, {"pointables", pointables}, {"gestures", gestures}};
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

inline QString event(const char* name)
{
    return QStringLiteral("{\"event\":\"%1\"}").arg(QLatin1String(name));
}

inline void drain()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(); // what the first round posted (mouse events to widgets)
}

class Fixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        QVR_LeapHandler::resetForTesting();
        AlertPresenter::setShared(&alerts);
        QVRWindowManager::setViewerWindowFactory([](const auto&) { return new QWidget; });
        QVRWindowManager::setCreatorWindowFactory([] { return new QMainWindow; });
    }
    void TearDown() override
    {
        Leap::Controller::setDefaultBackendFactory({});
        QVR_LeapHandler::resetForTesting();
        // A window takes its own menus and child windows with it: delete only what is still there.
        QList<QPointer<QWidget>> windows;
        for (QWidget* w : QApplication::topLevelWidgets())
            windows.append(w);
        for (const QPointer<QWidget>& w : windows)
            delete w.data();
        drain();
        AlertPresenter::setShared(nullptr);
    }

    // Starts the shared handler on `lines`, the first line delivered at once (usually "connect").
    QVR_LeapHandler& start(const QStringList& lines)
    {
        QString error;
        auto events = Leap::ScriptedBackend::parse(lines.join('\n').toUtf8(), &error);
        EXPECT_TRUE(events) << error.toStdString();
        backend = std::make_shared<Leap::ScriptedBackend>(
            events ? *events : std::vector<Leap::ScriptedBackend::Event>{}, Leap::ScriptedBackend::Mode::Synchronous);
        Leap::Controller::setDefaultBackendFactory([b = backend] { return b; });
        QVR_LeapHandler& handler = QVR_LeapHandler::sharedLeapHandler();
        handler.run();
        drain();
        step();
        return handler;
    }
    void step(int count = 1)
    {
        ASSERT_TRUE(backend) << "no script was started";
        for (int i = 0; i < count; ++i) {
            backend->step();
            drain();
        }
    }

    static QWidget* activate(QWidget* window)
    {
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == window; }, 5000));
        return window;
    }
    static QWidget* viewerWindow(QSize size = QSize(400, 300))
    {
        QWidget* w = QVRWindowManager::sharedInstance().makeViewerWindowForModel(nullptr);
        w->resize(size);
        return activate(w);
    }

    RecordingAlertPresenter alerts;
    std::shared_ptr<Leap::ScriptedBackend> backend;
};

} // namespace replay
