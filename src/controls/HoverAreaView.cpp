#include "controls/HoverAreaView.h"

#include <QCursor>
#include <QEnterEvent>

HoverAreaView::HoverAreaView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_Hover);
}

void HoverAreaView::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    setInside(true);
}

void HoverAreaView::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    setInside(false);
}

void HoverAreaView::updateTrackingAreas()
{
    setInside(isVisible() && rect().contains(mapFromGlobal(QCursor::pos())));
}

void HoverAreaView::setInside(bool inside)
{
    // Enter and leave come in pairs: a repeated event (or a refresh that finds nothing new) runs no block.
    if (inside == m_inside)
        return;
    m_inside = inside;
    auto block = inside ? m_onEnter : m_onExit;
    if (block)
        block();
}
