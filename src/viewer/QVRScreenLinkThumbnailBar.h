#pragma once

#include "creator/thumbnails/QVRThumbnailBar.h"

// A read-only thumbnail bar: the strip of a flow's screens that presenter notes and link pickers show. Nothing is
// dragged out of it and nothing dropped onto it is taken. With shouldPassTouches, key presses are not handled here
// but posted as "TessarineViewerViewKeyDownNotificationName" with the bar as sender, for the viewer to act on.
class QVRScreenLinkThumbnailBar : public QVRThumbnailBar {
    Q_OBJECT
public:
    explicit QVRScreenLinkThumbnailBar(QWidget* parent = nullptr);

    bool shouldPassTouches() const { return m_shouldPassTouches; }
    void setShouldPassTouches(bool passes) { m_shouldPassTouches = passes; }

    bool canDragItemsAtIndexes(const QList<int>& indexes) const override;
    QMimeData* writeItemsAtIndexes(const QList<int>& indexes) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool m_shouldPassTouches = false;
};
