#include "gestures/handler/GesturesHandlerLibrary.h"

#include "app/AppStartupHooks.h"
#include "gestures/LeapController.h"
#include "gestures/handler/QVR_LeapHandler.h"
#include "gestures/handler/QVR_LeapHandlerView.h"
#include "platform/leap/Controller.h"

void registerGesturesLibrary()
{
    // Controllers read frames from the replay script the environment names, else from nothing.
    Leap::Controller::setDefaultBackendFactory(&Leap::Controller::environmentBackend);
    auto& hooks = AppStartupHooks::shared();
    hooks.startGestureHandler = [] { QVR_LeapHandler::sharedLeapHandler().run(); };
    hooks.gestureControllerIsConnected = [] {
        if (!QVR_LeapHandler::isRunning())
            return false;
        LeapController* controller = QVR_LeapHandler::sharedLeapHandler().controller();
        return controller && controller->isConnected();
    };
    hooks.showGestureDisconnectAlert = [] {
        if (QVR_LeapHandler::isRunning())
            QVR_LeapHandler::sharedLeapHandler().showDisconnectAlert(true);
    };
    // Without a started handler there is nobody to give the overlay to.
    hooks.createGestureHandlerView = [] {
        if (QVR_LeapHandler::isRunning())
            QVR_LeapHandler::sharedLeapHandler().setHandlerView(new QVR_LeapHandlerView(QRect(0, 0, 100, 100)));
    };
}
