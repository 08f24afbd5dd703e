#include "viewer/QVRViewerWindow.h"

#include "controls/ScreenFit.h"

#include <algorithm>
#include <utility>

#include <QApplication>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QScreen>
#include <QPainter>
#include <QPainterPath>
#include <QShortcut>
#include <QTimer>
#include <QMenuBar>
#include <QVBoxLayout>

#include "app/QVRAnalytics.h"
#include "app/QVRWindowManager.h"
#include "platform/UserDefaults.h"
#include "foundation/Tessutils.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "storage/ZERI_qvdFilePackageMetadata.h"
#include "foundation/FontSubstitution.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/QVRViewerViewController.h"
#include "viewer/ViewerDocumentActions.h"
#include "viewer/ViewerLogging.h"
#include "viewer/output/ViewerOutput.h"

void QVRViewerWindowController::reportQVRModelViewed(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    ViewerDocumentActions::reportViewed(document);
}

QVRViewerWindowController::QVRViewerWindowController(QWidget* window)
    : m_window(window)
    , m_viewerViewController(new QVRViewerViewController(this))
{
}

QVRViewerWindowController::~QVRViewerWindowController() = default;

void QVRViewerWindowController::setTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& document, int screen)
{
    if (!document) {
        qCWarning(lcViewer) << "the viewer was given no document";
        return;
    }
    m_originalTessarineModel = document;
    m_shallowCopy = document->readOnlyCopy();
    const auto flow = m_shallowCopy ? m_shallowCopy->firstFlowmodel() : nullptr;
    const int screens = flow ? int(flow->screenModels().size()) : 0;
    screen = std::clamp(screen, 0, std::max(0, screens - 1));
    m_tuples.clear();
    m_tuples.push_back(std::make_shared<TessarineModelAndPositionTuple>(
        TessarineModelAndPositionTuple{document, m_shallowCopy, screen}));
    displayTuple(m_tuples.back());

    QVRAnalytics::logEvent(QStringLiteral("Flow Presentation Started"), ViewerDocumentActions::roleParameters(document),
                           document);
    reportQVRModelViewed(document);
}

void QVRViewerWindowController::announceDocument()
{
    // A window not shown yet is not managed yet either: its showEvent announces it.
    if (m_originalTessarineModel && m_window && m_window->isVisible())
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
    // White 0.3, fully opaque (an alpha above 1 reads as 1).
    setTitleTextShadow({QColor::fromRgbF(0.3f, 0.3f, 0.3f, 1.0f), QPointF(0, 1)});
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
    m_controller->setUpChrome(titleBarView());
    m_controller->tessarineViewerViewController()->viewerView()->setFocus();

    // Escape with nothing else to leave, and the Close key (Ctrl+W), end the presentation: the window closes
    // once the player has returned from the key. In full screen Escape leaves full screen and nothing more.
    m_controller->tessarineViewerViewController()->setEscapeLeavesHandler([self] {
        if (self && self->isFullScreen()) {
            self->showNormal();
            return;
        }
        QTimer::singleShot(0, self.data(), [self] {
            if (self)
                self->close();
        });
    });
    m_closeShortcut = new QShortcut(QKeySequence::Close, this);
    m_closeShortcut->setContext(Qt::WindowShortcut);
    connect(m_closeShortcut, &QShortcut::activated, this, &QWidget::close);
}

QVRViewerWindow::~QVRViewerWindow() = default;

bool QVRViewerWindow::canPrint() const
{
    return m_controller->tessarineModel() != nullptr;
}

void QVRViewerWindow::performPrint(uint)
{
    // The window prints what it shows: the copy taken when the document started playing, not the document as it
    // may have been edited since in its creator window.
    const auto shown = m_controller->shallowCopy() ? m_controller->shallowCopy() : m_controller->tessarineModel();
    if (shown)
        ViewerOutput::printDocument(this, shown);
}

bool QVRViewerWindow::canSetPresenterNote() const
{
    return m_controller->tessarineModel() != nullptr;
}

void QVRViewerWindow::performSetPresenterNote(uint)
{
    if (canSetPresenterNote())
        m_controller->titleBarTogglePresentationNotesButtonPressed();
}

void QVRViewerWindow::showEvent(QShowEvent* event)
{
    INAppStoreWindow::showEvent(event);
    // A window carrying the application's menu bar closes through its Close item; two claims on one key would
    // leave it to neither.
    if (m_closeShortcut)
        m_closeShortcut->setEnabled(!findChild<QMenuBar*>());
    // A window given its document while being made is not managed yet; it is by the time it is shown.
    m_controller->announceDocument();
}

