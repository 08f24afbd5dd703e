#include "viewer/QVRViewerDownloadViewController.h"

#include <algorithm>
#include <cmath>

#include <QEvent>
#include <QFileInfo>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSvgRenderer>
#include <QVBoxLayout>

#include "controls/FittingPanelArea.h"
#include "controls/QVR_AsynchronousRenderWebImageView.h"
#include "controls/ViewUtils.h"
#include "foundation/SafeDictionary.h"
#include "foundation/Tessutils.h"
#include "platform/MainThread.h"
#include "platform/WorkerThreads.h"
#include "storage/ContentAssetStorage.h"
#include "storage/ZERI_WebDownloader.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "storage/ZERI_qvdFilePackageMetadata.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/ViewerLogging.h"

namespace {

constexpr int kPreviewHeight = 263; // the card's width at the screen's 1024 × 748 proportions
constexpr int kAvatarSize = 44;
constexpr int kCardCornerRadius = 7;
constexpr int kBarHeight = 8;

QImage defaultAvatar()
{
    QSvgRenderer renderer(QStringLiteral(":/viewer/avatar_guy.svg"));
    QImage image(renderer.defaultSize() * 2, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

// The panel's view: it asks for the room of its card and the card's shadow, so that a window laying it out at its
// preferred size (centred in a layout) shows the card whole; given less, the card scrolls within it.
class PanelView : public QWidget {
public:
    explicit PanelView(const QSize& preferred)
        : m_preferred(preferred)
    {
    }
    QSize sizeHint() const override { return m_preferred; }

private:
    QSize m_preferred;
};

bool isWebAddress(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == u"http" || scheme == u"https");
}

} // namespace

QVRViewerDownloadViewController::QVRViewerDownloadViewController(QObject* parent)
    : ViewController(parent)
{
}

QVRViewerDownloadViewController::~QVRViewerDownloadViewController() = default;

void QVRViewerDownloadViewController::loadView()
{
    const QMargins shadowRoom(12, 12, 12, 16);
    auto* root = new PanelView(kCardSize.grownBy(shadowRoom));
    root->setObjectName(QStringLiteral("QVRViewerDownloadViewControllerView"));

    // The card with room for its shadow, centred over the player; in a window smaller than that it scrolls. Plain
    // child widgets: what lies around the card is the window's own (a translucent background would be cleared
    // to black in a creator window on X).
    auto* framed = new QWidget;
    auto* card = new QWidget(framed);
    card->setObjectName(QStringLiteral("downloadCard"));
    card->setAttribute(Qt::WA_StyledBackground);
    card->setStyleSheet(
        QStringLiteral("#downloadCard { background: white; border-radius: %1px; }").arg(kCardCornerRadius));
    card->setFixedSize(kCardSize);
    auto* shadow = new QGraphicsDropShadowEffect(card);
    shadow->setOffset(0, 4); // below the card
    shadow->setBlurRadius(6);
    shadow->setColor(QColor(0, 0, 0, 204));
    card->setGraphicsEffect(shadow);
    m_cardView = card;

    card->move(shadowRoom.left(), shadowRoom.top());
    framed->setFixedSize(kCardSize.grownBy(shadowRoom));
    auto* area = new FittingPanelArea(framed, root);
    // The scroll area fills what it scrolls with the window's colour: around the card the player shows through.
    framed->setAutoFillBackground(false);
    area->followParent(QMargins());

    auto* layout = new QVBoxLayout(card);
    layout->setContentsMargins(0, 0, 0, 16);
    layout->setSpacing(0);

    m_tessarinePreviewImageView = new QVR_AsynchronousRenderWebImageView(card);
    m_tessarinePreviewImageView->setContentMode(ViewUtils::ContentModeScaleAspectFill);
    m_tessarinePreviewImageView->setFixedHeight(kPreviewHeight);
    // The picture follows the card's rounded top corners.
    m_tessarinePreviewImageView->setCornerRadius(kCardCornerRadius, true);
    layout->addWidget(m_tessarinePreviewImageView);

    m_topBoarder = new QWidget(card);
    m_topBoarder->setFixedHeight(1);
    ViewUtils::setBackgroundColor(m_topBoarder, QColor(0, 0, 0, 26));
    layout->addWidget(m_topBoarder);

    auto* details = new QHBoxLayout;
    details->setContentsMargins(16, 12, 16, 8);
    details->setSpacing(10);
    m_profileImageView = new QVR_AsynchronousRenderWebImageView(card);
    m_profileImageView->setContentMode(ViewUtils::ContentModeScaleAspectFill);
    m_profileImageView->setFixedSize(kAvatarSize, kAvatarSize);
    m_profileImageView->setBorderColor(QColor(0, 0, 0, 26)); // black at 0.1
    details->addWidget(m_profileImageView, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    m_titleLabel = new QLabel(card);
    m_titleLabel->setStyleSheet(QStringLiteral("color: #222; font-size: 16px; font-weight: 600;"));
    m_titleLabel->setWordWrap(true);
    m_authorLabel = new QLabel(card);
    m_authorLabel->setStyleSheet(QStringLiteral("color: #777; font-size: 13px;"));
    texts->addWidget(m_titleLabel);
    texts->addWidget(m_authorLabel);
    texts->addStretch();
    details->addLayout(texts, 1);
    layout->addLayout(details, 1);

    auto* progressRow = new QHBoxLayout;
    progressRow->setContentsMargins(16, 0, 16, 12);
    progressRow->setSpacing(10);
    m_loadingBarView = new QWidget(card);
    m_loadingBarView->setObjectName(QStringLiteral("loadingBar"));
    m_loadingBarView->setAttribute(Qt::WA_StyledBackground);
    m_loadingBarView->setStyleSheet(QStringLiteral("#loadingBar { border: 1px solid #b4b4b4; background: white; }"));
    m_loadingBarView->setFixedHeight(kBarHeight);
    m_loadingBarView->installEventFilter(this);
    m_loadingBarProgressView = new QWidget(m_loadingBarView);
    ViewUtils::setBackgroundColor(m_loadingBarProgressView, Tessutils::tessarineBlue());
    m_percentCompleteLabel = new QLabel(card);
    m_percentCompleteLabel->setMinimumWidth(40);
    m_percentCompleteLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    progressRow->addWidget(m_loadingBarView, 1, Qt::AlignVCenter);
    progressRow->addWidget(m_percentCompleteLabel);
    layout->addLayout(progressRow);

    m_cancelButton = new QPushButton(UFM::CANCEL_TEXT(), card);
    m_cancelButton->setCursor(Qt::PointingHandCursor);
    // Without a frame of its own but for the keyboard's: a dark ring on the card shows when Tab has reached it.
    m_cancelButton->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border: none; "
                                                 "border-radius: 4px; padding: 6px 22px; }"
                                                 "QPushButton:focus { border: 2px solid rgb(20, 50, 90); }")
                                      .arg(Tessutils::tessarineBlue().name()));
    connect(m_cancelButton, &QPushButton::clicked, this, &QVRViewerDownloadViewController::cancelButtonPressed);
    layout->addWidget(m_cancelButton, 0, Qt::AlignHCenter);

