#include "viewer/QVRiPadPreviewWindow.h"

#include <algorithm>

#include <QApplication>
#include <QBitmap>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QSvgRenderer>
#include <QTimer>
#include <QToolButton>

#include "app/QVRWindowManager.h"
#include "controls/FloatingWindowCloser.h"
#include "controls/ScreenFit.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/QVRViewerViewController.h"
#include "viewer/ViewerDocumentActions.h"
#include "viewer/ViewerLogging.h"
#include "viewer/ViewerSharing.h"

namespace {

constexpr int kHolderHeight = 30;

} // namespace

QVRiPadPreviewWindowController::QVRiPadPreviewWindowController(QWidget* window)
    : m_window(window)
    , m_viewerViewController(new QVRViewerViewController(this))
    , m_titleBarButtons(new QVRViewerTitleBarButtonsHolderView(window))
{
    m_titleBarButtons->setDelegate(this);
    // The preview offers download and share only; the device has no full screen of its own.
    m_titleBarButtons->expandButtonShouldHide(true);
    m_titleBarButtons->playPauseButtonShouldHide(true);
    m_titleBarButtons->presenterNotesButtonShouldHide(true);
    m_sharingObservation =
        NotificationObservation(ViewerSharing::kAvailabilityChangedNotification, nullptr, [this](const Notification&) {
            m_titleBarButtons->shareButtonShouldHide(!ViewerDocumentActions::canShare(m_originalTessarineModel));
        });
}

QVRiPadPreviewWindowController::~QVRiPadPreviewWindowController()
{
    m_titleBarButtons->setDelegate(nullptr);
}

void QVRiPadPreviewWindowController::setTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    if (!document) {
        qCWarning(lcViewer) << "the tablet preview was given no document";
        return;
    }
    m_originalTessarineModel = document;
    ViewerDocumentActions::reportViewed(document);
    m_titleBarButtons->downloadButtonShouldHide(!ViewerDocumentActions::canRemix(document));
    m_titleBarButtons->shareButtonShouldHide(!ViewerDocumentActions::canShare(document));

    // The copy plays without a package of its own: nothing of it is ever written.
    m_shallowCopy = document->readOnlyCopy();
    QVR_TessarineViewerView* player = m_viewerViewController->viewerView();
    m_viewerViewController->dismissAnyModalView();
    player->setOriginalTessarineModel(document);
    player->setFlowModel(m_shallowCopy ? m_shallowCopy->firstFlowmodel() : nullptr, 0);
    m_viewerViewController->updateArrows();
    m_window->setWindowTitle(document->title());
    QVRWindowManager::sharedInstance().setDocumentForWindow(m_window, document, document->qvdID());
}

void QVRiPadPreviewWindowController::titleBarShareButtonPressed()
{
    if (const auto sharing = ViewerSharing::shared(); sharing && m_originalTessarineModel)
        sharing->shareDocument(m_originalTessarineModel, m_window);
}

void QVRiPadPreviewWindowController::titleBarDownloadButtonPressed()
{
    if (ViewerDocumentActions::canRemix(m_originalTessarineModel))
        ViewerDocumentActions::remix(m_originalTessarineModel, m_viewerViewController->view());
}

QVRiPadPreviewWindow::QVRiPadPreviewWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_controller(std::make_unique<QVRiPadPreviewWindowController>(this))
    , m_deviceArtwork(std::make_unique<QSvgRenderer>(QStringLiteral(":/viewer/tablet_device_frame.svg")))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_controller->tessarineViewerViewController()->view()->setParent(this);
    layOutAtScale(1.0);
    // Kept whole on its screen as every window is; it shrinks by scaling the device, keeping its shape.
    ScreenFit::keepWhole(this, [this](QSize, QSize room) {
        layOutAtScale(fittingScale(room));
        return size();
    });
    m_controller->tessarineViewerViewController()->viewerView()->setFocus();
    // Frameless, so closable without a window manager: Escape with nothing else to leave in the player, Ctrl+W,
    // and a close button on the device's top bezel. The window closes once the player has returned from the key.
    FloatingWindowCloser* closer = FloatingWindowCloser::install(this, UFM::SAYS_CLOSE());
    closer->useLightButton();
    closer->leaveEscapeToWindow();
    QPointer<QVRiPadPreviewWindow> self(this);
    m_controller->tessarineViewerViewController()->setEscapeLeavesHandler([self] {
        QTimer::singleShot(0, self.data(), [self] {
            if (self)
                self->close();
        });
    });
}

