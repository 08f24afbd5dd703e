#include "viewer/QVR_PresenterNotesThumbnailHoldingView.h"

#include <QLabel>
#include <QPainter>

QVR_PresenterNotesThumbnailHoldingView::QVR_PresenterNotesThumbnailHoldingView(const QRect& frame, QWidget* parent)
    : QVR_ThumbnailHoldingView(frame, parent)
{
    setSelected(false);
}

void QVR_PresenterNotesThumbnailHoldingView::setSelected(bool selected)
{
    QVR_ThumbnailHoldingView::setSelected(selected);
    // The number stays dark on the light frame in both states.
    QPalette palette = screenNumberLabel()->palette();
    palette.setColor(QPalette::WindowText, QColor(64, 64, 64));
    screenNumberLabel()->setPalette(palette);
}

QColor QVR_PresenterNotesThumbnailHoldingView::backgroundColor() const
{
    const float white = isSelected() ? 0.86f : 0.96f;
    return QColor::fromRgbF(white, white, white);
}

void QVR_PresenterNotesThumbnailHoldingView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), backgroundColor());
}
