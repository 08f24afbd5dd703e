#pragma once

#include <QPointer>

#include "controls/ViewController.h"

class NavigationController;

// Base of the pages shown by a NavigationController; knows the navigation controller that shows it (weakly), so a
// page can push the next one.
class NavigationControllerFriendlyViewController : public ViewController {
    Q_OBJECT
public:
    explicit NavigationControllerFriendlyViewController(QObject* parent = nullptr);

    NavigationController* navigationController() const { return m_navigationController; }
    void setNavigationController(NavigationController* controller) { m_navigationController = controller; }

private:
    QPointer<NavigationController> m_navigationController;
};
