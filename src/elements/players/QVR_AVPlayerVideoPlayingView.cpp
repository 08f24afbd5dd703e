#include "elements/players/QVR_AVPlayerVideoPlayingView.h"

#include <algorithm>

#include <QEvent>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>

#include "app/QVRTimedAnalytics.h"
#include "controls/ControlsArtwork.h"
#include "elements/players/QVR_AVPlayerVideoPlayingControlsView.h"
#include "elements/players/VideoPlayer.h"
#include "elements/players/VideoPlayerLayer.h"
#include "elements/players/VideoPlayerLogging.h"
#include "elements/players/ViewVideoPresentation.h"
#include "platform/MainThread.h"
#include "platform/WorkerThreads.h"
#include "storage/MediaPreviewImages.h"

namespace {

// Keeps a view the size of its parent (the viewer view it covers).
class FollowParentSize : public QObject {
public:
    explicit FollowParentSize(QWidget* view)
        : QObject(view)
        , m_view(view)
    {
        if (view->parentWidget())
            view->parentWidget()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize && m_view && watched == m_view->parentWidget())
            m_view->setGeometry(m_view->parentWidget()->rect());
        return false;
    }

private:
    QPointer<QWidget> m_view;
};

} // namespace

QVR_AVPlayerVideoPlayingView::QVR_AVPlayerVideoPlayingView(const QRect& frame, QWidget* parent)
    : QVR_ModalViewWithCloseButton(frame, parent)
{
    m_player = new VideoPlayer(this);

    m_controlsView = new QVR_AVPlayerVideoPlayingControlsView(QRect(QPoint(0, 0), frame.size()), nullptr);
    m_controlsView->setAvPlayer(m_player);
    addSubview(m_controlsView);

    m_playerLayer = new VideoPlayerLayer(nullptr);
    m_playerLayer->setGeometry(QRect(QPoint(0, 0), frame.size()));
    addSubview(m_playerLayer, Ordering::Below, m_controlsView);
    m_playerLayer->hide();
    m_playerLayer->attachToSink(m_player->videoSink());
    connect(m_playerLayer, &VideoPlayerLayer::readyForDisplay, this, [this] { m_playerLayer->show(); });

    closeButton()->setIcon(
        ControlsArtwork::icon(QStringLiteral("avPlayer-close-btn"), QSize(kCloseButtonSize, kCloseButtonSize)));
    closeButton()->setIconSize(QSize(kCloseButtonSize, kCloseButtonSize));
    // The close button lies on the top toolbar but does not fade with it: the way out stays while the video plays.
    placeCloseButton();

    m_updateTimer.setInterval(kUpdateIntervalMilliseconds);
    connect(&m_updateTimer, &QTimer::timeout, this, &QVR_AVPlayerVideoPlayingView::updatePlayer);
    // Queued: the media engine may report a new source as loaded from inside setSource, and playback started
    // from there would be undone when setSource finishes.
    connect(m_player, &VideoPlayer::mediaStatusChanged, this, &QVR_AVPlayerVideoPlayingView::mediaStatusChanged,
            Qt::QueuedConnection);
    connect(m_player, &VideoPlayer::errorOccurred, this, [this](QMediaPlayer::Error error, const QString& errorString) {
        if (error != QMediaPlayer::NoError)
            reportError(Error(kErrorDomain, int(error), errorString));
    });
}

QVR_AVPlayerVideoPlayingView::~QVR_AVPlayerVideoPlayingView()
{
    // The viewer's close block has usually finished it already; then this logs nothing.
    QVRTimedAnalytics::finishTimedEvent(kViewVideoEvent);
    m_updateTimer.stop();
    m_player->disconnect(this);
    m_player->pause();
    m_playerLayer->attachToSink(nullptr);
}

QVR_AVPlayerVideoPlayingView* QVR_AVPlayerVideoPlayingView::presentOverView(QWidget* viewerView,
                                                                            const QString& filePath,
                                                                            std::function<void()> onDismissed)
{
    if (!viewerView)
        return nullptr;
    auto* view = new QVR_AVPlayerVideoPlayingView(viewerView->rect(), viewerView);
    view->setOnVideoReady([](QVR_AVPlayerVideoPlayingView* ready) { ready->play(); });
    view->setOnError([](const std::optional<Error>& error) {
        qCWarning(lcVideoPlayer).noquote()
            << QStringLiteral("VIDEO PLAYBACK ERROR: %1").arg(error ? error->description() : QStringLiteral("(null)"));
    });
    new FollowParentSize(view);
    view->setBackgroundColor(Qt::black);
    view->show();
    view->raise();
    view->setVideoURL(QUrl::fromLocalFile(filePath));
    ViewVideoPresentation::present(view, filePath, std::move(onDismissed));
    return view;
}

