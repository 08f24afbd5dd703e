#include "viewer/QVRViewerViewController.h"

#include <algorithm>

#include <QIcon>
#include <QPushButton>
#include <QResizeEvent>

#include "app/ViewerKeyNotifications.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "storage/ContentAssetStorage.h"
#include "storage/ZERI_WebDownloader.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_MMObject_Video.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "viewer/QVR_GalleryViewerView.h"
#include "viewer/QVRPresentationNotesViewController.h"
#include "viewer/QVR_PDFViewerView.h"
#include "viewer/ViewerLogging.h"
#include "foundation/Tessutils.h"
#include "strings/UFM.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_WebLink.h"

const QString QVRViewerViewController::kDidChangePageNotification =
    QStringLiteral("QVOViewerDidChangePageNotification");

namespace {

constexpr int kGalleryType = 3;
constexpr int kPDFType = 6;
constexpr int kVideoType = 1;
constexpr int kAudioType = 9;

// The file a PDF or video element shows.
std::shared_ptr<ZERI_ContentAsset> mediaAsset(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    if (!object || !object->object())
        return nullptr;
    if (object->type() == kPDFType)
        return object->object()->pdfAsset();
    if (object->type() == kVideoType)
        return object->object()->videoAsset();
    if (object->type() == kAudioType)
        return object->object()->audioAsset();
    return nullptr;
}

std::shared_ptr<ZERI_WebDownloader> mediaDownloader(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    const auto asset = mediaAsset(object);
    return asset ? ContentAssetStorage::downloader(*asset) : nullptr;
}
constexpr int kButtonWidth = 60;

// The controller's view: the player fills it, the page buttons sit on its edges and modal views cover it.
class ViewerHostView final : public QWidget {
public:
    using QWidget::QWidget;
    QWidget* player = nullptr;
    QWidget* left = nullptr;
    QWidget* right = nullptr;
    QList<QPointer<QWidget>> covering;
    int buttonWidth = kButtonWidth;

    void placeButtons()
    {
        if (left)
            left->setGeometry(0, 0, buttonWidth, height());
        if (right)
            right->setGeometry(width() - buttonWidth, 0, buttonWidth, height());
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        if (player)
            player->setGeometry(rect());
        placeButtons();
        for (const QPointer<QWidget>& view : covering) {
            if (view)
                view->setGeometry(rect());
        }
    }
};

// Keeps a loading view's input region to its visible children, so that its empty area lets clicks through.
class PassThroughEmptyArea final : public QObject {
public:
    explicit PassThroughEmptyArea(QWidget* view)
        : QObject(view)
        , m_view(view)
    {
        view->installEventFilter(this);
        update();
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::ChildAdded:
            if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child()))
                child->installEventFilter(this);
            QMetaObject::invokeMethod(
                this, [this] { update(); }, Qt::QueuedConnection);
            break;
        case QEvent::ChildRemoved:
        case QEvent::Resize:
        case QEvent::Move:
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::LayoutRequest:
            if (watched == m_view || watched->parent() == m_view)
                QMetaObject::invokeMethod(
                    this, [this] { update(); }, Qt::QueuedConnection);
            break;
        default:
            break;
        }
        return false;
    }

    void update()
    {
        QRegion region;
        for (QObject* object : m_view->children()) {
            auto* child = qobject_cast<QWidget*>(object);
            if (child && child->isVisibleTo(m_view))
                region += child->geometry();
        }
        // An empty mask means no mask at all in Qt; a one-point corner stands for "nothing".
        m_view->setMask(region.isEmpty() ? QRegion(0, 0, 1, 1) : region);
    }

private:
    QWidget* m_view;
};

std::shared_ptr<ZERI_MixedMediaObjectProxy> objectFrom(const QVariant& value)
{
    if (value.canConvert<MixedMediaObjectRef>())
        return value.value<MixedMediaObjectRef>().lock();
    if (value.canConvert<std::shared_ptr<ZERI_MixedMediaObjectProxy>>())
        return value.value<std::shared_ptr<ZERI_MixedMediaObjectProxy>>();
    return nullptr;
}

} // namespace

QVRViewerViewController::QVRViewerViewController(QObject* parent)
    : ViewController(parent)
{
}

QVRViewerViewController::~QVRViewerViewController()
{
    m_observations.clear();
    m_modalKeyObservation.reset();
    m_youtubeKeyObservation.reset();
    m_downloadObserver.reset();
    m_downloadProgressObserver.reset();
    m_audioController.reset();
    if (m_viewerView)
        m_viewerView->setDelegate(nullptr);
}

