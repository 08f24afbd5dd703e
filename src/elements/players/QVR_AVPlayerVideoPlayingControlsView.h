#pragma once

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include "elements/players/VideoPlayer.h"

class QGraphicsOpacityEffect;
class QPropertyAnimation;
class QPushButton;
class QVR_AVVideoPlayerSlider;

// The translucent controls over the full-window video player: a top toolbar (the window's close button sits on
// it) and a bottom toolbar with rewind, play/pause, fast forward, the position scrubber, the volume slider and two
// time labels. The view drives a VideoPlayer it is given (not owned), keeps the controls in step with it, fades the
// toolbars out when the mouse rests, remembers the volume and the choice of end-of-scrubber label in the user
// defaults, and toggles playback on the space bar in its window and on a click on the picture.
//
// Its children come from the interface file "QVR_AVPlayerVideoPlayingControlsView" of the NibRegistry. Times are
// milliseconds; the scrubber counts milliseconds too. Without a player every control reads zero and does nothing.
// Main thread only.
class QVR_AVPlayerVideoPlayingControlsView : public QWidget {
    Q_OBJECT
public:
    static inline const QString kDidSaveVolumeKey =
        QStringLiteral("QVR_AVPlayerVideoPlayingControlsViewDidSaveVolumeKey");
    static inline const QString kSavedVolumeKey = QStringLiteral("QVR_AVPlayerVideoPlayingControlsViewSavedVolumeKey");
    static inline const QString kEndOfScrubberLabelTypeKey =
        QStringLiteral("QVR_AVPlayerVideoPlayingControlsViewEndOfScrubberLabelTypeKey");

    enum LabelType : unsigned { TimeRemaining = 0, TotalDuration = 1, TimeElapsed = 2 };

    static constexpr int kPlaceholderScrubberMaximum = 15251;
    static constexpr double kToolbarOpacity = 0.5;
    static constexpr int kToolbarHeight = 60;
    static constexpr int kFadeMilliseconds = 250;
    static constexpr int kHideAfterDurationMilliseconds = 3000;
    static constexpr int kHideAfterMouseMoveMilliseconds = 1000;

    // 600 × 400 at the origin.
    explicit QVR_AVPlayerVideoPlayingControlsView(QWidget* parent = nullptr);
    QVR_AVPlayerVideoPlayingControlsView(const QRect& frame, QWidget* parent);
    // Saves the volume slider's value.
    ~QVR_AVPlayerVideoPlayingControlsView() override;

    // The interface file's builder; the constructor registers it when nobody has yet.
    static void registerNib();

    VideoPlayer* avPlayer() const { return m_avPlayer; }
    // Stores the player and gives it the volume slider's volume.
    void setAvPlayer(VideoPlayer* player);

    QWidget* topToolbarView() const { return m_topToolbarView; }
    QWidget* botToolbarView() const { return m_botToolbarView; }
    QVR_AVVideoPlayerSlider* scrubber() const { return m_scrubber; }
    QVR_AVVideoPlayerSlider* volume() const { return m_volume; }
    QPushButton* rewindButton() const { return m_rewindButton; }
    QPushButton* forwardButton() const { return m_forwardButton; }
    QPushButton* playButton() const { return m_playButton; }
    QPushButton* airplayButton() const { return m_airplayButton; }
    QPushButton* videoTimeButtonLabel() const { return m_videoTimeButtonLabel; }
    QPushButton* currentTimeButtonLabel() const { return m_currentTimeButtonLabel; }

    // The toolbars' present opacity (0.5 shown, 0 hidden).
    double topToolbarOpacity() const;
    double botToolbarOpacity() const;
    // The name of the artwork each transport button shows.
    QString playButtonImageName() const { return m_playImage; }
    QString rewindButtonImageName() const { return m_rewindImage; }
    QString forwardButtonImageName() const { return m_forwardImage; }

    qint64 duration() const { return m_duration; }
    // Stores it, sets the scrubber's range to it and hides the controls 3 s later.
    void setDuration(qint64 milliseconds);
    unsigned currentLabelType() const { return m_currentLabelType; }

    // Every 0.25 s while the player runs: the scrubber, then the buttons and labels.
    using QWidget::update;
    void update(VideoPlayer* player);
    void updateScrubber();
    void updateUIElements();

    void avPlayerCurrentItemWillChange();
    void avPlayerCurrentItemDidChange();
    void avPlayerDidFinish();

    void pause();
    void playPressed();
    void rewindPressed();
    void fastForwardPressed();
    void airplayPressed();
    void scrubberScrubbed();
    void volumeAdjusted();
    void endOfScrubberButtonPressed();

    void revealControls();
    void hideControls();
    void mouseMoved();

    // "-HH:MM:SS" remaining (type 0), "HH:MM:SS" total (1) or elapsed (2); hours are not wrapped.
    QString titleForTime(qint64 milliseconds, unsigned type) const;
    // The time on the scrubber's scale (milliseconds, as the scrubber counts).
    double reconcileCurrentTimeWithDuration(qint64 milliseconds) const;

    // 50 until a volume was saved; 0..100.
    static int savedVolume();
    static void saveVolume(int volume);
    // 0 or 1; any other stored value reads as 0.
    static unsigned savedEndOfScrubberLabelType();
    static void saveEndOfScrubberLabelType(unsigned type);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void loadFromNib();
    void setButtonImage(QPushButton* button, const QString& name, QString& current);
    void fadeToolbars(double to);
    bool belongsToMyWindow(QObject* object) const;

    QPointer<VideoPlayer> m_avPlayer;
    QMetaObject::Connection m_endConnection;
    QMetaObject::Connection m_durationConnection;

    QWidget* m_topToolbarView = nullptr;
    QWidget* m_botToolbarView = nullptr;
    QVR_AVVideoPlayerSlider* m_scrubber = nullptr;
    QVR_AVVideoPlayerSlider* m_volume = nullptr;
    QPushButton* m_rewindButton = nullptr;
    QPushButton* m_forwardButton = nullptr;
    QPushButton* m_playButton = nullptr;
    QPushButton* m_airplayButton = nullptr;
    QPushButton* m_videoTimeButtonLabel = nullptr;
    QPushButton* m_currentTimeButtonLabel = nullptr;

    QGraphicsOpacityEffect* m_topOpacity = nullptr;
    QGraphicsOpacityEffect* m_botOpacity = nullptr;
    QPropertyAnimation* m_topFade = nullptr;
    QPropertyAnimation* m_botFade = nullptr;
    QTimer m_hideTimer;

    QString m_playImage;
    QString m_rewindImage;
    QString m_forwardImage;

    qint64 m_duration = 0;
    unsigned m_currentLabelType = TimeRemaining;
    bool m_updatingScrubber = false;
};
