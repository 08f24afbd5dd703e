#include "viewer/QVRScreenLinkThumbnailBar.h"

#include <QDragMoveEvent>
#include <QKeyEvent>

#include "app/ViewerKeyNotifications.h"
#include "platform/NotificationCenter.h"

QVRScreenLinkThumbnailBar::QVRScreenLinkThumbnailBar(QWidget* parent)
    : QVRThumbnailBar(parent)
{
}

bool QVRScreenLinkThumbnailBar::canDragItemsAtIndexes(const QList<int>&) const
{
    return false;
}

QMimeData* QVRScreenLinkThumbnailBar::writeItemsAtIndexes(const QList<int>&)
{
    return nullptr;
}

void QVRScreenLinkThumbnailBar::keyPressEvent(QKeyEvent* event)
{
    if (!m_shouldPassTouches) {
        QVRThumbnailBar::keyPressEvent(event);
        return;
    }
    NotificationCenter::defaultCenter().post(
        TessarineViewerViewKeyDownNotificationName, this,
        {{TessarineViewerViewKeyDownNotificationUserDictKey, QVariant::fromValue(event->keyCombination())}});
    event->accept();
}

// Drops are answered as a private operation would be, and never taken.
void QVRScreenLinkThumbnailBar::dragEnterEvent(QDragEnterEvent* event)
{
    event->ignore();
}

void QVRScreenLinkThumbnailBar::dragMoveEvent(QDragMoveEvent* event)
{
    event->ignore();
}

void QVRScreenLinkThumbnailBar::dropEvent(QDropEvent* event)
{
    event->setDropAction(Qt::IgnoreAction);
    event->ignore();
}
