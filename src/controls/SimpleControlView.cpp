#include "controls/SimpleControlView.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>

SimpleControlView::SimpleControlView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_Hover);
}

void SimpleControlView::setCurrentControlState(int state)
{
    if (state == m_state)
        return;
    m_state = state;
    update();
}

void SimpleControlView::clicked()
{
    emit controlClicked();
}

void SimpleControlView::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    setCurrentControlState(m_pressed ? PressedInside : PointerInside);
}

void SimpleControlView::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    setCurrentControlState(PointerOutside);
}

void SimpleControlView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_pressed = true;
    setCurrentControlState(PressedInside);
}

void SimpleControlView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressed)
        return;
    // While pressed the view keeps the mouse: dragging out and back in toggles between outside and pressed.
    setCurrentControlState(rect().contains(event->position().toPoint()) ? PressedInside : PointerOutside);
}

void SimpleControlView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    m_pressed = false;
    const bool inside = rect().contains(event->position().toPoint());
    setCurrentControlState(inside ? PointerInside : PointerOutside);
    if (inside && isEnabled())
        clicked();
}

void SimpleControlView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        m_pressed = false;
        setCurrentControlState(PointerOutside);
    }
}

void SimpleControlView::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) && isEnabled()) {
        event->accept();
        clicked();
        return;
    }
    QWidget::keyPressEvent(event);
}
