#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QPointer>

#include "controls/ViewController.h"
#include "tessarine_data_model/ObjectUpdateNotifier.h"

class BlockTimer;
class QLabel;
class QPushButton;
class QScrollArea;
class QTextEdit;
class QTimer;
class QVRPresentationNotesView;
class QVRScreenLinkThumbnailBar;
class QVRThumbnailController;
class QVRViewerViewController;
class TessarineBackgroundedScreenPreview;
class ZERI_FlowModel;
class ZERI_FlowScreenModel;
class ZERI_WebDownloader;

// What the presenter sees while a document plays: the shown screen's notes, previews of the shown and the next
// screen, a strip of the flow's screens, a clock (time on this screen or total time) and, when the flow advances by
// itself, a countdown of the time left on the screen with a play/pause button.
//
// The viewer view controller makes it, tells it every page change (setCurrentScreen) and every pause of the
// player (setPlayPauseButtonPlaying), and places its view in a window or full screen. Times are milliseconds of
// one monotonic clock, replaceable by tests; two timers tick the clock (0.5 s) and the countdown (0.05 s) until
// the controller goes. Main thread only.
class QVRPresentationNotesViewController : public ViewController {
    Q_OBJECT
public:
    static const QString kFontSizeKey;     // "presenterNotesFontSizeKey"
    static const QString kUseTotalTimeKey; // "presenterNotesShouldUseTotalTimeInsteadOfTimeOnScreenKey"
    static constexpr double kDefaultFontSize = 24.0;
    static constexpr double kBigFontSize = 36.0;
    static constexpr double kMediumFontSize = 24.0;
    static constexpr double kSmallFontSize = 18.0;
    static constexpr double kLargestFontSize = 200.0;
    static constexpr double kScreenTimerInterval = 0.5;
    static constexpr double kContinuousTimerInterval = 0.05;
    static constexpr int kCountdownBarHeight = 13;
    static constexpr int kThumbnailPreviewWidth = 400;
    static constexpr int kThumbnailPreviewHeight = 300;
    static const QString kPauseImageName; // "offblack-pause-btn"
    static const QString kPlayImageName;  // "offblack-play-btn"

    explicit QVRPresentationNotesViewController(QObject* parent = nullptr);
    ~QVRPresentationNotesViewController() override;

    // Milliseconds of a monotonic clock; an empty function restores the real one.
    static void setClockForTesting(std::function<qint64()> clock);

    QVRViewerViewController* viewerViewController() const;
    void setViewerViewController(QVRViewerViewController* controller);
    void setOnPlayPauseButtonPressed(std::function<void()> block) { m_onPlayPauseButtonPressed = std::move(block); }

    bool playPauseButtonHidden() const { return m_playPauseButtonHidden; }
    // Hidden: the countdown's holder is 0 high as well.
    void setPlayPauseButtonHidden(bool hidden);
    // Playing shows the pause image and resumes the countdown; not playing shows the play image and pauses it.
    void setPlayPauseButtonPlaying(bool playing);
    QString playPauseImageName() const { return m_playPauseImageName; }

    std::shared_ptr<ZERI_FlowScreenModel> currentScreen() const { return m_currentScreen; }
    // Shows the screen: notes, both previews, the strip's selection; restarts the time on the screen and the
    // countdown, keeping a pause. Nothing when it is already shown. The times change at once; the notes, previews
    // and selection follow in the event loop's next turn, after the player has drawn its own page, so both never
    // hold the main thread together. Asking for one of the view's parts brings them up to date first.
    void setCurrentScreen(const std::shared_ptr<ZERI_FlowScreenModel>& screen);
    // The shown screen's notes, previews and strip selection, when a page change left them behind.
    void showPendingScreen();
    std::shared_ptr<ZERI_FlowModel> flowModel() const { return m_flowModel; }
    // One strip item per screen of the flow; nothing when the flow is already shown.
    void setFlowModel(const std::shared_ptr<ZERI_FlowModel>& flow);
    // The screen after the current one in its flow; none for the last screen or one outside a flow.
    std::shared_ptr<ZERI_FlowScreenModel> nextScreen() const;

    bool isPaused() const { return m_isPaused; }
    void pause();
    void resume();
    // Resumes when paused, else pauses; then tells the viewer (onPlayPauseButtonPressed).
    void togglePaused();
    void resetPauseTimer();

    // The countdown's tick: the fraction of the screen's time left, 1 without a duration.
    void updateCountdownBarPercentage();
    // Held to 0…1 (anything not a number counts as 1); the fill's width follows at once.
    void setPercentAutoplayLeft(double fraction);
    double lastPercent() const { return m_lastPercent; }
    // Seconds of the screen's advance: its own duration, else its flow's, else 0.
    double totalSlideTime() const { return m_totalSlideTime; }