QVRiPadPreviewWindow::~QVRiPadPreviewWindow() = default;

double QVRiPadPreviewWindow::fittingScale(const QSize& available)
{
    if (available.isEmpty())
        return 1.0;
    return std::min({1.0, double(available.width()) / (kScreenWidth + 2 * kBezel),
                     double(available.height()) / (kScreenHeight + 2 * kBezel)});
}

void QVRiPadPreviewWindow::layOutAtScale(double scale)
{
    if (scale == m_scale)
        return;
    m_scale = scale;
    setFixedSize(QSizeF(QSizeF(kScreenWidth + 2 * kBezel, kScreenHeight + 2 * kBezel) * scale).toSize());
    // The device's rounded corners leave the window's corners transparent, which only a compositor shows as such
    // (without one they are black): the window takes the device's outline as its shape.
    QImage outline(size(), QImage::Format_ARGB32_Premultiplied);
    outline.fill(Qt::transparent);
    {
        QPainter painter(&outline);
        painter.setRenderHint(QPainter::Antialiasing);
        m_deviceArtwork->render(&painter, QRectF(rect()));
    }
    setMask(QBitmap::fromImage(outline.createAlphaMask(Qt::ThresholdAlphaDither)));

    const QRect screen = QRectF(kBezel * scale, kBezel * scale, kScreenWidth * scale, kScreenHeight * scale).toRect();
    m_controller->tessarineViewerViewController()->view()->setGeometry(screen);
    m_controller->titleBarButtonsHolderView()->setGeometry(screen.left(), (screen.top() - kHolderHeight) / 2,
                                                           screen.width(), kHolderHeight);
}

void QVRiPadPreviewWindow::fitToScreen(QScreen* screen)
{
    ScreenFit::fit(this, ScreenFit::decorations(this), screen);
    QRect frame(QPoint(0, 0), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void QVRiPadPreviewWindow::showEvent(QShowEvent* event)
{
    // Placed once, on the screen of the window it was opened from: centred, and whole on that screen.
    if (!m_placed) {
        m_placed = true;
        QWidget* front = QApplication::activeWindow();
        QScreen* onScreen = front && front != this ? front->screen() : QGuiApplication::primaryScreen();
        if (onScreen)
            fitToScreen(onScreen);
    }
    QWidget::showEvent(event);
    placeCloseButton();
}

void QVRiPadPreviewWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeCloseButton();
}

void QVRiPadPreviewWindow::placeCloseButton()
{
    // In the bezel's top-left corner, within the device's rounded outline (the window's own corner is cut away).
    if (FloatingWindowCloser* closer = FloatingWindowCloser::of(this)) {
        QToolButton* button = closer->closeButton();
        const int bezel = int(kBezel * (m_scale > 0.0 ? m_scale : 1.0));
        button->move(bezel / 2 - button->width() / 2, bezel / 2 - button->height() / 2);
        button->raise();
    }
}

void QVRiPadPreviewWindow::openRequesterWantsToDisplayLoadingView(QObject* view)
{
    m_controller->tessarineViewerViewController()->addLoadingView(qobject_cast<QWidget*>(view));
}

void QVRiPadPreviewWindow::openRequesterHasFinishedLoadingModel(const std::shared_ptr<ZERI_TessarineModel>& model)
{
    m_controller->setTessarineModel(model);
}

void QVRiPadPreviewWindow::scrollToPage(int page, bool animated)
{
    m_controller->tessarineViewerViewController()->viewerView()->scrollToPage(page, animated);
}

void QVRiPadPreviewWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    m_deviceArtwork->render(&painter, QRectF(rect()));
}

void QVRiPadPreviewWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_initialLocation = event->position();
    QWidget::mousePressEvent(event);
}

void QVRiPadPreviewWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPointF delta = event->position() - m_initialLocation;
    move(clampedOrigin(pos() + delta.toPoint()));
}

QPoint QVRiPadPreviewWindow::clampedOrigin(const QPoint& origin) const
{
    // The screen the window is on (while dragged it is the key window's); the primary one when it has none.
    QScreen* onScreen = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!onScreen)
        return origin;
    const int top = onScreen->availableGeometry().top();
    return QPoint(origin.x(), std::max(origin.y(), top));
}
