// The viewer window's document stack (embedded flows played in the same window, left again with the back button
// or Escape) and its title-bar buttons.

#include <QIcon>
#include <QPointer>
#include <QTimer>
#include <QToolButton>

#include "controls/QVR_Toast.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "elements/images/UNIImage.h"
#include "foundation/Tessutils.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "tessarine_data_model/TessarineDataModelItem.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_WebLink.h"
#include "viewer/QVRViewerViewController.h"
#include "viewer/QVRViewerWindow.h"
#include "viewer/ViewerDocumentActions.h"
#include "viewer/ViewerLogging.h"
#include "viewer/ViewerSharing.h"

namespace {

constexpr int kBackButtonSize = 33;
constexpr int kBackButtonMargin = 10;

// The page a flow link asks for: the screen named by a non-empty "screenID" when the flow has it, else
// "screenIndex" read as a number (0 when absent or no number).
int pageForFlowLink(const QString& link, const std::shared_ptr<ZERI_TessarineModel>& document)
{
    int page = 0;
    if (const auto index = Tessutils::screenIndexFromEmbedFlowLink(link)) {
        bool ok = false;
        const int value = index->trimmed().toInt(&ok);
        page = ok ? value : 0;
    }
    const auto screenID = Tessutils::screenIDFromEmbedFlowLink(link);
    const auto flow = document ? document->firstFlowmodel() : nullptr;
    if (screenID && !screenID->isEmpty() && flow) {
        const auto& screens = flow->screenModels();
        for (size_t i = 0; i < screens.size(); ++i) {
            if (screens[i] && screens[i]->internalID() == *screenID)
                return static_cast<int>(i);
        }
    }
    return page;
}

} // namespace

void QVRViewerWindowController::setUpChrome(QWidget* titleBar)
{
    QWidget* host = m_viewerViewController->view();
    m_navigationBackButton = new QToolButton(host);
    m_navigationBackButton->setObjectName(QStringLiteral("navigationBackBtn"));
    m_navigationBackButton->setAutoRaise(true);
    m_navigationBackButton->setFocusPolicy(Qt::NoFocus);
    m_navigationBackButton->setGeometry(kBackButtonMargin, kBackButtonMargin, kBackButtonSize, kBackButtonSize);
    m_navigationBackButton->setIconSize(QSize(kBackButtonSize, kBackButtonSize));
    const UNIImage artwork = UNIImage::imageNamed(QStringLiteral("popoff_icon_rev3"), 2.0);
    if (!artwork.isNull()) {
        QPixmap pixmap = QPixmap::fromImage(artwork.CGImage());
        pixmap.setDevicePixelRatio(2.0);
        m_navigationBackButton->setIcon(QIcon(pixmap));
    }
    m_navigationBackButton->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; }"));
    m_navigationBackButton->hide();
    connect(m_navigationBackButton, &QToolButton::clicked, this, [this] { popTessarineModel(); });

    if (titleBar) {
        m_titleBarButtons = new QVRViewerTitleBarButtonsHolderView(titleBar);
        m_titleBarButtons->setDelegate(this);
        m_titleBarButtons->presenterNotesButtonShouldHide(false);
        m_titleBarButtons->setGeometry(titleBar->rect());
        // The holder follows the band's size.
        titleBar->installEventFilter(this);
        m_titleBarButtons->show();
    }

    // Escape and the end of an embedded flow's autoplay pop back to the document that linked to it.
    m_viewerViewController->setEscapeHandler([this] {
        if (!canPopTessarineModel())
            return false;
        popTessarineModel();
        return true;
    });
    connect(m_viewerViewController, &QVRViewerViewController::autoplayFinished, this, [this] {
        // After the player's own timer has returned.
        QTimer::singleShot(0, this, [this] {
            if (canPopTessarineModel())
                popTessarineModel();
        });
    });
    connect(m_viewerViewController, &QVRViewerViewController::autoAdvancePaused, this, [this](bool paused) {
        if (m_titleBarButtons)
            m_titleBarButtons->setPlayPauseButtonPlaying(!paused);
    });

    m_stackObservations.emplace_back(QVR_MixedMediaElementContainingView::kFlowEmbedLinkPressedNotification, nullptr,
                                     [this](const Notification& n) { flowEmbedLinkPressed(n); });
    m_stackObservations.emplace_back(ViewerSharing::kAvailabilityChangedNotification, nullptr,
                                     [this](const Notification&) { updateShareButton(); });
}

bool QVRViewerWindowController::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && m_titleBarButtons && watched == m_titleBarButtons->parent())
        m_titleBarButtons->setGeometry(static_cast<QWidget*>(watched)->rect());
    return QObject::eventFilter(watched, event);
}

