#include "controls/ViewController.h"

ViewController::ViewController(QObject* parent)
    : QObject(parent)
{
}

ViewController::~ViewController()
{
    delete m_view.data();
}

QWidget* ViewController::view()
{
    if (!m_view && !m_loading) {
        m_loading = true;
        loadView();
        if (!m_view)
            setView(new QWidget);
        m_loading = false;
        viewDidLoad();
    }
    return m_view;
}

void ViewController::setView(QWidget* view)
{
    if (view == m_view)
        return;
    delete m_view.data();
    m_view = view;
}

void ViewController::setTitle(const QString& title)
{
    if (title == m_title)
        return;
    m_title = title;
    emit titleChanged(title);
}

void ViewController::loadView()
{
    setView(new QWidget);
}
