#include "controls/MouseEventShieldWindow.h"

#include <QApplication>
#include <QChildEvent>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QWheelEvent>

#include "controls/PanelFocusReturn.h"

ShieldCloseOnClickView::ShieldCloseOnClickView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("closeOnClickView"));
    setMouseTracking(true);
}

void ShieldCloseOnClickView::performClose()
{
    // Copied first: the block usually closes and releases the shield that owns this view.
    if (auto block = m_onCloseBlock)
        block();
}

void ShieldCloseOnClickView::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    performClose();
}

void ShieldCloseOnClickView::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void ShieldCloseOnClickView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The first press of a double click already closed; the second one is swallowed.
    event->accept();
}

void ShieldCloseOnClickView::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
}

void ShieldCloseOnClickView::wheelEvent(QWheelEvent* event)
{
    event->accept();
}

void ShieldCloseOnClickView::paintEvent(QPaintEvent*)
{
    if (m_tint.alpha() == 0)
        return;
    QPainter painter(this);
    painter.fillRect(rect(), m_tint);
}

MouseEventShieldWindow* MouseEventShieldWindow::sheildWindowForWindow(QWidget* window)
{
    if (!window)
        return nullptr;
    return new MouseEventShieldWindow(window->window(), true);
}

MouseEventShieldWindow::MouseEventShieldWindow(QWidget* window, bool)
    : QWidget(window)
    , m_coveredWindow(window)
{
    // Closed, the shield gives the keyboard back where it was before its panel opened.
    PanelFocusReturn::install(this);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(window->rect());
    setUpCloseOnClickView();
    window->installEventFilter(this);
    hide();
}

MouseEventShieldWindow::MouseEventShieldWindow(const QRect& contentRect)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::Tool)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setGeometry(contentRect);
    setUpCloseOnClickView();
}

void MouseEventShieldWindow::setUpCloseOnClickView()
{
    // Sized at once, not at the first showing: panels are laid out in it before the shield is shown.
    m_closeOnClickView = new ShieldCloseOnClickView(this);
    m_closeOnClickView->setGeometry(rect());
    // Escape acts as a click beside the panel while the shield shows; matched before any focused child.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), m_closeOnClickView);
    escape->setObjectName(QStringLiteral("closeOnEscape"));
    connect(escape, &QShortcut::activated, m_closeOnClickView, &ShieldCloseOnClickView::performClose);
}

void MouseEventShieldWindow::setBackgroundColor(const QColor& color)
{
    m_closeOnClickView->m_tint = color.isValid() ? color : QColor(Qt::transparent);
    m_closeOnClickView->update();
}

void MouseEventShieldWindow::setPassesEventsThrough(bool passes)
{
    if (!m_coveredWindow || passes == m_passesEventsThrough)
        return;
    m_passesEventsThrough = passes;
    // Beside the work, the panel takes Escape only while it has the keyboard: elsewhere the key is the window's
    // (a sheet opened meanwhile closes with it).
    if (auto* escape = m_closeOnClickView->findChild<QShortcut*>(QStringLiteral("closeOnEscape")))
        escape->setContext(passes ? Qt::WidgetWithChildrenShortcut : Qt::WindowShortcut);
    m_closeOnClickView->installEventFilter(this);
    for (QObject* child : m_closeOnClickView->children())
        child->installEventFilter(this);
    if (passes) {
        qApp->installEventFilter(this);
        updatePassThroughMask();
    } else {
        qApp->removeEventFilter(this);
        clearMask();
    }
}

void MouseEventShieldWindow::updatePassThroughMask()
{
    if (!m_passesEventsThrough)
        return;
    QRegion region;
    for (QObject* child : m_closeOnClickView->children()) {
        auto* panel = qobject_cast<QWidget*>(child);
        if (panel && !panel->isHidden())
            region += QRect(m_closeOnClickView->mapTo(this, panel->pos()), panel->size());
    }
    // An empty mask would mean no mask at all: the whole shield.
    setMask(region.isEmpty() ? QRegion(0, 0, 1, 1) : region);
}

bool MouseEventShieldWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_coveredWindow) {
        if (event->type() == QEvent::Resize)
            setGeometry(m_coveredWindow->rect());
        else if (event->type() == QEvent::ChildAdded && isVisible())
            raise(); // stays above anything the window adds while the shield is up
    }
    if (!m_passesEventsThrough)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::ChildAdded:
    case QEvent::ChildRemoved:
        if (watched == m_closeOnClickView) {
            if (event->type() == QEvent::ChildAdded)
                static_cast<QChildEvent*>(event)->child()->installEventFilter(this);
            updatePassThroughMask();
        }
        break;
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
        if (watched->parent() == m_closeOnClickView)
            updatePassThroughMask();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        // A click beside the panel, anywhere in the covered window, closes it and goes on to where it was aimed.
        auto* target = qobject_cast<QWidget*>(watched);
        if (isVisible() && target && m_coveredWindow && target->window() == m_coveredWindow->window() &&
            target != this && !isAncestorOf(target))
            m_closeOnClickView->performClose();
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void MouseEventShieldWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_closeOnClickView->setGeometry(rect());
}

void MouseEventShieldWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    raise();
    // A panel laid out in the shield may have given the focus to one of its controls already (the guide's list
    // takes the arrow keys at once): it keeps it. Otherwise the shield takes it, so Escape reaches it.
    QWidget* focused = window() ? window()->focusWidget() : nullptr;
    if (focused && focused != m_closeOnClickView && m_closeOnClickView->isAncestorOf(focused))
        focused->setFocus(Qt::OtherFocusReason);
    else
        m_closeOnClickView->setFocus(Qt::OtherFocusReason);
}
