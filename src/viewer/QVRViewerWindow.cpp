#include "viewer/QVRViewerWindow.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/QVRAnalytics.h"
#include "app/QVRWindowManager.h"
#include "foundation/Tessutils.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "storage/ZERI_qvdFilePackageMetadata.h"
#include "foundation/FontSubstitution.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "elements/images/UNIImage.h"
#include "viewer/QVRViewerViewController.h"
#include "viewer/ViewerLogging.h"
#include "viewer/output/ViewerOutput.h"

namespace {

// "isOwner" for the signed-in owner of the document's package, "isAdmin" for an administrator, else nothing.
QVariantMap viewerParameters(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    const auto package = document->filePackage();
    const QString user = QVRAnalytics::signedInUserName();
    if (package && !user.isEmpty() && package->ownerUserName() == user)
        return {{QStringLiteral("action_value"), QStringLiteral("isOwner")}};
    if (Tessutils::isUserAdmin())
        return {{QStringLiteral("action_value"), QStringLiteral("isAdmin")}};
    return {};
}

} // namespace

void QVRViewerWindowController::reportQVRModelViewed(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    // A document with no package is treated as published. An own editable document counts as published only
    // when it is the package's published copy.
    bool published = true;
    if (auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage())) {
        if (package->metaData().packageType() & 1)
            published = package->publishedModel() == document;
    }
    QVRAnalytics::logEvent(published ? QStringLiteral("Tessarine Viewed") : QStringLiteral("Tessarine Draft Viewed"),
                           viewerParameters(document), document);
}

QVRViewerWindowController::QVRViewerWindowController(QWidget* window)
    : m_window(window)
    , m_viewerViewController(new QVRViewerViewController(this))
{
}

QVRViewerWindowController::~QVRViewerWindowController() = default;

void QVRViewerWindowController::setTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    if (!document) {
        qCWarning(lcViewer) << "the viewer was given no document";
        return;
    }
    m_originalTessarineModel = document;
    m_shallowCopy = document->readOnlyCopy();
    const QString title = document->title();
    m_windowTitle = title.isEmpty() ? UFM::UNTITLED_TEXT() : title;

    QVR_TessarineViewerView* player = m_viewerViewController->viewerView();
    player->setOriginalTessarineModel(document);
    const auto flow = m_shallowCopy ? m_shallowCopy->firstFlowmodel() : nullptr;
    if (flow) {
        player->setFlowModel(flow, 0);
        if (flow->autoAdvanceSlideDuration())
            player->setAutoAdvanceEnabled(true);
    }
    m_viewerViewController->updateArrows();
    m_viewerViewController->updatePresenterNotesScreen();
    m_viewerViewController->updatePresenterNotesTitle();

    announceDocument();
    QVRAnalytics::logEvent(QStringLiteral("Flow Presentation Started"), viewerParameters(document), document);
    reportQVRModelViewed(document);
    m_window->setWindowTitle(QStringLiteral("%1 ▸").arg(title));
    m_window->update();
}

void QVRViewerWindowController::announceDocument()
{
    if (m_originalTessarineModel)
        QVRWindowManager::sharedInstance().setDocumentForWindow(m_window, m_originalTessarineModel,
                                                                m_originalTessarineModel->qvdID());
}

QVRViewerWindow::QVRViewerWindow(QWidget* parent)
    : INAppStoreWindow(parent)
    , m_controller(std::make_unique<QVRViewerWindowController>(this))
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    setTitleBarHeight(kTitleBarHeight);
    setShowsTitle(false);
    setTitleTextColor(QColor::fromRgbF(0.6f, 0.6f, 0.6f));
    setHideTitleBarInFullScreen(true);
    resize(1024, 748 + static_cast<int>(kTitleBarHeight));

    QPalette palette = contentView()->palette();
    palette.setColor(QPalette::Window, QColor::fromRgbF(0.12f, 0.13f, 0.13f));
    contentView()->setPalette(palette);
    contentView()->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(contentView());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_controller->tessarineViewerViewController()->view());

    QPointer<QVRViewerWindow> self(this);
    setTitleBarDrawingBlock([self](QPainter* painter, bool, const QRectF& rect, Qt::Edge, const QPainterPath& clip) {
        const double w = rect.width();
        const double h = rect.height();
        painter->save();
        if (!clip.isEmpty())
            painter->setClipPath(clip);
        QLinearGradient gradient(QPointF(0, h), QPointF(0, 1));
        gradient.setColorAt(0, Qt::black);
        gradient.setColorAt(1, QColor::fromRgbF(0.15f, 0.16f, 0.17f));
        painter->fillRect(QRectF(0, 1, w, h - 1), gradient);
        // The dark line along the band's lower edge, in the window's y-down coordinates.
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setPen(QPen(Qt::black, 2.0));
        painter->drawLine(QPointF(0, h), QPointF(w, h));
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->setPen(Qt::white);
        painter->setFont(FontSubstitution::fontForPostScriptName(QStringLiteral("HelveticaNeue"), 15));
        const QString text = self ? self->m_controller->windowTitleText() : QString();
        painter->drawText(QRectF(0, 0, w, h), Qt::AlignCenter, text);
        painter->restore();
    });
    setupPresenterNotesButton();
    m_controller->tessarineViewerViewController()->viewerView()->setFocus();
}

