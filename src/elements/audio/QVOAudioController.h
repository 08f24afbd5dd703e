#pragma once

#include <map>
#include <memory>

#include <QHash>
#include <QString>
#include <QTimer>
#include <QUrl>

#include "elements/audio/QVOAudioClip.h"
#include "platform/NotificationCenter.h"

class QVOAudioInfo;

inline const QString QVOAudioPlaybackDidStartNotification = QStringLiteral("QVOAudioPlaybackDidStartNotification");
inline const QString QVOAudioPlaybackDidPauseNotification = QStringLiteral("QVOAudioPlaybackDidPauseNotification");
inline const QString QVOAudioPlaybackDidStopNotification = QStringLiteral("QVOAudioPlaybackDidStopNotification");
inline const QString QVOAudioPlaybackDidMakeProgressNotification =
    QStringLiteral("QVOAudioPlaybackDidMakeProgressNotification");
inline const QString QVOInternalIDKey = QStringLiteral("QVOInternalIDKey");
inline const QString QVOAudioProgressKey = QStringLiteral("QVOAudioProgressKey");

// The audio clips started on the player's current screen, keyed by the audio object's internal id. A
// click toggles a clip (start, pause, resume); every 0.1 s each registered clip reports its progress
// (current time / duration as a float, 0 while the duration is unknown); a clip that ends by itself or a
// change of screen ("QVOViewerDidChangePageNotification") removes clips and reports them stopped. All
// notifications go to the default centre with no sender and "QVOInternalIDKey" naming the clip.
//
// Main thread only. The end of a clip is attributed to the clip that ended, even when two objects share
// one file.
class QVOAudioController {
public:
    // `factory` makes the clip for a file; by default a QtMultimedia player.
    explicit QVOAudioController(QVOAudioClipFactory factory = {});
    ~QVOAudioController();

    QVOAudioController(const QVOAudioController&) = delete;
    QVOAudioController& operator=(const QVOAudioController&) = delete;

    // The toggle: start a new clip, resume a paused one, pause a playing one.
    void playAudioWithId(const QString& uniqueId, const QUrl& url);
    // These three post nothing.
    void pauseAudioWithId(const QString& uniqueId);
    void resumeAudioWithId(const QString& uniqueId);
    void stopAudioWithId(const QString& uniqueId);

    std::shared_ptr<QVOAudioInfo> audioInfoForId(const QString& uniqueId) const;
    // The clip last started from this file.
    std::shared_ptr<QVOAudioInfo> audioInfoForURL(const QUrl& url) const;

    // The ending of one clip's playback by itself.
    void audioPlayerDidFinishPlaying(const std::shared_ptr<QVOAudioInfo>& info);
    void handleProgressTimer();
    void handlePageChangeNotification(const Notification& notification);

private:
    static void postFor(const QString& name, const QString& uniqueId);

    QVOAudioClipFactory m_factory;
    std::map<QString, std::shared_ptr<QVOAudioInfo>> m_audioObjects;
    QHash<QUrl, QString> m_audioURLs;
    QTimer m_progressTimer;
    NotificationObservation m_pageChangeObservation;
};