void QVRViewerViewController::loadView()
{
    auto* host = new ViewerHostView;
    host->setAutoFillBackground(true);
    QPalette palette = host->palette();
    palette.setColor(QPalette::Window, Qt::black);
    host->setPalette(palette);

    m_viewerView = new QVR_TessarineViewerView(host);
    m_viewerView->setDelegate(this);
    m_viewerView->setFocusPolicy(Qt::StrongFocus);
    host->player = m_viewerView;

    auto makeButton = [host, this](const QString& artwork, const QString& name) {
        auto* button = new QPushButton(host);
        button->setObjectName(name);
        button->setFlat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setIcon(QIcon(artwork));
        button->setIconSize(QSize(40, 40));
        connect(button, &QPushButton::clicked, this, [this, button] { navigationButtonPressed(button); });
        return button;
    };
    m_leftButton = makeButton(QStringLiteral(":/viewer/arrow_left_macapp.svg"), QStringLiteral("leftButton"));
    m_rightButton = makeButton(QStringLiteral(":/viewer/arrow_right_macapp.svg"), QStringLiteral("rightButton"));
    host->left = m_leftButton;
    host->right = m_rightButton;
    m_leftButton->hide();

    connect(m_viewerView, &QVR_TessarineViewerView::currentPageChanged, this, &QVRViewerViewController::currentPage);
    connect(m_viewerView, &QVR_TessarineViewerView::autoAdvancePausedChanged, this,
            &QVRViewerViewController::autoAdvancePaused);

    NotificationCenter& center = NotificationCenter::defaultCenter();
    m_observations.emplace_back(center,
                                center.addObserver(TessarineViewerViewKeyDownNotificationName, m_viewerView.data(),
                                                   [this](const Notification& n) { globalKeyDown(n); }));
    m_observations.emplace_back(center,
                                center.addObserver(QVR_MixedMediaElementContainingView::kGalleryLinkPressedNotification,
                                                   nullptr, [this](const Notification& n) { galleryPressed(n); }));
    m_observations.emplace_back(center,
                                center.addObserver(QVR_MixedMediaElementContainingView::kPDFPressedNotification,
                                                   nullptr, [this](const Notification& n) { pdfLinkPressed(n); }));
    observeMediaLinks();
    setView(host);
}

QVR_TessarineViewerView* QVRViewerViewController::viewerView()
{
    view();
    return m_viewerView;
}

std::shared_ptr<ZERI_TessarineModel> QVRViewerViewController::tessarineModel()
{
    auto* player = viewerView();
    return player ? player->originalTessarineModel() : nullptr;
}

double QVRViewerViewController::minimumButtonWidth() const
{
    return m_minimumButtonWidth;
}

void QVRViewerViewController::setMinimumButtonWidth(double width)
{
    m_minimumButtonWidth = std::max(0.0, width);
    auto* host = static_cast<ViewerHostView*>(view());
    host->buttonWidth = qRound(m_minimumButtonWidth);
    host->placeButtons();
}

QPushButton* QVRViewerViewController::leftButton()
{
    view();
    return m_leftButton;
}

QPushButton* QVRViewerViewController::rightButton()
{
    view();
    return m_rightButton;
}

bool QVRViewerViewController::isCustomModelBeingPresented() const
{
    return m_galleryViewerView || m_pdfViewerView || m_videoPlayingView || m_youTubePlayingView;
}

void QVRViewerViewController::addLoadingView(QWidget* loadingView)
{
    if (!loadingView)
        return;
    auto* host = static_cast<ViewerHostView*>(view());
    loadingView->setParent(host);
    loadingView->setGeometry(host->rect());
    host->covering.append(loadingView);
    new PassThroughEmptyArea(loadingView);
    loadingView->show();
    loadingView->raise();
}

bool QVRViewerViewController::tessarineViewerMayPageBySwipe(QVR_TessarineViewerView* viewer)
{
    // As the paging keys: not behind a video, gallery or PDF shown over the player, and only in the window in front.
    return !isCustomModelBeingPresented() && viewer && viewer->isActiveWindow();
}

void QVRViewerViewController::navigationButtonPressed(QObject* sender)
{
    if (!m_viewerView)
        return;
    if (sender == m_leftButton)
        m_viewerView->scrollToPreviousPage();
    else
        m_viewerView->scrollToNextPage();
    NotificationCenter::defaultCenter().post(kDidChangePageNotification);
}

