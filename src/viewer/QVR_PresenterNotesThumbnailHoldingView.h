#pragma once

#include "creator/thumbnails/QVR_ThumbnailHoldingView.h"

// An item of the presenter notes' screen strip: a light frame around the screen's preview, a shade darker while
// selected, without the editing bar's selection artwork.
class QVR_PresenterNotesThumbnailHoldingView : public QVR_ThumbnailHoldingView {
    Q_OBJECT
public:
    explicit QVR_PresenterNotesThumbnailHoldingView(const QRect& frame, QWidget* parent = nullptr);

    void setSelected(bool selected) override;
    QColor backgroundColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
