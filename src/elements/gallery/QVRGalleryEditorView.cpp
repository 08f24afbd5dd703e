#include "elements/gallery/QVRGalleryEditorView.h"

#include <QContextMenuEvent>
#include <QKeyEvent>

QVRGalleryEditorView::QVRGalleryEditorView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("QVRGalleryEditorView"));
}

void QVRGalleryEditorView::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && m_returnHandler &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        event->accept();
        m_returnHandler();
        return;
    }
    QWidget::keyPressEvent(event);
}

void QVRGalleryEditorView::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
}