void QVRViewerViewController::globalKeyDown(const Notification& notification)
{
    const QVariant value = notification.userInfo.value(TessarineViewerViewKeyDownNotificationUserDictKey);
    if (!value.canConvert<QKeyCombination>()) {
        qCDebug(lcViewer) << "a key post without a key";
        return;
    }
    const QKeyCombination combination = value.value<QKeyCombination>();
    const int key = combination.key();
    qCDebug(lcViewer) << "Pressed key" << key;

    // While the gallery is shown every key is its own, so that one Return closes it and nothing reopens;
    // only Escape's pop of an embedded flow goes first.
    if (m_galleryViewerView && notification.sender != static_cast<const void*>(m_galleryViewerView.data())) {
        if (key == Qt::Key_Escape && m_escapeHandler && m_escapeHandler())
            return;
        m_galleryViewerView->handleKey(combination);
        return;
    }

    switch (key) {
    case Qt::Key_PageUp:
    case Qt::Key_Left:
    case Qt::Key_Up:
        if (!isCustomModelBeingPresented())
            navigationButtonPressed(m_leftButton);
        break;
    case Qt::Key_PageDown:
    case Qt::Key_Right:
    case Qt::Key_Down:
        if (!isCustomModelBeingPresented())
            navigationButtonPressed(m_rightButton);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_B:
        if (isCustomModelBeingPresented())
            dismissAnyModalView();
        else
            openFirstOpenableObject();
        break;
    case Qt::Key_Space:
        // Space toggles presenter notes' playback; without notes it does nothing.
        if (m_presentationNotesViewController)
            m_presentationNotesViewController->togglePaused();
        break;
    case Qt::Key_Escape:
        if (m_escapeHandler && m_escapeHandler())
            break;
        if (isCustomModelBeingPresented())
            dismissAnyModalView();
        else if (m_presenterFullScreen)
            togglePresenterViewFullscreen();
        else if (isPresenterNotesKey(notification))
            closePresenterNotesWindow(); // the presenter's window goes, never the presentation
        else if (m_escapeLeavesHandler)
            m_escapeLeavesHandler();
        break;
    default:
        break;
    }
}

void QVRViewerViewController::openFirstOpenableObject()
{
    if (!m_viewerView)
        return;
    const auto screen = m_viewerView->currentlyDisplayedFlowScreen();
    if (!screen)
        return;
    const auto& objects = screen->mixedMediaObjects();
    for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
        const auto& object = *it;
        if (!object)
            continue;
        if (object->type() == kGalleryType) {
            openGalleryObject(object);
            return;
        }
        if (object->type() == kPDFType) {
            // As a click does: a file not on disk yet downloads first.
            openOrDownloadPDF(object);
            return;
        }
        if (object->type() == kVideoType) {
            const auto video = object->as<ZERI_MMObject_Video>();
            if (video && video->isYoutubeVideo()) {
                const auto asset = object->object()->videoAsset();
                playYoutubeVideoAtStringURL(asset ? asset->externalURL().toString() : QString());
            } else {
                playOrDownloadVideoObject(object);
            }
            return;
        }
        if (hasFlowLink(object)) {
            postFlowLinkOfObject(object);
            return;
        }
    }
}

bool QVRViewerViewController::isFromOwnWindow(const Notification& notification)
{
    QWidget* host = view();
    return host && notification.sender == static_cast<const void*>(host->window());
}

void QVRViewerViewController::galleryPressed(const Notification& notification)
{
    if (!isFromOwnWindow(notification) || m_galleryViewerView)
        return;
    if (auto object = objectFrom(notification.userInfo.value(QVR_MixedMediaElementContainingView::kGalleryLinkKey)))
        openGalleryObject(object);
}

void QVRViewerViewController::pdfLinkPressed(const Notification& notification)
{
    if (!isFromOwnWindow(notification) || m_pdfViewerView)
        return;
    if (auto object = objectFrom(notification.userInfo.value(QVR_MixedMediaElementContainingView::kPDFKey)))
        openOrDownloadPDF(object);
}

void QVRViewerViewController::localVideoPressed(const Notification& notification)
{
    if (!isFromOwnWindow(notification) || m_videoPlayingView)
        return;
    if (auto object = objectFrom(notification.userInfo.value(QVR_MixedMediaElementContainingView::kLocalVideoKey)))
        playOrDownloadVideoObject(object);
}

