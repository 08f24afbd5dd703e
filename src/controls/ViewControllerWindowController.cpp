#include "controls/ViewControllerWindowController.h"

#include <QVBoxLayout>

ViewControllerWindowController::ViewControllerWindowController(QObject* parent)
    : QObject(parent)
    , m_window(new QWidget(nullptr, Qt::Window))
{
    auto* layout = new QVBoxLayout(m_window);
    layout->setContentsMargins(0, 0, 0, 0);
}

ViewControllerWindowController::~ViewControllerWindowController()
{
    // The controller deletes its view; the window goes after it.
    delete m_viewController.data();
    delete m_window.data();
}

void ViewControllerWindowController::setViewController(ViewController* controller)
{
    if (controller == m_viewController)
        return;
    delete m_viewController.data();
    m_viewController = controller;
    if (!controller || !m_window)
        return;
    controller->setParent(this);
    QWidget* content = controller->view();
    const QSize size = content->size();
    m_window->layout()->addWidget(content);
    content->show();
    if (!size.isEmpty())
        m_window->resize(size);
    if (!controller->title().isEmpty())
        m_window->setWindowTitle(controller->title());
}

void ViewControllerWindowController::showWindow()
{
    if (!m_window)
        return;
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void ViewControllerWindowController::close()
{
    if (m_window)
        m_window->close();
}