bool QVR_AVPlayerVideoPlayingView::isShowingPicture() const
{
    return !m_playerLayer->isHidden();
}

void QVR_AVPlayerVideoPlayingView::setVideoURL(const QUrl& url)
{
    ++m_loadID;
    m_videoURL = url;
    m_readyReported = false;
    m_failureReported = false;
    m_updateTimer.stop();
    m_player->pause();
    m_playerLayer->hide();
    m_playerLayer->resetFrames();

    m_controlsView->avPlayerCurrentItemWillChange();
    std::optional<Error> refusal;
    const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
    if (url.isEmpty())
        refusal = Error(kErrorDomain, int(QMediaPlayer::ResourceError), QStringLiteral("No video file was given"));
    else if (!url.isLocalFile())
        refusal = Error(kErrorDomain, int(QMediaPlayer::ResourceError),
                        QStringLiteral("%1 is not a video file on this computer").arg(url.toDisplayString()));
    else if (QFileInfo(path).isDir())
        refusal = Error(kErrorDomain, int(QMediaPlayer::ResourceError),
                        QStringLiteral("%1 is a folder, not a video file").arg(path));
    else if (!QFileInfo(path).isFile())
        refusal = Error(kErrorDomain, int(QMediaPlayer::ResourceError),
                        QStringLiteral("The video file %1 does not exist").arg(path));

    m_playerLayer->setQuarterTurns(0);
    if (!refusal) {
        // A clip filmed with a phone held upright carries its turn in its display matrix; the file's header is
        // read on a worker, and the turn reaches the picture before its first frame shows or just after.
        QPointer<QVR_AVPlayerVideoPlayingView> self(this);
        const quint64 load = m_loadID;
        WorkerThreads::shared().post([self, load, path] {
            const int turns = MediaPreviewImages::displayQuarterTurnsOfVideo(path);
            if (turns == 0)
                return;
            MainThread::run(
                [self, load, turns] {
                    if (self && self->m_loadID == load)
                        self->m_playerLayer->setQuarterTurns(turns);
                },
                false);
        });
    }
    m_player->setSource(refusal ? QUrl() : url);
    m_controlsView->avPlayerCurrentItemDidChange();
    if (refusal) {
        // Reported from the event loop, as a failure of the media engine would be.
        const quint64 load = m_loadID;
        QTimer::singleShot(0, this, [this, load, refusal] {
            if (load == m_loadID)
                reportError(refusal);
        });
    }
}

void QVR_AVPlayerVideoPlayingView::play()
{
    m_player->play();
    m_controlsView->updateUIElements();
}

void QVR_AVPlayerVideoPlayingView::mediaStatusChanged()
{
    if (m_failureReported || m_videoURL.isEmpty() || m_player->source().isEmpty())
        return;
    switch (m_player->mediaStatus()) {
    case QMediaPlayer::LoadedMedia:
    case QMediaPlayer::BufferedMedia:
        if (m_readyReported)
            return;
        m_readyReported = true;
        if (!m_player->hasVideo() && !m_player->hasAudio()) {
            reportError(std::nullopt);
            return;
        }
        onReadyToPlay();
        break;
    case QMediaPlayer::InvalidMedia:
        reportError(Error(kErrorDomain, int(QMediaPlayer::FormatError),
                          QStringLiteral("%1 cannot be played").arg(m_videoURL.toDisplayString())));
        break;
    default:
        break;
    }
}

void QVR_AVPlayerVideoPlayingView::onReadyToPlay()
{
    m_updateTimer.start();
    updatePlayer();
    if (auto block = m_onVideoReady)
        block(this);
}

void QVR_AVPlayerVideoPlayingView::reportError(const std::optional<Error>& error)
{
    if (m_failureReported)
        return;
    m_failureReported = true;
    m_updateTimer.stop();
    m_playerLayer->hide();
    if (auto block = m_onError)
        block(error);
}

void QVR_AVPlayerVideoPlayingView::updatePlayer()
{
    m_controlsView->update(m_player);
}

void QVR_AVPlayerVideoPlayingView::resizeEvent(QResizeEvent* event)
{
    QVR_ModalViewWithCloseButton::resizeEvent(event);
    m_controlsView->setGeometry(rect());
    m_playerLayer->setGeometry(rect());
    placeCloseButton();
}

void QVR_AVPlayerVideoPlayingView::placeCloseButton()
{
    // At the right end of the top toolbar, centred in its height, with the same margin to the right edge.
    QPushButton* button = closeButton();
    const int toolbarHeight = m_controlsView->topToolbarView() ? m_controlsView->topToolbarView()->height()
                                                               : QVR_AVPlayerVideoPlayingControlsView::kToolbarHeight;
    const float margin = float(toolbarHeight - button->height()) / 2.0f;
    button->move(qRound(width() - button->width() - margin), qRound(margin));
}