    setView(root);
}

void QVRViewerDownloadViewController::viewDidLoad()
{
    m_awake = true;
    setProgress(m_progress);
    if (const auto model = std::exchange(m_model, nullptr))
        applyInformation(model);
}

void QVRViewerDownloadViewController::setInformation(const std::shared_ptr<ZERI_TessarineModel>& model)
{
    if (!m_awake) {
        m_model = model;
        return;
    }
    m_model.reset();
    applyInformation(model);
}

void QVRViewerDownloadViewController::applyInformation(const std::shared_ptr<ZERI_TessarineModel>& model)
{
    if (!model)
        return;
    const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(model->filePackage());
    ZERI_qvdFilePackageMetadata* metadata = package ? &package->metaData() : nullptr;
    const QString assetsPath = package ? package->assetsPath() : QString();

    // The owner record comes from the service: any member may be missing or of another kind.
    const SafeDictionary owner(metadata ? metadata->owner() : QJsonObject());
    QString avatar;
    if (const auto cropped = owner.safeDictionaryForKey(QStringLiteral("cropped_avatar"))) {
        if (const auto original = cropped->safeDictionaryForKey(QStringLiteral("or")))
            avatar = original->stringForKey(QStringLiteral("https"));
    }
    const QUrl avatarURL(avatar);
    if (!avatar.isEmpty() && isWebAddress(avatarURL) && !assetsPath.isEmpty()) {
        const auto downloader =
            ZERI_WebDownloader::downloaderForUrl(avatarURL, assetsPath, ZERI_WebDownloader::Kind::Picture);
        showDefaultAvatar(); // until the picture lands, or when it never does
        m_profileImageView->setDownloader(downloader);
        downloader->downloadAndCache();
    } else {
        if (!avatar.isEmpty())
            qCWarning(lcViewer) << "the author's avatar address cannot be fetched:" << avatar;
        m_profileImageView->setDownloader(nullptr);
        showDefaultAvatar();
    }

    const auto flow = model->firstFlowmodel();
    const QString title = flow ? flow->title() : QString();
    m_titleLabel->setText(title.isEmpty() ? UFM::UNTITLED_TEXT() : title);
    m_authorLabel->setText(QStringLiteral("By %1").arg(owner.stringForKey(QStringLiteral("display_name"))));

    // The preview picture: the stored file, else its address, else the first screen's preview.
    const QString previewPath = package ? package->previewPictureFile() : QString();
    const QString previewURL = metadata ? metadata->previewScreenshotURLString() : QString();
    if (!previewPath.isEmpty() && QFileInfo(previewPath).isFile()) {
        m_tessarinePreviewImageView->setDownloader(nullptr);
        m_tessarinePreviewImageView->setImagePath(previewPath);
        return;
    }
    if (!previewURL.isEmpty() && !assetsPath.isEmpty() && isWebAddress(QUrl(previewURL))) {
        const auto downloader =
            ZERI_WebDownloader::downloaderForUrl(QUrl(previewURL), assetsPath, ZERI_WebDownloader::Kind::Picture);
        m_tessarinePreviewImageView->setDownloader(downloader);
        downloader->downloadAndCache();
        return;
    }
    const auto screen = flow && !flow->screenModels().empty() ? flow->screenModels().front() : nullptr;
    const auto asset = screen ? screen->previewScreenShotAsset() : nullptr;
    if (!asset)
        return;
    // Decoding (and fetching, when the file is missing) may take long: on a worker, handed back guarded, since
    // the panel may be gone by then.
    const QPointer<QVRViewerDownloadViewController> guard(this);
    WorkerThreads::shared().post([asset, guard]() mutable {
        const QImage image = ContentAssetStorage::getImage(asset);
        MainThread::run(
            [guard = std::move(guard), image, asset = std::move(asset)] {
                Q_UNUSED(asset) // the model's objects are let go of on the main thread
                if (!guard)
                    return;
                if (!image.isNull() && guard->m_tessarinePreviewImageView)
                    guard->m_tessarinePreviewImageView->setImage(image);
                emit guard->previewImageDecoded();
            },
            false);
    });
}

