#pragma once

#include <vector>

#include <QTimer>

#include "elements/views/QVR_VirtualMixedMediaElementView.h"
#include "platform/NotificationCenter.h"

class AudioProgressRingView;
class QVOAudioIconView;

// The view of an audio object: a dark rounded panel with a white icon in its middle (centred, 0.4 of the width and
// height) and a progress ring inset by 8 points on every side.
//
// While the screen is played or previewed (preview mode) the view follows the audio controller's playback
// notifications for its own object (by "QVOInternalIDKey" = the object's internal id): a start shows the pause
// icon, a pause the play icon, progress moves the ring, and a stop fills the ring and returns to rest 0.05 s later
// unless the clip has started again meanwhile. Outside preview mode it observes nothing and stays as it is.
// Main thread only.
class QVR_AudioMixedMediaElementView : public QVR_VirtualMixedMediaElementView {
    Q_OBJECT
public:
    static constexpr int kResetAfterStopMilliseconds = 50;

    explicit QVR_AudioMixedMediaElementView(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                            QGraphicsItem* parent = nullptr);
    ~QVR_AudioMixedMediaElementView() override;

    QVOAudioIconView* iconView() const { return m_iconView; }
    AudioProgressRingView* progressView() const { return m_progressView; }

    void setPreviewMode(bool previewMode) override;
    void setFrame(const QRectF& frame) override;

    bool shouldRespondToNotification(const Notification& notification) const;
    void showVolumeImage();
    void showPlayImage();
    void showPauseImage();

    void handleAudioDidStartNotification(const Notification& notification);
    void handleAudioDidStopNotification(const Notification& notification);
    void handleAudioProgressNotification(const Notification& notification);
    void handleAudioDidPauseNotification(const Notification& notification);

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    void layOutSubviews();
    void stopObserving();

    QVOAudioIconView* m_iconView = nullptr;          // child item
    AudioProgressRingView* m_progressView = nullptr; // child item, above the icon
    std::vector<NotificationObservation> m_observations;
    // The return to rest after a stop; a new start cancels it. Owned, so it dies with the view.
    QTimer m_resetTimer;
};
