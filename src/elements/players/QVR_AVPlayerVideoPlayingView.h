#pragma once

#include <functional>
#include <optional>

#include <QTimer>
#include <QUrl>

#include "controls/QVR_ModalViewWithCloseButton.h"
#include "platform/Error.h"

class QVR_AVPlayerVideoPlayingControlsView;
class VideoPlayer;
class VideoPlayerLayer;

// The full-window player of a local video file in play mode: a modal view with a close button that owns a
// VideoPlayer, shows its picture (playerLayer) under the controls, loads the file and reports readiness or failure
// to its owner through two blocks.
//
// Loading a URL: the first "loaded" or "buffered" state of the new media is "ready to play": the controls start
// their 0.25 s refresh and onVideoReady runs, once per URL. The picture stays hidden until the first frame of the
// new media has arrived. Each load reports at most one failure through onError: with an Error in
// "com.tessarine.VideoPlayer" for a file that is missing, a folder or that the media engine cannot play (the
// engine's code and text), or with no error for media that has neither sound nor picture. The close button works in
// every state. Ending the view finishes the analytics event "View Video". Main thread only.
class QVR_AVPlayerVideoPlayingView : public QVR_ModalViewWithCloseButton {
    Q_OBJECT
public:
    static inline const QString kErrorDomain = QStringLiteral("com.tessarine.VideoPlayer");
    static inline const QString kViewVideoEvent = QStringLiteral("View Video");
    static constexpr int kUpdateIntervalMilliseconds = 250;

    explicit QVR_AVPlayerVideoPlayingView(const QRect& frame, QWidget* parent = nullptr);
    ~QVR_AVPlayerVideoPlayingView() override;

    // Opens the player over `viewerView` for a video file on disk, as the viewer does: playback starts once it is
    // ready, a failure is logged, the view follows the viewer view's size, and the close button removes it, runs
    // `onDismissed` and finishes "View Video" (started here with the file's path).
    static QVR_AVPlayerVideoPlayingView* presentOverView(QWidget* viewerView, const QString& filePath,
                                                         std::function<void()> onDismissed = {});

    VideoPlayer* player() const { return m_player; }
    VideoPlayerLayer* playerLayer() const { return m_playerLayer; }
    QVR_AVPlayerVideoPlayingControlsView* controlsView() const { return m_controlsView; }
    QUrl videoURL() const { return m_videoURL; }
    // Whether the picture is visible (a frame of the present media has arrived).
    bool isShowingPicture() const;

    // Stops what is shown and loads the file.
    void setVideoURL(const QUrl& url);
    void play();

    std::function<void(QVR_AVPlayerVideoPlayingView*)> onVideoReady() const { return m_onVideoReady; }
    void setOnVideoReady(std::function<void(QVR_AVPlayerVideoPlayingView*)> block)
    {
        m_onVideoReady = std::move(block);
    }
    std::function<void(const std::optional<Error>&)> onError() const { return m_onError; }
    void setOnError(std::function<void(const std::optional<Error>&)> block) { m_onError = std::move(block); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void mediaStatusChanged();
    void onReadyToPlay();
    void reportError(const std::optional<Error>& error);
    void updatePlayer();
    void placeCloseButton();

    VideoPlayer* m_player = nullptr;                                // child object, for the view's whole life
    VideoPlayerLayer* m_playerLayer = nullptr;                      // child widget, under the controls
    QVR_AVPlayerVideoPlayingControlsView* m_controlsView = nullptr; // child widget
    QUrl m_videoURL;
    QTimer m_updateTimer;
    quint64 m_loadID = 0;
    bool m_readyReported = false;
    bool m_failureReported = false;
    std::function<void(QVR_AVPlayerVideoPlayingView*)> m_onVideoReady;
    std::function<void(const std::optional<Error>&)> m_onError;
};
