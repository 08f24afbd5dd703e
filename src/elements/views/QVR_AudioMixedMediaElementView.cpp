#include "elements/views/QVR_AudioMixedMediaElementView.h"

#include <cmath>

#include "elements/audio/QVOAudioController.h"
#include "elements/images/AudioElementDrawing.h"
#include "elements/views/AudioProgressRingView.h"
#include "elements/views/QVOAudioIconView.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

QVR_AudioMixedMediaElementView::QVR_AudioMixedMediaElementView(
    const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, QGraphicsItem* parent)
    : QVR_VirtualMixedMediaElementView(object, parent)
{
    m_iconView = new QVOAudioIconView(this);
    showVolumeImage();
    m_progressView = new AudioProgressRingView(this);
    m_progressView->setZValue(1);
    layOutSubviews();

    m_resetTimer.setSingleShot(true);
    m_resetTimer.setInterval(kResetAfterStopMilliseconds);
    connect(&m_resetTimer, &QTimer::timeout, this, [this] {
        m_progressView->setProgress(0.0);
        showVolumeImage();
    });
}

QVR_AudioMixedMediaElementView::~QVR_AudioMixedMediaElementView()
{
    stopObserving();
}

void QVR_AudioMixedMediaElementView::setFrame(const QRectF& frame)
{
    QVR_VirtualMixedMediaElementView::setFrame(frame);
    layOutSubviews();
}

void QVR_AudioMixedMediaElementView::layOutSubviews()
{
    if (!m_iconView || !m_progressView)
        return;
    const QRectF panel = bounds();
    m_iconView->setFrame(AudioElementDrawing::iconRectForPanel(panel));
    QRectF ring = AudioElementDrawing::ringRectForPanel(panel);
    if (ring.width() < 0 || ring.height() < 0)
        ring = QRectF(ring.topLeft(), QSizeF(0, 0));
    m_progressView->setFrame(ring);
}

void QVR_AudioMixedMediaElementView::setPreviewMode(bool previewMode)
{
    QVR_VirtualMixedMediaElementView::setPreviewMode(previewMode);
    if (!previewMode) {
        stopObserving();
        return;
    }
    // Observing twice would run every handler twice.
    if (!m_observations.empty())
        return;
    const auto observe = [this](const QString& name,
                                void (QVR_AudioMixedMediaElementView::*handler)(const Notification&)) {
        m_observations.emplace_back(name, nullptr, [this, handler](const Notification& n) { (this->*handler)(n); });
    };
    observe(QVOAudioPlaybackDidStartNotification, &QVR_AudioMixedMediaElementView::handleAudioDidStartNotification);
    observe(QVOAudioPlaybackDidStopNotification, &QVR_AudioMixedMediaElementView::handleAudioDidStopNotification);
    observe(QVOAudioPlaybackDidMakeProgressNotification,
            &QVR_AudioMixedMediaElementView::handleAudioProgressNotification);
    observe(QVOAudioPlaybackDidPauseNotification, &QVR_AudioMixedMediaElementView::handleAudioDidPauseNotification);
}

void QVR_AudioMixedMediaElementView::stopObserving()
{
    m_observations.clear();
}

bool QVR_AudioMixedMediaElementView::shouldRespondToNotification(const Notification& notification) const
{
    const QVariant id = notification.userInfo.value(QVOInternalIDKey);
    if (id.typeId() != QMetaType::QString)
        return false;
    const auto proxy = mixedMediaObject();
    if (!proxy || !proxy->object())
        return false;
    return id.toString() == proxy->object()->internalID();
}

void QVR_AudioMixedMediaElementView::showVolumeImage()
{
    m_iconView->setIconType(AudioElementDrawing::SoundIcon);
}

void QVR_AudioMixedMediaElementView::showPlayImage()
{
    m_iconView->setIconType(AudioElementDrawing::PlayIcon);
}

void QVR_AudioMixedMediaElementView::showPauseImage()
{
    m_iconView->setIconType(AudioElementDrawing::PauseIcon);
}

void QVR_AudioMixedMediaElementView::handleAudioDidStartNotification(const Notification& notification)
{
    if (!shouldRespondToNotification(notification))
        return;
    // A clip restarted right after its stop must not be shown at rest while it plays.
    m_resetTimer.stop();
    showPauseImage();
}

void QVR_AudioMixedMediaElementView::handleAudioDidStopNotification(const Notification& notification)
{
    if (!shouldRespondToNotification(notification))
        return;
    m_progressView->setProgress(1.0);
    m_resetTimer.start();
}

void QVR_AudioMixedMediaElementView::handleAudioProgressNotification(const Notification& notification)
{
    if (!shouldRespondToNotification(notification))
        return;
    const QVariant value = notification.userInfo.value(QVOAudioProgressKey);
    bool isNumber = false;
    const float progress = value.isValid() ? value.toFloat(&isNumber) : 0.0f;
    if (!isNumber || !std::isfinite(progress))
        return;
    m_progressView->setProgress(progress);
}

void QVR_AudioMixedMediaElementView::handleAudioDidPauseNotification(const Notification& notification)
{
    if (!shouldRespondToNotification(notification))
        return;
    showPlayImage();
}

void QVR_AudioMixedMediaElementView::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    // The icon and the ring are child items above the panel.
    AudioElementDrawing::drawPanel(painter, bounds());
}
