#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

class QVR_FirstLaunchViewController;

// The first-launch tour window. The window owns its controller and is deleted when it closes; the lists window
// shows it once per run while nobody is signed in.
class QVR_FirstLaunchWindowController : public QObject {
    Q_OBJECT
public:
    static constexpr int kWidth = 820;
    static constexpr int kHeight = 660;

    QVR_FirstLaunchWindowController();

    QWidget* window() const { return m_window; }
    QVR_FirstLaunchViewController* viewController() const { return m_viewController; }

private:
    QPointer<QWidget> m_window;
    QVR_FirstLaunchViewController* m_viewController = nullptr;
};