void QVRViewerDownloadViewController::showDefaultAvatar()
{
    static const QImage avatar = defaultAvatar();
    m_profileImageView->setImage(avatar);
}

void QVRViewerDownloadViewController::setProgress(double progress)
{
    // A fraction above 1 shows as 100 %, and nothing moves the fill past the bar or back past 0.
    m_progress = std::isnan(progress) ? 0.0 : std::clamp(progress, 0.0, 1.0);
    if (!m_awake)
        return;
    m_percentCompleteLabel->setText(QStringLiteral("%1%").arg(int(std::trunc(m_progress * 100.0 + 1e-9))));
    layoutProgressFill();
}

void QVRViewerDownloadViewController::layoutProgressFill()
{
    if (!m_loadingBarView || !m_loadingBarProgressView)
        return;
    const int width = int(std::floor(m_loadingBarView->width() * m_progress));
    m_loadingBarProgressView->setGeometry(0, 0, std::clamp(width, 0, m_loadingBarView->width()),
                                          m_loadingBarView->height());
}

bool QVRViewerDownloadViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_loadingBarView && event->type() == QEvent::Resize)
        layoutProgressFill();
    return ViewController::eventFilter(watched, event);
}

void QVRViewerDownloadViewController::removeView()
{
    if (!isViewLoaded())
        return;
    QWidget* panel = ViewController::view();
    panel->hide();
    panel->setParent(nullptr);
}

void QVRViewerDownloadViewController::cancelButtonPressed()
{
    onCloseButtonPressed();
}

void QVRViewerDownloadViewController::onCloseButtonPressed()
{
    // Copied: the block commonly ends the request that holds this panel.
    if (auto block = m_onCloseButtonPressedBlock)
        block();
}
