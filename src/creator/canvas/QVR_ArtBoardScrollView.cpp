#include "creator/canvas/QVR_ArtBoardScrollView.h"

#include <utility>

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QCoreApplication>
#include <QGraphicsScene>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QWheelEvent>

#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/thumbnails/QVRThumbnailBar.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "controls/PanelFocusReturn.h"
#include "platform/NotificationCenter.h"

const QString QVR_ArtBoardScrollView::kContentViewBoundsDidChangeNotification =
    QStringLiteral("QVRArtboardSrollViewContentViewBoundsDidChangeNotification");

QVR_ArtBoardScrollView::QVR_ArtBoardScrollView(QWidget* parent)
    : QGraphicsView(parent)
{
}

void QVR_ArtBoardScrollView::contentViewBoundsChanged()
{
    NotificationCenter::defaultCenter().post(kContentViewBoundsDidChangeNotification, this);
}

void QVR_ArtBoardScrollView::wheelEvent(QWheelEvent* event)
{
    // Alt alone zooms, and so does Ctrl alone (the desktop's zoom wheel, free where the window manager takes the
    // Alt wheel for itself); any other wheel scrolls. With Alt held the wheel may arrive as a horizontal one, so
    // whichever component moved counts. One notch (120 eighths of a degree) is a delta of 1.
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (m_artBoard && (modifiers == Qt::AltModifier || modifiers == Qt::ControlModifier)) {
        const QPoint angle = event->angleDelta();
        const double delta = (angle.y() != 0 ? angle.y() : angle.x()) / 120.0;
        if (delta > 0)
            m_artBoard->zoomInWithVelocity(delta);
        else if (delta < 0)
            m_artBoard->zoomOutWithVelocity(-delta);
        event->accept();
        return;
    }
    QGraphicsView::wheelEvent(event);
}

bool QVR_ArtBoardScrollView::event(QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        // With nothing on the board holding the keyboard, Tab leaves the canvas for the window's next control.
        // Left to the scene, it would first hand the keyboard back to the text edited last, where it shows
        // nowhere: the key would seem lost.
        if (tab && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
            !(scene() && scene()->focusItem())) {
            const bool next = key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier);
            if (focusNextPrevChild(next)) {
                event->accept();
                return true;
            }
        }
    }
    return QGraphicsView::event(event);
}

bool QVR_ArtBoardScrollView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::NativeGesture) {
        auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture && m_artBoard) {
            const double delta = gesture->value() * 100.0;
            if (delta > 0)
                m_artBoard->zoomInWithVelocity(delta);
            else if (delta < 0)
                m_artBoard->zoomOutWithVelocity(-delta);
            event->accept();
            return true;
        }
    }
    return QGraphicsView::viewportEvent(event);
}

void QVR_ArtBoardScrollView::contextMenuEvent(QContextMenuEvent* event)
{
    // Items (the screen and its elements) answer first; a click beside them opens the art board's menu.
    QGraphicsView::contextMenuEvent(event);
    if (event->isAccepted() || !m_artBoard)
        return;
    m_artBoard->showContextMenu(event->globalPos());
    event->accept();
}

void QVR_ArtBoardScrollView::mousePressEvent(QMouseEvent* event)
{
    if (std::exchange(m_keyboardFocusShown, false))
        viewport()->update();
    if (event->button() == Qt::LeftButton && (event->modifiers() & Qt::MetaModifier) && m_artBoard &&
        !m_artBoard->isPreviewOnly()) {
        // Through the viewport, so whatever holds its right clicks back holds this one too.
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, event->position().toPoint(),
                                    event->globalPosition().toPoint(), event->modifiers());
        QCoreApplication::sendEvent(viewport(), &menuEvent);
        event->accept();
        return;
    }
    QGraphicsView::mousePressEvent(event);
}