void QVRViewerWindow::openRequesterWantsToDisplayLoadingView(QObject* view)
{
    m_controller->tessarineViewerViewController()->addLoadingView(qobject_cast<QWidget*>(view));
}

void QVRViewerWindow::openRequesterHasFinishedLoadingModel(const std::shared_ptr<ZERI_TessarineModel>& model)
{
    const bool same = model && model == m_controller->tessarineModel();
    // A window made for a document plays a copy made moments ago when its open request hands the document over.
    if (same && std::exchange(m_copyJustMade, false))
        return;
    // Opened again while it plays (View pressed once more): a new copy shows the document as it is now, on the
    // screen shown.
    int screen = 0;
    if (same) {
        const auto& stack = m_controller->tessarineModelAndPositionTuples();
        if (stack.size() == 1)
            screen = m_controller->tessarineViewerViewController()->viewerView()->currentPage();
    }
    const bool first = !m_controller->tessarineModel();
    m_controller->setTessarineModel(model, screen);
    m_copyJustMade = first && model;
    restoreFrame();
}

void QVRViewerWindow::scrollToPage(int page, bool animated)
{
    m_controller->tessarineViewerViewController()->viewerView()->scrollToPage(page, animated);
}

QString QVRViewerWindow::frameAutosaveKey(const QString& documentID)
{
    return documentID + QStringLiteral("viewer");
}

void QVRViewerWindow::restoreFrame()
{
    // The place and size kept for the document the window was opened with; later documents keep the frame.
    if (!m_frameDocumentID.isEmpty())
        return;
    const auto& stack = m_controller->tessarineModelAndPositionTuples();
    if (stack.empty() || !stack.front()->model)
        return;
    m_frameDocumentID = stack.front()->model->qvdID();
    const QByteArray geometry = UserDefaults::standard().value(frameAutosaveKey(m_frameDocumentID)).toByteArray();
    if (geometry.isEmpty())
        return;
    const Qt::WindowStates before = windowState();
    m_frameRestored = restoreGeometry(geometry);
    // A frame kept while the window was full screen brings back its normal frame only: a play opens in a window
    // with its title bar, and full screen is the user's to choose each time.
    if (!(before & Qt::WindowFullScreen) && (windowState() & Qt::WindowFullScreen))
        setWindowState(windowState() & ~Qt::WindowFullScreen);
}

void QVRViewerWindow::placeOnScreen()
{
    // A frame kept from before is placed by restoreGeometry, which keeps it on a screen.
    if (m_frameRestored)
        return;
    QWidget* front = QApplication::activeWindow();
    QScreen* screen = front && front != this ? front->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // Centred on the screen the user works on, with the decorations of the window in front until it has its own;
    // ScreenFit shrinks it to the area, now and once it is decorated.
    const QMargins decorations =
        front && front != this && front->isVisible() ? ScreenFit::decorations(front) : QMargins();
    const QRect available = screen->availableGeometry();
    QRect frame(QPoint(0, 0), sizeForRoom(size(), available.size().shrunkBy(decorations)).grownBy(decorations));
    frame.moveCenter(available.center());
    move(frame.topLeft());
    ScreenFit::fit(this, decorations, screen);
}

QSize QVRViewerWindow::sizeForRoom(QSize size, QSize room) const
{
    // On a smaller screen the window keeps the played screen's shape: the player scales the screen to its view,
    // and the video player's controls and the close button stay on the screen.
    const int titleBar = static_cast<int>(kTitleBarHeight);
    const QSize content = size - QSize(0, titleBar);
    if (content.isEmpty())
        return size.boundedTo(room);
    const double scale =
        std::min({1.0, double(room.width()) / content.width(), double(room.height() - titleBar) / content.height()});
    return scale < 1.0 && scale > 0.0 ? content * scale + QSize(0, titleBar) : size;
}

void QVRViewerWindow::saveFrame()
{
    // The whole screen is no frame of the document's: the one kept before stays.
    if (m_frameDocumentID.isEmpty() || isFullScreen())
        return;
    UserDefaults::standard().setValue(frameAutosaveKey(m_frameDocumentID), saveGeometry());
}

void QVRViewerWindow::closeEvent(QCloseEvent* event)
{
    saveFrame();
    INAppStoreWindow::closeEvent(event);
}

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

QToolButton* QVRViewerWindow::presenterNotesButton() const
{
    QVRViewerTitleBarButtonsHolderView* holder = m_controller->titleBarButtonsHolderView();
    return holder ? holder->togglePresenterNotesButton() : nullptr;
}