void QVRViewerViewController::youtubeVideoPressed(const Notification& notification)
{
    if (!isFromOwnWindow(notification) || m_youTubePlayingView)
        return;
    const QVariant link = notification.userInfo.value(QVR_MixedMediaElementContainingView::kYoutubeVideoKey);
    if (link.typeId() == QMetaType::QString)
        playYoutubeVideoAtStringURL(link.toString());
}

void QVRViewerViewController::openOrDownloadPDF(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    const auto downloader = mediaDownloader(object);
    if (!downloader) {
        qCWarning(lcViewer) << "a PDF element without a file";
        return;
    }
    if (downloader->fileExists())
        playPDFWithPDFObject(object);
    else
        downloadMediaForObject(object);
}

void QVRViewerViewController::playOrDownloadVideoObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    const auto downloader = mediaDownloader(object);
    if (!downloader) {
        qCWarning(lcViewer) << "a video element without a file";
        return;
    }
    if (downloader->fileExists())
        playVideoWithVideoObject(object);
    else
        downloadMediaForObject(object);
}

void QVRViewerViewController::playVideoWithVideoObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    if (m_videoPlayingView)
        return;
    const auto downloader = mediaDownloader(object);
    if (!downloader)
        return;
    QPointer<QVRViewerViewController> self(this);
    m_videoPlayingView = QVR_AVPlayerVideoPlayingView::presentOverView(view(), downloader->filepath(), [self] {
        if (self) {
            self->m_videoPlayingView = nullptr;
            self->updateArrows();
            if (self->m_viewerView)
                self->m_viewerView->setFocus();
        }
    });
    if (m_videoPlayingView)
        placeModalView(m_videoPlayingView);
}

void QVRViewerViewController::playYoutubeVideoAtStringURL(const QString& urlString)
{
    if (m_youTubePlayingView)
        return;
    if (urlString.isEmpty()) {
        qCWarning(lcViewer) << "a streaming video without a link";
        return;
    }
    QPointer<QVRViewerViewController> self(this);
    m_youTubePlayingView = QVR_YouTubeVideoPlayingView::presentOverView(view(), urlString, [self] {
        if (self && self->m_youTubePlayingView) {
            self->m_youtubeKeyObservation.reset();
            self->m_youTubePlayingView = nullptr;
            self->updateArrows();
            if (self->m_viewerView)
                self->m_viewerView->setFocus();
        }
    });
    if (!m_youTubePlayingView)
        return;
    placeModalView(m_youTubePlayingView);
    m_youtubeKeyObservation =
        NotificationObservation(TessarineViewerViewKeyDownNotificationName, m_youTubePlayingView.data(),
                                [this](const Notification& n) { globalKeyDown(n); });
}

void QVRViewerViewController::downloadMediaForObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    const auto downloader = mediaDownloader(object);
    if (!downloader)
        return;
    // The object already watched: its download runs, nothing more to start.
    if (m_watchedObject.lock() == object && m_watchedDownloader == downloader &&
        downloader->downloadStatus() == ZERI_WebDownloader::Downloading)
        return;
    // Another object's stalled download must not silence this click: the watch moves here.
    forgetDownload();
    m_watchedObject = object;
    m_watchedDownloader = downloader;
    std::weak_ptr<ZERI_MixedMediaObjectProxy> weakObject = object;
    m_downloadObserver = downloader->updateNotifier().addObservationBlock(
        [this, weakObject](const void*, const QSet<QString>&) {
            if (auto watched = weakObject.lock())
                onDownloadStatusChangedForObject(watched);
        },
        QStringLiteral("downloadStatus"));
    // The viewer shows no progress of its own; the watch on it lasts as long as the one on the status.
    m_downloadProgressObserver = downloader->updateNotifier().addObservationBlock(
        [](const void*, const QSet<QString>&) {}, QStringLiteral("progress"));
    downloader->downloadAndCache();
}

