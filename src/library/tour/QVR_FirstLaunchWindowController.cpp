#include "library/tour/QVR_FirstLaunchWindowController.h"

#include <QVBoxLayout>

#include "library/tour/QVR_FirstLaunchViewController.h"
#include "strings/UFM.h"

QVR_FirstLaunchWindowController::QVR_FirstLaunchWindowController()
{
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setObjectName(QStringLiteral("firstLaunchWindow"));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(UFM::SAYS_GET_STARTED());
    // The window owns its controller.
    setParent(window);
    m_viewController = new QVR_FirstLaunchViewController(window);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_viewController);
    window->resize(kWidth, kHeight);
    m_window = window;
}