QVRViewerWindow::~QVRViewerWindow() = default;

bool QVRViewerWindow::canPrint() const
{
    return m_controller->tessarineModel() != nullptr;
}

void QVRViewerWindow::performPrint(uint)
{
    if (const auto document = m_controller->tessarineModel())
        ViewerOutput::printDocument(this, document);
}

void QVRViewerWindow::showEvent(QShowEvent* event)
{
    INAppStoreWindow::showEvent(event);
    // A window given its document while being made is not managed yet; it is by the time it is shown.
    m_controller->announceDocument();
}

void QVRViewerWindow::openRequesterWantsToDisplayLoadingView(QObject* view)
{
    m_controller->tessarineViewerViewController()->addLoadingView(qobject_cast<QWidget*>(view));
}

void QVRViewerWindow::openRequesterHasFinishedLoadingModel(const std::shared_ptr<ZERI_TessarineModel>& model)
{
    // A window made for a document already plays it when the open request hands the same document over.
    if (model && model == m_controller->tessarineModel())
        return;
    m_controller->setTessarineModel(model);
}

namespace {

// Keeps a button at the right end of the title band, centred in its height.
class TitleBarButtonPlacer final : public QObject {
public:
    TitleBarButtonPlacer(QWidget* band, QPushButton* button)
        : QObject(button)
        , m_band(band)
        , m_button(button)
    {
        band->installEventFilter(this);
        place();
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_band && event->type() == QEvent::Resize)
            place();
        return false;
    }

private:
    void place()
    {
        const QSize size(24, 20);
        m_button->setGeometry(m_band->width() - size.width() - 10, (m_band->height() - size.height()) / 2, size.width(),
                              size.height());
    }
    QWidget* m_band;
    QPushButton* m_button;
};

} // namespace

void QVRViewerWindowController::titleBarTogglePresentationNotesButtonPressed()
{
    m_viewerViewController->showPresentationNotesIfAbleOverride(true);
    m_viewerViewController->updatePresenterNotesScreen();
    m_viewerViewController->updatePresenterNotesTitle();
}

void QVRViewerWindow::showPresentationNotesIfAble()
{
    m_controller->tessarineViewerViewController()->showPresentationNotesIfAble();
}

void QVRViewerWindow::setupPresenterNotesButton()
{
    QWidget* band = titleBarView();
    if (!band)
        return;
    m_presenterNotesButton = new QPushButton(band);
    m_presenterNotesButton->setObjectName(QStringLiteral("togglePresenterNotes"));
    m_presenterNotesButton->setFlat(true);
    m_presenterNotesButton->setFocusPolicy(Qt::NoFocus);
    m_presenterNotesButton->setToolTip(UFM::DISPLAY_PRESENTER_NOTES());
    m_presenterNotesButton->setStyleSheet(QStringLiteral("QPushButton { border: none; background: transparent; }"));
    const UNIImage image = UNIImage::imageNamed(QStringLiteral("viewer_presenter_notes_icon"));
    if (!image.isNull()) {
        QPixmap pixmap = QPixmap::fromImage(image.CGImage());
        pixmap.setDevicePixelRatio(image.realSize().width() / std::max(1.0, image.size().width()));
        m_presenterNotesButton->setIcon(QIcon(pixmap));
        m_presenterNotesButton->setIconSize(image.size().toSize());
    }
    new TitleBarButtonPlacer(band, m_presenterNotesButton);
    connect(m_presenterNotesButton, &QPushButton::clicked, this,
            [this] { m_controller->titleBarTogglePresentationNotesButtonPressed(); });
    m_presenterNotesButton->show();
}