void QVRViewerViewController::onDownloadStatusChangedForObject(
    const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    if (object != m_watchedObject.lock() || !m_watchedDownloader)
        return;
    const auto downloader = m_watchedDownloader;
    switch (downloader->downloadStatus()) {
    case ZERI_WebDownloader::OnDisk:
        forgetDownload();
        // A video that came quickly plays as though it had been there; a PDF or a clip waits for the next click.
        if (object->type() == kVideoType && downloader->downloadTime() < autoplayDownloadLimit())
            playVideoWithVideoObject(object);
        break;
    case ZERI_WebDownloader::Failed: {
        // Only logged: the user may click again, which starts a new download.
        QString message = UFM::UNABLE_TO_DOWNLOAD_MEDIA();
        if (const QString reason = downloader->downloadError().message; !reason.isEmpty())
            message += QLatin1Char(' ') + reason;
        qCWarning(lcViewer).noquote() << "Error downloading video:" << message;
        forgetDownload();
        break;
    }
    case ZERI_WebDownloader::Idle:
        // Cancelled elsewhere: nothing is coming, so a later click starts afresh.
        forgetDownload();
        break;
    default:
        break;
    }
}

void QVRViewerViewController::cancelDownloadForObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    if (const auto downloader = mediaDownloader(object))
        downloader->cancel();
    if (object == m_watchedObject.lock())
        forgetDownload();
}

void QVRViewerViewController::forgetDownload()
{
    m_downloadObserver.reset();
    m_downloadProgressObserver.reset();
    m_watchedDownloader.reset();
    m_watchedObject.reset();
}

void QVRViewerViewController::placeModalView(QWidget* modal)
{
    auto* host = static_cast<ViewerHostView*>(view());
    modal->setGeometry(host->rect());
    host->covering.append(modal);
    modal->show();
    modal->raise();
    m_leftButton->hide();
    m_rightButton->hide();
}

void QVRViewerViewController::observeModalKeys(QWidget* modal)
{
    m_modalKeyObservation = NotificationObservation(TessarineViewerViewKeyDownNotificationName, modal,
                                                    [this](const Notification& n) { globalKeyDown(n); });
}

void QVRViewerViewController::openGalleryObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    if (m_galleryViewerView || !object)
        return;
    QWidget* host = view();
    m_galleryViewerView = new QVR_GalleryViewerView(host->rect(), object, host);
    QPointer<QVRViewerViewController> self(this);
    m_galleryViewerView->setClosedPressedBlock([self] {
        if (self)
            self->dismissGalleryView();
    });
    placeModalView(m_galleryViewerView);
    m_galleryViewerView->setFocus();
}

void QVRViewerViewController::playPDFWithPDFObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    if (m_pdfViewerView || !object)
        return;
    QWidget* host = view();
    m_pdfViewerView = new QVR_PDFViewerView(host->rect(), object, host);
    QPointer<QVRViewerViewController> self(this);
    m_pdfViewerView->setClosedPressedBlock([self] {
        if (self)
            self->dismissPDFView();
    });
    placeModalView(m_pdfViewerView);
    observeModalKeys(m_pdfViewerView);
    // The pages take the scrolling keys at once, as the gallery takes its arrows.
    m_pdfViewerView->setFocus();
}

void QVRViewerViewController::dismissGalleryView()
{
    if (!m_galleryViewerView)
        return;
    m_galleryViewerView->hide();
    m_galleryViewerView->deleteLater();
    m_galleryViewerView = nullptr;
    updateArrows();
    if (m_viewerView)
        m_viewerView->setFocus();
}

void QVRViewerViewController::dismissPDFView()
{
    if (!m_pdfViewerView)
        return;
    m_modalKeyObservation.reset();
    m_pdfViewerView->hide();
    m_pdfViewerView->deleteLater();
    m_pdfViewerView = nullptr;
    updateArrows();
    if (m_viewerView)
        m_viewerView->setFocus();
}

void QVRViewerViewController::dismissVideoPlayingView()
{
    if (!m_videoPlayingView)
        return;
    QVR_AVPlayerVideoPlayingView* shown = m_videoPlayingView;
    m_videoPlayingView = nullptr;
    // The close path removes the view, finishes "View Video" and runs the dismissal hook.
    if (auto block = shown->closedPressedBlock())
        block();
    else
        shown->deleteLater();
    updateArrows();
}

void QVRViewerViewController::dismissYoutubeView()
{
    if (!m_youTubePlayingView)
        return;
    // The close path removes the view, finishes "View Video" and runs the dismissal hook.
    if (auto block = m_youTubePlayingView->closedPressedBlock()) {
        block();
        return;
    }
    m_youtubeKeyObservation.reset();
    m_youTubePlayingView->hide();
    m_youTubePlayingView->deleteLater();
    m_youTubePlayingView = nullptr;
    updateArrows();
    if (m_viewerView)
        m_viewerView->setFocus();
}

