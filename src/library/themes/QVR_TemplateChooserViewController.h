#pragma once

#include <functional>
#include <memory>

#include <QPointer>
#include <QString>
#include <QStringList>

#include "controls/NavigationController.h"
#include "controls/NavigationControllerFriendlyViewController.h"
#include "controls/QVR_LoadingViewController.h"
#include "controls/VazScrollViewAnimation.h"
#include "library/themes/QVR_TemplatePreviewViewController.h"
#include "library/themes/TessarineTheme.h"
#include "platform/NotificationCenter.h"
#include "service/QVBPrecacheManager.h"

class QLabel;
class QPushButton;
class QTimer;
class QVR_TemplateChooserCollectionView;
class QVR_TemplateChooserThumbnailController;
class QVR_TemplateCollectionViewObject;
class ZERI_TessarineModel;

// The template chooser: the scratch tile and the service's templates in priority order. Preview fetches a
// template's sample and its files and plays it over the chooser; Choose makes a new document from the sample (at
// most its first three screens a flow, one for the blank theme), saved as the user's own and opened in a creator
// window.
//
// A sample that does not come is asked for at most kMaxSampleFetches times, kSampleRetrySeconds apart; then the
// chooser gives up and says so. Main thread only.
class QVR_TemplateChooserViewController : public NavigationControllerFriendlyViewController,
                                          public QVR_TempatePreviewViewControllerDelegate,
                                          public QVBPrecacheManagerDelegate,
                                          public QVR_LoadingViewDelegate,
                                          public VazScrollViewAnimationDelegate,
                                          public TessarineThemeDownloadingDelegate {
    Q_OBJECT
public:
    enum PreloadReason { NoReason = 0, PreviewReason = 1, CreateReason = 2 };
    static constexpr int kMaxSampleFetches = 3;
    static constexpr int kNewDocumentOptions = 290;

    explicit QVR_TemplateChooserViewController(QObject* parent = nullptr);
    ~QVR_TemplateChooserViewController() override;

    // Fills the grid from the registry.
    void themesLoaded();
    void startPreviewWithTemplateCollectionViewObject(QVR_TemplateCollectionViewObject* tile);
    void startOpenWithTemplateCollectionViewObject(QVR_TemplateCollectionViewObject* tile);
    void nextPageButtonPressed();
    void previousButtonPessed();
    void preloadThemeAssets();
    void beginTemplatePreview();
    void tellTheCreatorWindowToOpen();
    // The user's own new document made from a template's sample: a copy in a package of its own (files linked),
    // retitled, not a theme document, at most its first three screens a flow (one for the blank theme), every flow
    // of the template's theme, saved with package type 1. nullptr (and no package left behind) on failure.
    static std::shared_ptr<ZERI_TessarineModel>
    newDocumentFromSample(const std::shared_ptr<ZERI_TessarineModel>& sample, const QString& templateId);
    void cancelPrecache();
    void hideOrShowPagingButtons();
    // The width of the grid's first item (0 without one).
    double collectionViewItemWith();

    QVR_TemplateChooserCollectionView* collectionView();
    QPushButton* nextPageButton();
    QPushButton* previousPageButton();
    QLabel* chooseTemplateLabel();
    QVR_TemplateChooserThumbnailController* templateThumbnailController();
    QVR_LoadingViewController* loadingVC() const { return m_loadingVC; }
    QVR_TemplatePreviewViewController* previewVC() const { return m_previewVC; }
    // YES while a template's sample or its files are being fetched, with the loading view and its Cancel shown.
    bool isLoadingViewShown() const;
    QVBPrecacheManager* precacheManagerInstance() const { return m_precacheManager.get(); }
    QStringList themeKeys() const { return m_themeKeys; }
    // Why the list holds no fresh templates when the service could not be reached; empty otherwise.
    QString serviceNoticeShown();
    std::shared_ptr<TessarineTheme> downloadingTheme() const { return m_downloadingTheme; }
    int preloadReason() const { return m_preloadReason; }
    bool isDownloading() const { return m_isDownloading; }
    bool isAnimating() const { return m_isAnimating; }

    // Seconds between two fetches of a sample that did not come (tests shorten it; 0 or less restores 1 s).
    static void setSampleRetrySecondsForTesting(double seconds);
    // Runs on each new document just before its first save (tests make the save fail); empty clears it.
    static void setNewDocumentHookForTesting(std::function<void(ZERI_TessarineModel&)> hook);

    // QVR_TempatePreviewViewControllerDelegate
    void tempatePreviewWantToChooseTemplate(const QString& templateId) override;
    void tempatePreviewWantToClose() override;
    // QVBPrecacheManagerDelegate
    void precacheManagerStartedLoad(QVBPrecacheManager* manager) override;
    void precacheManager(QVBPrecacheManager* manager, quint64 downloadedBytesSoFar, quint64 totalBytes,
                         int downloadedObjectsSoFar, int totalObjects) override;
    void precacheManagerDoneCaching(QVBPrecacheManager* manager) override;
    void precacheManagerFailedTooManyTimes(QVBPrecacheManager* manager) override;
    // QVR_LoadingViewDelegate
    void loadingViewCancelButtonPressed() override;
    // VazScrollViewAnimationDelegate
    bool animationShouldStart(QAbstractAnimation* animation) override;
    void animationDidEnd(QAbstractAnimation* animation) override;
    void animationDidStop(QAbstractAnimation* animation) override;
    // TessarineThemeDownloadingDelegate
    void themeDocumentDidFinishDownloading(TessarineTheme* theme) override;

signals:
    // The new document was handed to its window: the chooser's window closes.
    void documentOpened();

protected:
    void loadView() override;

private:
    void start(QVR_TemplateCollectionViewObject* tile, int reason);
    void setDownloadingTheme(const std::shared_ptr<TessarineTheme>& theme);
    void makeLoadingView();
    void showLoadingView();
    void hideLoadingView();
    // The grid of tiles and its page buttons, behind the loading view.
    void setTilesEnabled(bool enabled);
    void fetchSampleAgainOrGiveUp();
    void finishPreload();
    void removePreview();

    QPointer<QVR_TemplateChooserCollectionView> m_collectionView;
    QPointer<QPushButton> m_nextPageButton;
    QPointer<QPushButton> m_previousPageButton;
    QPointer<QWidget> m_loadingViewPlacementView;
    QPointer<QWidget> m_focusBeforeLoading;
    QString m_focusTemplateBeforeLoading;
    QPointer<QLabel> m_chooseTemplateLabel;
    QPointer<QLabel> m_serviceNoticeLabel;
    QPointer<QVR_TemplateChooserThumbnailController> m_thumbnailController;
    std::unique_ptr<QVBPrecacheManager> m_precacheManager;
    QPointer<QVR_LoadingViewController> m_loadingVC;
    QPointer<QVR_TemplatePreviewViewController> m_previewVC;
    QPointer<QWidget> m_focusBeforePreview;
    QStringList m_themeKeys;
    QPointer<QVR_TemplateCollectionViewObject> m_clickedTile;
    QString m_clickedTemplateId;
    int m_preloadReason = NoReason;
    std::shared_ptr<TessarineTheme> m_downloadingTheme;
    int m_sampleFetches = 0;
    QPointer<QTimer> m_retryTimer;
    bool m_isDownloading = false;
    bool m_isAnimating = false;
    QPointer<QAbstractAnimation> m_currentAnimation;
    NotificationObservation m_themesObservation;
};
