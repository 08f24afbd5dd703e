#include "elements/audio/QVOAudioController.h"

#include <vector>

#include "elements/audio/QVOAudioInfo.h"
#include "elements/audio/QVOMediaPlayerClip.h"

namespace {
constexpr int kProgressIntervalMilliseconds = 100;
}

QVOAudioController::QVOAudioController(QVOAudioClipFactory factory)
    : m_factory(factory ? std::move(factory) : QVOAudioClipFactory(&QVOMediaPlayerClip::create))
    , m_pageChangeObservation(QStringLiteral("QVOViewerDidChangePageNotification"), nullptr,
                              [this](const Notification& notification) { handlePageChangeNotification(notification); })
{
    m_progressTimer.setTimerType(Qt::PreciseTimer);
    m_progressTimer.setInterval(kProgressIntervalMilliseconds);
    QObject::connect(&m_progressTimer, &QTimer::timeout, &m_progressTimer, [this] { handleProgressTimer(); });
    m_progressTimer.start();
}

QVOAudioController::~QVOAudioController()
{
    m_pageChangeObservation.reset();
    m_progressTimer.stop();
}

void QVOAudioController::postFor(const QString& name, const QString& uniqueId)
{
    NotificationCenter::defaultCenter().post(name, nullptr, {{QVOInternalIDKey, uniqueId}});
}

void QVOAudioController::playAudioWithId(const QString& uniqueId, const QUrl& url)
{
    const auto found = m_audioObjects.find(uniqueId);
    if (found == m_audioObjects.end()) {
        auto info = QVOAudioInfo::audioInfoWithURL(url, uniqueId, m_factory);
        if (info->player()) {
            std::weak_ptr<QVOAudioInfo> weakInfo = info;
            info->player()->setFinishedHandler([this, weakInfo] {
                if (auto ended = weakInfo.lock())
                    audioPlayerDidFinishPlaying(ended);
            });
        }
        m_audioObjects[uniqueId] = info;
        m_audioURLs[url] = uniqueId;
        info->play();
        postFor(QVOAudioPlaybackDidStartNotification, uniqueId);
        return;
    }
    const std::shared_ptr<QVOAudioInfo> info = found->second;
    if (info->state() == QVOAudioInfo::Paused) {
        info->resume();
        postFor(QVOAudioPlaybackDidStartNotification, uniqueId);
    } else if (info->state() == QVOAudioInfo::Playing) {
        info->pause();
        postFor(QVOAudioPlaybackDidPauseNotification, uniqueId);
    }
}

void QVOAudioController::pauseAudioWithId(const QString& uniqueId)
{
    if (auto info = audioInfoForId(uniqueId))
        info->pause();
}

void QVOAudioController::resumeAudioWithId(const QString& uniqueId)
{
    if (auto info = audioInfoForId(uniqueId))
        info->resume();
}

void QVOAudioController::stopAudioWithId(const QString& uniqueId)
{
    const auto found = m_audioObjects.find(uniqueId);
    if (found == m_audioObjects.end())
        return;
    const std::shared_ptr<QVOAudioInfo> info = found->second;
    m_audioObjects.erase(found);
    info->stop();
}

std::shared_ptr<QVOAudioInfo> QVOAudioController::audioInfoForId(const QString& uniqueId) const
{
    const auto found = m_audioObjects.find(uniqueId);
    return found == m_audioObjects.end() ? nullptr : found->second;
}

std::shared_ptr<QVOAudioInfo> QVOAudioController::audioInfoForURL(const QUrl& url) const
{
    const auto found = m_audioURLs.constFind(url);
    return found == m_audioURLs.cend() ? nullptr : audioInfoForId(found.value());
}

void QVOAudioController::audioPlayerDidFinishPlaying(const std::shared_ptr<QVOAudioInfo>& info)
{
    // Only a clip that is still registered reports its end; one already dropped (by a change of screen)
    // has said so.
    const auto found = m_audioObjects.find(info->uniqueId());
    if (found == m_audioObjects.end() || found->second != info)
        return;
    m_audioObjects.erase(found);
    postFor(QVOAudioPlaybackDidStopNotification, info->uniqueId());
}

void QVOAudioController::handleProgressTimer()
{
    // Observers may start or stop clips while being told; go over a snapshot.
    const std::vector<std::pair<QString, std::shared_ptr<QVOAudioInfo>>> clips(m_audioObjects.begin(),
                                                                               m_audioObjects.end());
    for (const auto& [uniqueId, info] : clips) {
        float progress = 0.0f;
        if (QVOAudioClip* player = info->player()) {
            const double duration = player->duration();
            if (duration > 0)
                progress = float(player->currentTime() / duration);
        }
        NotificationCenter::defaultCenter().post(
            QVOAudioPlaybackDidMakeProgressNotification, nullptr,
            {{QVOAudioProgressKey, QVariant::fromValue(progress)}, {QVOInternalIDKey, uniqueId}});
    }
}

void QVOAudioController::handlePageChangeNotification(const Notification&)
{
    auto clips = std::move(m_audioObjects);
    m_audioObjects.clear();
    for (const auto& [uniqueId, info] : clips) {
        info->stop();
        postFor(QVOAudioPlaybackDidStopNotification, uniqueId);
    }
}
