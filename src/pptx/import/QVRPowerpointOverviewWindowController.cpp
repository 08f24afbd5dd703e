#include "pptx/import/QVRPowerpointOverviewWindowController.h"

#include <utility>

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLoggingCategory>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/QVRWindowManager.h"
#include "controls/FloatingWindowCloser.h"
#include "controls/ViewUtils.h"
#include "foundation/Tessutils.h"
#include "pptx/converter/QVRPowerPointConverter.h"
#include "pptx/import/QVRPowerpointImportManager.h"
#include "service/ServiceReachability.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/QVRViewerViewController.h"
#include "viewer/QVR_TessarineViewerView.h"

Q_LOGGING_CATEGORY(lcPptxOverview, "tess.pptx.overview", QtWarningMsg)

namespace {

// The presentation that shows what an imported deck looks like.
const char* const kDefaultSampleStringID = "powerpoint-import-sample";
constexpr double kTitleBarHeight = 38.0;
constexpr int kMargin = 24;

} // namespace

QVRPowerpointOverviewWindowController::QVRPowerpointOverviewWindowController(QWidget* parent)
    : INAppStoreWindow(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(UFM::IMPORT_POWERPOINT_TEXT());
    setTitleBarHeight(kTitleBarHeight);
    setTitleBarDrawingBlock(QVRWindowManager::tessarineWindowTitleViewDrawingBlock());
    // Closable without a window manager: Escape, Ctrl+W and a close button in the title band.
    FloatingWindowCloser::install(this, UFM::SAYS_CLOSE())->useLightButton();
    resize(512 + 2 * kMargin, 374 + 3 * kMargin + 40 + static_cast<int>(kTitleBarHeight));
    // However small it is made, Get Started and a part of the sample stay in view.
    setMinimumSize(240 + 2 * kMargin, 135 + 3 * kMargin + 40 + static_cast<int>(kTitleBarHeight));

    QPalette contentPalette = contentView()->palette();
    contentPalette.setColor(QPalette::Window, Qt::white);
    contentView()->setPalette(contentPalette);
    contentView()->setAutoFillBackground(true);

    m_viewerHolder = new QWidget(contentView());
    m_viewerHolder->setObjectName(QStringLiteral("viewerHolder"));
    QPalette holderPalette = m_viewerHolder->palette();
    holderPalette.setColor(QPalette::Window, Qt::darkGray);
    m_viewerHolder->setPalette(holderPalette);
    m_viewerHolder->setAutoFillBackground(true);

    m_getStartedButton = new QPushButton(UFM::SAYS_GET_STARTED(), contentView());
    m_getStartedButton->setObjectName(QStringLiteral("getStartedButton"));
    m_getStartedButton->setFixedSize(180, 40);
    m_getStartedButton->setCursor(Qt::PointingHandCursor);
    // The keyboard starts here: Return or Space presses it, and a ring shows it has the keyboard.
    m_getStartedButton->setAutoDefault(true);
    m_getStartedButton->setStyleSheet(QStringLiteral("QPushButton { color: white; background-color: %1; border: none; "
                                                     "border-radius: 4px; font-size: 15px; }"
                                                     "QPushButton:focus { border: 3px solid rgb(120, 190, 255); }")
                                          .arg(Tessutils::tessarineBlue().name()));
    connect(m_getStartedButton, &QPushButton::clicked, this, [this] { getStartedPressed(); });

    auto* layout = new QVBoxLayout(contentView());
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->setSpacing(kMargin);
    layout->addWidget(m_viewerHolder, 1);
    layout->addWidget(m_getStartedButton, 0, Qt::AlignHCenter);
    m_getStartedButton->setFocus();

    // The player fills the holder and follows its size.
    m_viewerViewController = new QVRViewerViewController(this);
    auto* holderLayout = new QGridLayout(m_viewerHolder);
    holderLayout->setContentsMargins(0, 0, 0, 0);
    holderLayout->addWidget(m_viewerViewController->view(), 0, 0);
    // The sample fills the holder: no page buttons over it.
    m_viewerViewController->setMinimumButtonWidth(0);
    m_sampleFailureLabel = new QLabel(m_viewerHolder);
    m_sampleFailureLabel->setObjectName(QStringLiteral("sampleFailureLabel"));
    m_sampleFailureLabel->setWordWrap(true);
    m_sampleFailureLabel->setAlignment(Qt::AlignCenter);
    m_sampleFailureLabel->setStyleSheet(QStringLiteral("color: #2B83C0; font: bold 16px; background: transparent;"));
    m_sampleFailureLabel->hide();
    holderLayout->addWidget(m_sampleFailureLabel, 0, 0, Qt::AlignCenter);

    connect(&QVRPowerpointImportManager::shared(), &QVRPowerpointImportManager::importProgress, this,
            [this](double fraction) {
                if (m_loadingViewController)
                    m_loadingViewController->setProgress(fraction);
            });

    // The sample: its published copy, fetched by string id, handed to this window rather than to a window of its
    // own.
    m_sampleRequest = QVROpenRequest::request();
    m_sampleRequest->setOpenCue(sampleStringID());
    m_sampleRequest->setOptions(QVROpenRequest::PublishedCopyOnly | QVROpenRequest::DownloadByStringID);
    m_sampleRequest->setDelegate(this);
    const std::weak_ptr<bool> alive = m_alive;
    m_sampleRequest->open([this, alive](const Error& error) {
        if (!alive.expired())
            sampleRequestEnded(error);
    });
}

QVRPowerpointOverviewWindowController::~QVRPowerpointOverviewWindowController()
{
    m_alive.reset();
    // Nothing of the sample's request may reach this window once it is gone.
    if (const auto request = std::move(m_sampleRequest))
        request->cancel();
}

