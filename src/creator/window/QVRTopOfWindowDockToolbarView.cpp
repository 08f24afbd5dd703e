#include "creator/window/QVRTopOfWindowDockToolbarView.h"

#include <QEvent>
#include <QLinearGradient>
#include <QPainter>

#include "foundation/Tessutils.h"

QVRTopOfWindowDockToolbarView::QVRTopOfWindowDockToolbarView(QWidget* xyPalette, QWidget* dockedPopoverView,
                                                             QWidget* parent)
    : QVRDockToolbarView(parent)
    , m_xyPalette(xyPalette)
    , m_dockedPopover(dockedPopoverView)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (m_xyPalette) {
        // As wide as its fields want, no wider: the strip holds it beside the docked popover.
        if (const QSize hint = m_xyPalette->sizeHint(); hint.isValid())
            m_xyPalette->resize(hint.width(), kShownHeight);
        setDockToolbarAlignment(m_xyPalette, AlignRight);
        m_xyPalette->setHidden(true);
        dockToolbarView(m_xyPalette);
        watch(m_xyPalette);
    }
    if (m_dockedPopover) {
        m_dockedPopover->resize(kDockedPopoverWidth, kShownHeight);
        setDockToolbarAlignment(m_dockedPopover, AlignLeft);
        m_dockedPopover->setHidden(!Tessutils::isPopoverDocked());
        dockToolbarView(m_dockedPopover);
        watch(m_dockedPopover);
    }
    hideOrShowIfNeeded();
}

void QVRTopOfWindowDockToolbarView::watch(QWidget* panel)
{
    panel->installEventFilter(this);
}

bool QVRTopOfWindowDockToolbarView::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == m_xyPalette || watched == m_dockedPopover) &&
        (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent)) {
        hideOrShowIfNeeded();
        layoutDockedViews();
        emit panelsChanged();
    }
    return QVRDockToolbarView::eventFilter(watched, event);
}

int QVRTopOfWindowDockToolbarView::widthNeeded() const
{
    int needed = 0;
    for (QWidget* view : dockedViews())
        if (!view->isHidden())
            needed += view->width();
    return needed;
}

void QVRTopOfWindowDockToolbarView::hideOrShowIfNeeded()
{
    const QList<QWidget*> views = dockedViews();
    const bool allHidden = std::all_of(views.begin(), views.end(), [](QWidget* view) { return view->isHidden(); });
    setHidden(allHidden);
}

void QVRTopOfWindowDockToolbarView::setVisible(bool visible)
{
    QVRDockToolbarView::setVisible(visible);
    setFixedHeight(visible ? kShownHeight : 0);
}

void QVRTopOfWindowDockToolbarView::changeEvent(QEvent* event)
{
    QVRDockToolbarView::changeEvent(event);
    if (event->type() == QEvent::ActivationChange)
        update();
}

bool QVRTopOfWindowDockToolbarView::event(QEvent* event)
{
    // The window's activation reaches its children as these events; the activation change only the window.
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate)
        update();
    return QVRDockToolbarView::event(event);
}

void QVRTopOfWindowDockToolbarView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawTopLine(painter);
    const bool main = isActiveWindow();
    const QColor start = main ? QColor::fromRgbF(0.3f, 0.3f, 0.31f) : QColor::fromRgbF(0.39f, 0.39f, 0.4f);
    const QColor end = main ? QColor::fromRgbF(0.32f, 0.32f, 0.33f) : QColor::fromRgbF(0.41f, 0.41f, 0.42f);
    // The lighter end at the top, the darker start at the bottom, then a black bottom row.
    const QRect body(0, 0, width(), height() - 1);
    QLinearGradient gradient(body.topLeft(), body.bottomLeft() + QPoint(0, 1));
    gradient.setColorAt(0, end);
    gradient.setColorAt(1, start);
    painter.fillRect(body, gradient);
    painter.fillRect(QRect(0, height() - 1, width(), 1), Qt::black);
}
