#pragma once

#include <memory>
#include <vector>

#include <QKeyCombination>
#include <QPalette>
#include <QPointer>
#include <QRect>

#include "controls/ViewController.h"
#include "elements/audio/QVOAudioController.h"
#include "elements/players/QVR_AVPlayerVideoPlayingView.h"
#include "elements/players/QVR_YouTubeVideoPlayingView.h"
#include "platform/NotificationCenter.h"
#include "tessarine_data_model/ObjectUpdateNotifier.h"
#include "viewer/QVR_GalleryViewerView.h"
#include "viewer/QVR_PDFViewerView.h"
#include "viewer/QVR_TessarineViewerView.h"

class QPushButton;
class QScreen;
class QVRPresentationNotesViewController;
class ViewControllerWindowController;
class ZERI_MixedMediaObjectProxy;
class ZERI_WebDownloader;

// The controller around the presentation player: it owns the player, the left and right page buttons and the
// modal views opened over the player (galleries and PDFs). Keys pressed in the player, or in a modal view it
// owns, arrive as "TessarineViewerViewKeyDownNotificationName" posts and page the player, open the front-most
// openable object of the screen or close the modal view.
//
// Link clicks count only when posted with the controller's window as sender. Main thread only.
class QVRViewerViewController : public ViewController, public TessarineViewerViewDelegate {
    Q_OBJECT
public:
    static const QString kDidChangePageNotification; // "QVOViewerDidChangePageNotification"

    explicit QVRViewerViewController(QObject* parent = nullptr);
    ~QVRViewerViewController() override;

    QVR_TessarineViewerView* viewerView();
    std::shared_ptr<ZERI_TessarineModel> tessarineModel();
    // Width of the page buttons on the view's edges (60 unless a host sets it); hosts that page the player with
    // controls of their own set 0, which leaves the buttons no width to show or take clicks.
    double minimumButtonWidth() const;
    void setMinimumButtonWidth(double width);
    QPushButton* leftButton();
    QPushButton* rightButton();

    // Escape's first claim: the host pops an embedded flow when it can. Answers whether it did.
    void setEscapeHandler(std::function<bool()> handler) { m_escapeHandler = std::move(handler); }
    // Escape's last claim, when nothing else took it (no flow to pop, nothing modal, no full screen): the host
    // window closes.
    void setEscapeLeavesHandler(std::function<void()> handler) { m_escapeLeavesHandler = std::move(handler); }

    // Shows a loading view (or the download panel) over the player, at its size. Only its controls take
    // clicks: a click on its empty area reaches the screen beneath.
    void addLoadingView(QWidget* loadingView);

    void navigationButtonPressed(QObject* sender);
    void openFirstOpenableObject();
    void openGalleryObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    void playPDFWithPDFObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    // A video file that arrives within this many seconds of the click plays by itself.
    static constexpr double kAutoplayDownloadLimitSeconds = 5.0;

    // Local videos: a file on disk plays; a missing one downloads first.
    void playOrDownloadVideoObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    void playVideoWithVideoObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    void playYoutubeVideoAtStringURL(const QString& urlString);
    // Fetches the object's PDF or video file, watching one download at a time: a request for another object
    // moves the watch to it (the earlier download runs on unwatched).
    void downloadMediaForObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    void cancelDownloadForObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    std::shared_ptr<ZERI_MixedMediaObjectProxy> watchedDownloadObject() const { return m_watchedObject.lock(); }
    void dismissVideoPlayingView();
    void dismissYoutubeView();
    void dismissAnyModalView();
    void dismissGalleryView();
    void dismissPDFView();
    bool isCustomModelBeingPresented() const;
    void updateArrows();

    QVR_GalleryViewerView* galleryViewerView() const { return m_galleryViewerView; }
    QVR_PDFViewerView* pdfViewerView() const { return m_pdfViewerView; }
    QVR_AVPlayerVideoPlayingView* videoPlayingView() const { return m_videoPlayingView; }
    QVR_YouTubeVideoPlayingView* youTubePlayingView() const { return m_youTubePlayingView; }

    // Presenter notes. With two or more displays they fill one while the player fills another; on request they
    // open in a window of their own. The controller owns the notes and their window; closing its window ends them.
    static const QString kPresenterNotesShownOnSecondMonitorEvent; // "Presenter notes shown on second monitor"
    static constexpr int kPresenterNotesWindowWidth = 1024;
    static constexpr int kPresenterNotesWindowHeight = 600;
    void showPresentationNotesIfAble();
    void showPresentationNotesIfAbleOverride(bool forced);
    void displayPresenterNotesInWindow();
    void togglePresenterViewFullscreen();
    void swapPresenterNotesDisplays();
    void updatePresenterNotesTitle();
    // The notes show the player's screen (also when the player was given another flow).
    void updatePresenterNotesScreen();
    QVRPresentationNotesViewController* presentationNotesViewController() const;
    void setPresentationNotesViewController(QVRPresentationNotesViewController* notes);
    ViewControllerWindowController* presenterNotesWindowController() const;
    // Set by the notes' own full-screen start; a window made full screen by other means is not in this mode.
    bool isInPresenterFullScreen() const { return m_presenterFullScreen; }
    qint32 screenSwapHelperInt() const { return m_screenSwapHelperInt; }