QString QVRPowerpointOverviewWindowController::sampleStringID()
{
    const QString configured = qEnvironmentVariable("TESS_PPTX_SAMPLE_STRING_ID").trimmed();
    return configured.isEmpty() ? QString::fromLatin1(kDefaultSampleStringID) : configured;
}

void QVRPowerpointOverviewWindowController::openRequesterWantsToDisplayLoadingView(QObject* view)
{
    auto* widget = qobject_cast<QWidget*>(view);
    if (!widget || !m_viewerViewController)
        return;
    m_sampleLoadingViews.append(widget);
    m_viewerViewController->addLoadingView(widget);
}

void QVRPowerpointOverviewWindowController::sampleRequestEnded(const Error& error)
{
    if (!error.isNull()) {
        qCWarning(lcPptxOverview).noquote() << "the sample presentation did not open:" << error.description();
        if (m_sampleFailureLabel) {
            const bool offline = error.code == QVROpenRequest::NoInternet;
            m_sampleFailureLabel->setText(offline || error.message.isEmpty() ? ServiceReachability::unreachableText()
                                                                             : error.message);
            m_sampleFailureLabel->setMaximumWidth(420);
            m_sampleFailureLabel->show();
            m_sampleFailureLabel->raise();
        }
    }
    // The fetching view would otherwise spin on over the player for good; the download panel has taken its own
    // view out already.
    for (const QPointer<QWidget>& view : std::exchange(m_sampleLoadingViews, {})) {
        if (view && isAncestorOf(view)) {
            view->hide();
            view->deleteLater();
        }
    }
    m_sampleRequest.reset();
}

void QVRPowerpointOverviewWindowController::openRequesterHasFinishedLoadingModel(
    const std::shared_ptr<ZERI_TessarineModel>& model)
{
    if (!model || !m_viewerViewController)
        return;
    // The player shows a read-only copy, so nothing it does can change the stored sample.
    m_sampleDocument = model->readOnlyCopy();
    QVR_TessarineViewerView* player = m_viewerViewController->viewerView();
    player->setOriginalTessarineModel(model);
    if (const auto flow = m_sampleDocument ? m_sampleDocument->firstFlowmodel() : nullptr)
        player->setFlowModel(flow);
    m_viewerViewController->updateArrows();
}

void QVRPowerpointOverviewWindowController::getStartedPressed()
{
    if (m_loadingViewController)
        return;
    m_loadingViewController = new QVR_LoadingViewController(this);
    m_loadingViewController->setDelegate(this);
    QPointer<QVR_LoadingViewController> shown = m_loadingViewController;
    QTimer::singleShot(kLoadingViewDelayMs, this, [this, shown] {
        if (shown && shown == m_loadingViewController)
            showLoadingView();
    });
    startImport();
}

void QVRPowerpointOverviewWindowController::showLoadingView()
{
    QWidget* view = m_loadingViewController->view();
    view->setParent(contentView());
    // A panel of the window's own colour, as in every window that shows one: its bar and Cancel never lie on the
    // dark sample.
    view->setAutoFillBackground(true);
    ViewUtils::centerView(view, contentView());
    ViewUtils::setY(view, view->y() + kLoadingViewOffsetY);
    m_loadingViewController->startSpinner();
    view->show();
    view->raise();
}

void QVRPowerpointOverviewWindowController::removeLoadingView()
{
    if (!m_loadingViewController)
        return;
    QVR_LoadingViewController* controller = m_loadingViewController;
    m_loadingViewController = nullptr;
    controller->setDelegate(nullptr);
    controller->stopSpinner();
    // The removal may come from the loading view's own Cancel button: both go once it has returned.
    if (controller->isViewLoaded()) {
        controller->view()->hide();
        controller->view()->deleteLater();
    }
    controller->deleteLater();
    // The keyboard comes back to Get Started, for the next try.
    if (m_getStartedButton && isVisible())
        m_getStartedButton->setFocus(Qt::OtherFocusReason);
}

void QVRPowerpointOverviewWindowController::startImport()
{
    const int number = ++m_importNumber;
    const std::weak_ptr<bool> alive = m_alive;
    QVRPowerpointImportManager::shared().importPowerpoint(
        this, [this, alive, number](const std::shared_ptr<ZERI_TessarineModel>& document, const Error& error) {
            if (!alive.expired() && number == m_importNumber)
                importFinished(document, error);
        });
}

void QVRPowerpointOverviewWindowController::importFinished(const std::shared_ptr<ZERI_TessarineModel>&,
                                                           const Error& error)
{
    const bool converterError = error.domain == QVRPowerPointConverter::errorDomain;
    if (converterError && error.code == QVRPowerPointConverter::NotAPresentation) {
        // The alert has told the user; another file is asked for at once, under the same loading view.
        startImport();
        return;
    }
    removeLoadingView();
    const bool cancelled = error.domain == QString::fromLatin1(QVRPowerpointImportManager::errorDomain) &&
                           error.code == QVRPowerpointImportManager::Cancelled;
    if (!cancelled)
        close();
}

void QVRPowerpointOverviewWindowController::closeEvent(QCloseEvent* event)
{
    // Closed while its import runs (Escape, Ctrl+W, the close button): the import ends as its Cancel ends it, so
    // no document is left behind and no window opens later.
    if (m_loadingViewController) {
        // A question the import waits on (a font to replace) is closed first: closing it is its own Cancel.
        for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (child->isWindow() && child->isVisible())
                child->close();
    }
    if (m_loadingViewController)
        loadingViewCancelButtonPressed();
    INAppStoreWindow::closeEvent(event);
}

void QVRPowerpointOverviewWindowController::loadingViewCancelButtonPressed()
{
    removeLoadingView();
    QVRPowerpointImportManager::shared().cancelCurrentImport();
}
