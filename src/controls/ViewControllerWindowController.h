#pragma once

#include <QPointer>

#include "controls/ViewController.h"

// A window of its own that shows one view controller's view as its content. Owns the window and the view
// controller it is given.
class ViewControllerWindowController : public QObject {
    Q_OBJECT
public:
    explicit ViewControllerWindowController(QObject* parent = nullptr);
    ~ViewControllerWindowController() override;

    QWidget* window() const { return m_window; }

    // Takes ownership; the previous controller is deleted. The window takes the view's size.
    void setViewController(ViewController* controller);
    ViewController* viewController() const { return m_viewController; }

    void showWindow();
    void close();

private:
    QPointer<QWidget> m_window;
    QPointer<ViewController> m_viewController;
};