void QVRViewerWindowController::displayTuple(const Tuple& tuple)
{
    if (!tuple || !tuple->model)
        return;
    m_originalTessarineModel = tuple->model;
    m_shallowCopy = tuple->modelShallowCopy;
    const QString title = tuple->model->title();
    m_windowTitle = title.isEmpty() ? UFM::UNTITLED_TEXT() : title;

    // Each entry decides its own buttons: what one document allows says nothing of the next.
    if (m_titleBarButtons) {
        m_titleBarButtons->downloadButtonShouldHide(!ViewerDocumentActions::canRemix(tuple->model));
        m_titleBarButtons->shareButtonShouldHide(!ViewerDocumentActions::canShare(tuple->model));
    }

    QVR_TessarineViewerView* player = m_viewerViewController->viewerView();
    m_viewerViewController->dismissAnyModalView();
    player->setOriginalTessarineModel(tuple->model);
    const auto flow = m_shallowCopy ? m_shallowCopy->firstFlowmodel() : nullptr;
    player->setFlowModel(flow, tuple->currentScreenNumber);

    // Play/pause and auto-advance follow the entry's flow: on exactly when it has a duration.
    const bool advances = flow && flow->autoAdvanceSlideDuration().has_value();
    if (m_titleBarButtons)
        m_titleBarButtons->playPauseButtonShouldHide(!advances);
    if (advances)
        player->setAutoAdvancePaused(false);
    player->setAutoAdvanceEnabled(advances);
    if (m_titleBarButtons)
        m_titleBarButtons->setPlayPauseButtonPlaying(advances && !player->autoAdvancePaused());

    m_viewerViewController->updateArrows();
    m_viewerViewController->updatePresenterNotesScreen();
    m_viewerViewController->updatePresenterNotesTitle();
    updateBackButton();
    announceDocument();
    m_window->setWindowTitle(QStringLiteral("%1 ▸").arg(title));
    m_window->update();
}

void QVRViewerWindowController::pushTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& document, int page)
{
    if (!document)
        return;
    if (!m_tuples.empty())
        m_tuples.back()->currentScreenNumber = m_viewerViewController->viewerView()->currentPage();
    m_tuples.push_back(std::make_shared<TessarineModelAndPositionTuple>(
        TessarineModelAndPositionTuple{document, document->readOnlyCopy(), page}));
    displayTuple(m_tuples.back());
    reportQVRModelViewed(document);
}

void QVRViewerWindowController::popTessarineModel()
{
    if (m_tuples.size() > 1) {
        m_tuples.pop_back();
        displayTuple(m_tuples.back());
    }
    updateBackButton();
}

void QVRViewerWindowController::popTuplesTo(const Tuple& tuple)
{
    while (!m_tuples.empty() && m_tuples.back() != tuple)
        m_tuples.pop_back();
}

QVRViewerWindowController::Tuple QVRViewerWindowController::existingTupleForStringID(const QString& stringID) const
{
    if (stringID.isEmpty())
        return nullptr;
    for (const Tuple& tuple : m_tuples) {
        if (tuple->model && tuple->model->stringID() == stringID)
            return tuple;
    }
    return nullptr;
}

void QVRViewerWindowController::updateBackButton()
{
    if (!m_navigationBackButton)
        return;
    m_navigationBackButton->setVisible(canPopTessarineModel());
    if (canPopTessarineModel())
        m_navigationBackButton->raise();
}

void QVRViewerWindowController::updateShareButton()
{
    if (m_titleBarButtons)
        m_titleBarButtons->shareButtonShouldHide(!ViewerDocumentActions::canShare(m_originalTessarineModel));
}

void QVRViewerWindowController::flowEmbedLinkPressed(const Notification& notification)
{
    const QVariant value = notification.userInfo.value(QVR_MixedMediaElementContainingView::kFlowEmbedLinkActionKey);
    const auto action = value.canConvert<ModelItemRef>()
                            ? std::dynamic_pointer_cast<ZERI_MMAction_WebLink>(value.value<ModelItemRef>().lock())
                            : nullptr;
    const auto actionDocument = action ? action->tessarineModel() : nullptr;
    const bool ours =
        notification.sender == static_cast<const void*>(m_window) ||
        (actionDocument && (actionDocument == m_originalTessarineModel || actionDocument == m_shallowCopy));
    if (!ours)
        return;
    if (!action) {
        qCWarning(lcViewer) << "a flow link post without its link";
        return;
    }
    const QString link = action->weblinkText();
    if (link.isEmpty())
        return;
    const QString stringID = Tessutils::stringIDFromEmbedFlowLink(link).value_or(QString());
    std::shared_ptr<ZERI_TessarineModel> published;
    if (!stringID.isEmpty()) {
        if (const auto package = ZERI_qvdFilePackage::packageForStringID(stringID)) {
            Error error;
            if (!package->publishedModel() && !package->loadPublishedModel(&error))
                qCWarning(lcViewer) << "the linked document's published copy cannot be read:" << error.message;
            published = package->publishedModel();
        }
    }
    if (!published) {
        QVR_Toast::toast(UFM::TESSARINE_WITH_STRINGID_NOT_FOUND().arg(stringID), m_viewerViewController->view());
        return;
    }
    const int page = pageForFlowLink(link, published);
    if (const Tuple existing = existingTupleForStringID(stringID)) {
        popTuplesTo(existing);
        existing->currentScreenNumber = page;
        displayTuple(existing);
        updateBackButton();
        return;
    }
    pushTessarineModel(published, page);
}

void QVRViewerWindowController::titleBarShareButtonPressed()
{
    if (const auto sharing = ViewerSharing::shared(); sharing && m_originalTessarineModel)
        sharing->shareDocument(m_originalTessarineModel, m_window);
}

void QVRViewerWindowController::titleBarDownloadButtonPressed()
{
    // The button shows only where remix is allowed; the check guards a press that raced a change of entry.
    if (!ViewerDocumentActions::canRemix(m_originalTessarineModel))
        return;
    ViewerDocumentActions::remix(m_originalTessarineModel, m_viewerViewController->view());
}

void QVRViewerWindowController::titleBarPlayPauseButtonPressed()
{
    QVR_TessarineViewerView* player = m_viewerViewController->viewerView();
    player->setAutoAdvancePaused(!player->autoAdvancePaused());
    if (m_titleBarButtons)
        m_titleBarButtons->setPlayPauseButtonPlaying(!player->autoAdvancePaused());
}