    // TessarineViewerViewDelegate
    void tessarineViewerWillScrollToLastPage() override;
    void tessarineViewerWillScrollToFirstPage() override;
    void tessarineViewerWillScrollAwayFromLastPage() override;
    void tessarineViewerWillScrollAwayFromFirstPage() override;
    void tessarineViewerDidFinishAutoplay(QVR_TessarineViewerView* viewer) override;
    bool tessarineViewerMayPageBySwipe(QVR_TessarineViewerView* viewer) override;

signals:
    void currentPage(int page);
    void autoAdvancePaused(bool paused);
    void autoplayFinished();

protected:
    void loadView() override;

public:
    // ---- Audio clips: a click plays the element's clip (downloading it first), a second pauses it; paging stops
    // it. The controller is made on the first audio link.
    QVOAudioController* audioController() const { return m_audioController.get(); }
    void playOrDownloadAudioObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    // Clips are made by this factory (tests); empty gives the real player.
    void setAudioClipFactoryForTesting(QVOAudioClipFactory factory) { m_audioClipFactory = std::move(factory); }
    // The autoplay limit in seconds (kAutoplayDownloadLimitSeconds unless a test shortens it; 0 or less restores it).
    static double autoplayDownloadLimit();
    static void setAutoplayDownloadLimitForTesting(double seconds);

private:
    void observeMediaLinks();
    void audioLinkPressed(const Notification& notification);
    void postFlowLinkOfObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    static bool hasFlowLink(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    std::unique_ptr<QVOAudioController> m_audioController;
    QVOAudioClipFactory m_audioClipFactory;

private:
    void globalKeyDown(const Notification& notification);
    void galleryPressed(const Notification& notification);
    void pdfLinkPressed(const Notification& notification);
    void localVideoPressed(const Notification& notification);
    void youtubeVideoPressed(const Notification& notification);
    void openOrDownloadPDF(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    void onDownloadStatusChangedForObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    void forgetDownload();
    bool isFromOwnWindow(const Notification& notification);
    void placeModalView(QWidget* modal);
    void observeModalKeys(QWidget* modal);

    QPointer<QVR_TessarineViewerView> m_viewerView;
    QPointer<QPushButton> m_leftButton;
    QPointer<QPushButton> m_rightButton;
    QPointer<QVR_GalleryViewerView> m_galleryViewerView;
    QPointer<QVR_PDFViewerView> m_pdfViewerView;
    QPointer<QVR_AVPlayerVideoPlayingView> m_videoPlayingView;
    QPointer<QVR_YouTubeVideoPlayingView> m_youTubePlayingView;
    std::weak_ptr<ZERI_MixedMediaObjectProxy> m_watchedObject;
    std::shared_ptr<ZERI_WebDownloader> m_watchedDownloader;
    ObjectUpdateNotifierObserver m_downloadObserver;
    ObjectUpdateNotifierObserver m_downloadProgressObserver;
    NotificationObservation m_youtubeKeyObservation;
    std::function<bool()> m_escapeHandler;
    std::function<void()> m_escapeLeavesHandler;
    std::vector<NotificationObservation> m_observations;
    NotificationObservation m_modalKeyObservation;

    // Presenter notes.
    void dropPresenterNotesWindow();
    // Closes the presenter notes' window, as its close button does; the notes stay ready to show again.
    void closePresenterNotesWindow();
    // A key typed on the presenter notes' screen (their view or their strip), handed on to the player.
    bool isPresenterNotesKey(const Notification& notification) const;
    void closePresenterNotes();
    void watchHostWindow();
    void leavePresenterFullScreenState(bool show);
    QPointer<QVRPresentationNotesViewController> m_presentationNotesViewController;
    QPointer<ViewControllerWindowController> m_presenterNotesWindowController;
    ObjectUpdateNotifierObserver m_presentationNotesScreenObserver;
    std::vector<NotificationObservation> m_presentationNotesKeyObservations;
    QPointer<QObject> m_hostWindowWatcher;
    QPointer<QWidget> m_fullScreenHost;
    QRect m_hostGeometryBeforeFullScreen;
    QPalette m_hostPaletteBeforeFullScreen;
    qint32 m_screenSwapHelperInt = 1;
    double m_minimumButtonWidth = 60.0;
    bool m_presenterFullScreen = false;
};