void QVRViewerViewController::dismissAnyModalView()
{
    dismissGalleryView();
    dismissPDFView();
    dismissVideoPlayingView();
    dismissYoutubeView();
}

void QVRViewerViewController::updateArrows()
{
    if (!m_viewerView)
        return;
    if (isCustomModelBeingPresented()) {
        m_leftButton->hide();
        m_rightButton->hide();
        return;
    }
    const int page = m_viewerView->currentPage();
    m_leftButton->setVisible(page > 0);
    m_rightButton->setVisible(page < m_viewerView->numScreens() - 1);
}

void QVRViewerViewController::tessarineViewerWillScrollToLastPage()
{
    if (m_rightButton)
        m_rightButton->hide();
}

void QVRViewerViewController::tessarineViewerWillScrollToFirstPage()
{
    if (m_leftButton)
        m_leftButton->hide();
}

void QVRViewerViewController::tessarineViewerWillScrollAwayFromLastPage()
{
    if (m_rightButton)
        m_rightButton->setVisible(!isCustomModelBeingPresented());
}

void QVRViewerViewController::tessarineViewerWillScrollAwayFromFirstPage()
{
    if (m_leftButton)
        m_leftButton->setVisible(!isCustomModelBeingPresented());
}

void QVRViewerViewController::tessarineViewerDidFinishAutoplay(QVR_TessarineViewerView*)
{
    emit autoplayFinished();
}

// ---- Audio clips, local and streaming video links, and embedded-flow links of the front object.

namespace {

double g_autoplayLimitForTesting = 0.0;

} // namespace

double QVRViewerViewController::autoplayDownloadLimit()
{
    return g_autoplayLimitForTesting > 0.0 ? g_autoplayLimitForTesting : kAutoplayDownloadLimitSeconds;
}

void QVRViewerViewController::setAutoplayDownloadLimitForTesting(double seconds)
{
    g_autoplayLimitForTesting = seconds;
}

void QVRViewerViewController::observeMediaLinks()
{
    using Container = QVR_MixedMediaElementContainingView;
    NotificationCenter& center = NotificationCenter::defaultCenter();
    m_observations.emplace_back(center, center.addObserver(Container::kLocalVideoPressedNotification, nullptr,
                                                           [this](const Notification& n) { localVideoPressed(n); }));
    m_observations.emplace_back(center, center.addObserver(Container::kYoutubeVideoPressedNotification, nullptr,
                                                           [this](const Notification& n) { youtubeVideoPressed(n); }));
    m_observations.emplace_back(center, center.addObserver(Container::kAudioPressedNotification, nullptr,
                                                           [this](const Notification& n) { audioLinkPressed(n); }));
}

void QVRViewerViewController::audioLinkPressed(const Notification& notification)
{
    if (!isFromOwnWindow(notification))
        return;
    if (auto object = objectFrom(notification.userInfo.value(QVR_MixedMediaElementContainingView::kAudioKey)))
        playOrDownloadAudioObject(object);
}

void QVRViewerViewController::playOrDownloadAudioObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    if (!object || object->type() != kAudioType)
        return;
    const auto downloader = mediaDownloader(object);
    if (!downloader) {
        qCWarning(lcViewer) << "an audio element without a file";
        return;
    }
    if (!downloader->fileExists()) {
        downloadMediaForObject(object);
        return;
    }
    if (!m_audioController)
        m_audioController = std::make_unique<QVOAudioController>(m_audioClipFactory);
    m_audioController->playAudioWithId(object->object()->internalID(), QUrl::fromLocalFile(downloader->filepath()));
}

bool QVRViewerViewController::hasFlowLink(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    const auto action = object && object->object() ? object->object()->action() : nullptr;
    const auto link = std::dynamic_pointer_cast<ZERI_MMAction_WebLink>(action);
    return link && Tessutils::isFlowLink(link->weblinkText());
}

void QVRViewerViewController::postFlowLinkOfObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    const auto action = object->object()->action();
    QWidget* host = view();
    NotificationCenter::defaultCenter().post(
        QVR_MixedMediaElementContainingView::kFlowEmbedLinkPressedNotification, host ? host->window() : nullptr,
        {{QVR_MixedMediaElementContainingView::kFlowEmbedLinkActionKey,
          QVariant::fromValue(ModelItemRef(std::static_pointer_cast<TessarineDataModelItem>(action)))}});
}