void QVR_ArtBoardScrollView::keyPressEvent(QKeyEvent* event)
{
    auto* creator = qobject_cast<QVR_CreatorWindow*>(window());
    QVRThumbnailBar* strip = creator ? creator->theThumbnailBarView() : nullptr;
    const bool ring = m_keyboardFocusShown; // the step hides this canvas, taking its keyboard
    if (!strip || (event->modifiers() & ~Qt::KeypadModifier) || creator->hasSelectedObjects() ||
        !strip->stepSelectionWithArrow(event)) {
        QGraphicsView::keyPressEvent(event);
        return;
    }
    QVR_SingleScreenArtBoardView* shown = creator->theArtBoard();
    QVR_ArtBoardScrollView* next = shown ? shown->theScrollView() : nullptr;
    if (!next || next == this)
        return;
    PanelFocusReturn::giveKeyboardTo(next);
    next->m_keyboardFocusShown = ring && next->hasFocus();
    next->viewport()->update();
}

void QVR_ArtBoardScrollView::scrollContentsBy(int dx, int dy)
{
    QGraphicsView::scrollContentsBy(dx, dy);
    // A scroll moves the pixels shown, the focus ring's with them.
    if (m_keyboardFocusShown)
        viewport()->update();
    if (m_artBoard)
        m_artBoard->updateVisibleArea();
    contentViewBoundsChanged();
}

void QVR_ArtBoardScrollView::resizeEvent(QResizeEvent* event)
{
    QGraphicsView::resizeEvent(event);
    if (m_artBoard) {
        m_artBoard->updateScrollRange();
        m_artBoard->updateVisibleArea();
    }
}

void QVR_ArtBoardScrollView::drawBackground(QPainter* painter, const QRectF& rect)
{
    const QVR_CreatorSingleScreen* screen = m_artBoard ? m_artBoard->singleScreen() : nullptr;
    if (screen && screen->scene() == scene() && screen->isVisible() && screen->effectiveOpacity() >= 1.0 &&
        screen->mapRectToScene(screen->boundingRect()).contains(rect))
        return;
    QGraphicsView::drawBackground(painter, rect);
}

void QVR_ArtBoardScrollView::paintEvent(QPaintEvent* event)
{
    QGraphicsView::paintEvent(event);
    if (!m_keyboardFocusShown || !hasFocus())
        return;
    QPainter painter(viewport());
    QColor ring = QApplication::palette().color(QPalette::Highlight);
    ring.setAlpha(200);
    painter.setPen(QPen(ring, kKeyboardFocusRingWidth));
    painter.setBrush(Qt::NoBrush);
    const qreal inset = kKeyboardFocusRingWidth / 2.0;
    painter.drawRect(QRectF(viewport()->rect()).adjusted(inset, inset, -inset, -inset));
}

void QVR_ArtBoardScrollView::focusInEvent(QFocusEvent* event)
{
    QGraphicsView::focusInEvent(event);
    const bool returning = std::exchange(m_ringOnReturn, false) && event->reason() != Qt::MouseFocusReason;
    m_keyboardFocusShown =
        returning || event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    if (m_keyboardFocusShown)
        viewport()->update();
    const QPointer<QGraphicsObject> before = std::exchange(m_focusItemBefore, nullptr);
    if (!m_keyboardFocusShown && before && scene() && before->scene() == scene() && !scene()->focusItem() &&
        before->isVisible())
        before->setFocus(event->reason());
}

void QVR_ArtBoardScrollView::focusOutEvent(QFocusEvent* event)
{
    // The first of several focus changes in a row (a popup, then the menu bar) knows the item.
    if (auto* item = scene() ? dynamic_cast<QGraphicsObject*>(scene()->focusItem()) : nullptr)
        m_focusItemBefore = item;
    QGraphicsView::focusOutEvent(event);
    const Qt::FocusReason reason = event->reason();
    m_ringOnReturn = m_keyboardFocusShown && (reason == Qt::PopupFocusReason || reason == Qt::MenuBarFocusReason ||
                                              reason == Qt::ActiveWindowFocusReason);
    if (std::exchange(m_keyboardFocusShown, false))
        viewport()->update();
}