    // The clock's tick.
    void updateTimeField();
    QString timeFieldHeaderString() const;
    // "mm:ss", or "h:mm:ss" from an hour on; below 0 reads "00:00".
    static QString timeFieldString(qint64 seconds);

    // The stored notes size: 24 when absent, not a number, not above 0 or above 200.
    static double savedPresenterNotesFontSize();
    static void savePresenterNotesFontSize(double size);
    static bool shouldUseTotalTime();
    static void setShouldUseTotalTime(bool useTotalTime);

    void toggleFullscreen();

    // Actions of the view's buttons.
    void nextButtonPressed();
    void playPauseButtonPressed();
    void textSizeButtonPressed(QObject* sender);
    void timeToggleButtonPressed();
    void swapDisplaysButtonPressed();

    // The view's parts.
    QVRPresentationNotesView* notesView();
    QTextEdit* notesTextView();
    TessarineBackgroundedScreenPreview* currentPreview();
    TessarineBackgroundedScreenPreview* nextPreview();
    QWidget* currentSlidePreviewHolder();
    QWidget* nextSlidePreviewHolder();
    QPushButton* nextSlideImageOverlayButton();
    QLabel* endLabel();
    QLabel* timeField();
    QLabel* timeFieldHeader();
    QPushButton* playPauseButton();
    QPushButton* bigTextButton();
    QPushButton* medTextButton();
    QPushButton* smallTextButton();
    QPushButton* timeToggleButton();
    QWidget* countdownBarHolderView();
    QWidget* progressBarFillView();
    QVRScreenLinkThumbnailBar* thumbnailBar();
    QVRThumbnailController* thumbnailController() const { return m_thumbnailController; }

protected:
    void loadView() override;

private:
    static qint64 now();
    double secondsSince(qint64 date) const;
    // Previews of screens already shown are kept unless `reload` asks for their pictures to be read again.
    void showPreviews(bool reload = false);
    // A preview file being fetched, held and watched until the notes show another screen.
    struct PreviewDownload {
        std::shared_ptr<ZERI_WebDownloader> downloader;
        ObjectUpdateNotifierObserver observer;
    };
    // Watches the download of the screen's preview file when it is not on disk yet, and starts it.
    void watchPreviewDownload(const std::shared_ptr<ZERI_FlowScreenModel>& screen, PreviewDownload& download);
    // A preview of `screen` in `holder` (none without a screen), which takes the place of `outgoing`.
    TessarineBackgroundedScreenPreview* makePreview(QWidget* holder,
                                                    const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                                    TessarineBackgroundedScreenPreview* outgoing, bool reload);
    void applyFontSize(double size);

    QPointer<QVRViewerViewController> m_viewerViewController;
    std::function<void()> m_onPlayPauseButtonPressed;
    bool m_playPauseButtonHidden = false;
    QString m_playPauseImageName;
    std::shared_ptr<ZERI_FlowModel> m_flowModel;
    std::shared_ptr<ZERI_FlowScreenModel> m_currentScreen;

    std::optional<qint64> m_viewLoadedDate;
    std::optional<qint64> m_screenStartedViewDate;
    std::optional<qint64> m_timerResetDate;
    std::optional<qint64> m_pauseDate;
    bool m_isPaused = false;
    double m_totalSlideTime = 0;
    double m_timePaused = 0;
    double m_lastPercent = 1.0;

    QPointer<BlockTimer> m_screenTimer;
    QPointer<BlockTimer> m_continuousTimer;
    QTimer* m_pendingScreenTimer = nullptr;
    bool m_screenPending = false;
    QVRThumbnailController* m_thumbnailController = nullptr;

    QPointer<QVRPresentationNotesView> m_view;
    QTextEdit* m_notesTextView = nullptr;
    QWidget* m_currentHolder = nullptr;
    QWidget* m_nextHolder = nullptr;
    QPointer<TessarineBackgroundedScreenPreview> m_currentPreview;
    QPointer<TessarineBackgroundedScreenPreview> m_nextPreview;
    PreviewDownload m_currentPreviewDownload;
    PreviewDownload m_nextPreviewDownload;
    QPushButton* m_nextImageOverlayButton = nullptr;
    QPushButton* m_nextTextOverlayButton = nullptr;
    QLabel* m_currentLabel = nullptr;
    QLabel* m_endLabel = nullptr;
    QLabel* m_timeFieldHeader = nullptr;
    QLabel* m_timeField = nullptr;
    QPushButton* m_playPauseButton = nullptr;
    QPushButton* m_bigTextButton = nullptr;
    QPushButton* m_medTextButton = nullptr;
    QPushButton* m_smallTextButton = nullptr;
    QPushButton* m_timeToggleButton = nullptr;
    QWidget* m_countdownBarHolder = nullptr;
    QWidget* m_progressBarFill = nullptr;
    QVRScreenLinkThumbnailBar* m_thumbnailBar = nullptr;
    QScrollArea* m_thumbnailScrollArea = nullptr;
};
