#include "viewer/QVRPresentationNotesView.h"

#include <QKeyEvent>
#include <QPushButton>

#include "app/ViewerKeyNotifications.h"
#include "platform/NotificationCenter.h"

QVRPresentationNotesView::QVRPresentationNotesView(QWidget* parent)
    : QWidget(parent)
    , m_swapDisplaysButton(new QPushButton(this))
{
    setFocusPolicy(Qt::StrongFocus);
    m_swapDisplaysButton->setObjectName(QStringLiteral("swapDisplaysButton"));
    m_swapDisplaysButton->setFocusPolicy(Qt::NoFocus);
    m_swapDisplaysButton->hide();
    watchWindow();
}

void QVRPresentationNotesView::keyPressEvent(QKeyEvent* event)
{
    NotificationCenter::defaultCenter().post(
        TessarineViewerViewKeyDownNotificationName, this,
        {{TessarineViewerViewKeyDownNotificationUserDictKey, QVariant::fromValue(event->keyCombination())}});
    event->accept();
}

bool QVRPresentationNotesView::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::ParentChange)
        watchWindow();
    return handled;
}

bool QVRPresentationNotesView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_watchedWindow && (event->type() == QEvent::WindowStateChange || event->type() == QEvent::Show))
        updateSwapButton();
    return QWidget::eventFilter(watched, event);
}

// The view may be a window of its own (full screen) or sit in another one: the button follows whichever holds it.
void QVRPresentationNotesView::watchWindow()
{
    if (m_watchedWindow == window())
        return;
    if (m_watchedWindow)
        m_watchedWindow->removeEventFilter(this);
    m_watchedWindow = window();
    m_watchedWindow->installEventFilter(this);
    updateSwapButton();
}

void QVRPresentationNotesView::updateSwapButton()
{
    m_swapDisplaysButton->setVisible(m_watchedWindow && m_watchedWindow->isFullScreen());
}
