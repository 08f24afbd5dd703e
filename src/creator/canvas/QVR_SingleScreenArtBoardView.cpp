#include "creator/canvas/QVR_SingleScreenArtBoardView.h"

#include <cmath>

#include <QGraphicsScene>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <QWheelEvent>

#include "app/QVRWindowManager.h"
#include "app/QVRWindowManagerManagedWindow.h"
#include "creator/CreatorLogging.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/crop/QVR_CropView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/toolbar/QVR_ZoomMenuGeneratorObject.h"
#include "platform/NotificationCenter.h"
#include "strings/UFM.h"

const QString QVR_SingleScreenArtBoardView::kZoomLevelChangedNotification =
    QStringLiteral("ARTBOARD_ZOOM_LEVEL_CHANGED_NOTIFICATION_NAME");
const QString QVR_SingleScreenArtBoardView::kZoomLevelChangedKey = QStringLiteral("ARTBOARD_ZOOM_LEVEL_CHANGED_KEY");

namespace {
constexpr double kScreenWidth = 1024.0;
constexpr double kScreenHeight = 748.0;
constexpr double kCreatorFitMargin = 25.0;
constexpr double kGestureStep = 0.01;
constexpr double kSameLevel = 1e-6;
constexpr int kZoomAnimationMs = 250;
constexpr int kHandlingDelayMs = 300;

double limited(double level)
{
    return std::clamp(level, QVR_SingleScreenArtBoardView::kMinimumMagnification,
                      QVR_SingleScreenArtBoardView::kMaximumMagnification);
}

// What a scroll view takes of a board's size for its frame and bars, the same for every board of a kind: boards
// not made yet fit with the figure the last one made measured. Empty until one is.
QSize& scrollViewChrome(bool previewOnly)
{
    static QSize chrome[2] = {QSize(-1, -1), QSize(-1, -1)};
    return chrome[previewOnly ? 1 : 0];
}
} // namespace

QVR_SingleScreenArtBoardView::QVR_SingleScreenArtBoardView(QWidget* parent, bool previewOnly)
    : QWidget(parent)
    , m_previewOnly(previewOnly)
{
}

QVR_ArtBoardScrollView* QVR_SingleScreenArtBoardView::theScrollView() const
{
    return m_scrollView ? m_scrollView : const_cast<QVR_SingleScreenArtBoardView*>(this)->makeScrollView();
}

QVR_ArtBoardScrollView* QVR_SingleScreenArtBoardView::makeScrollView()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_scrollView = new QVR_ArtBoardScrollView(this);
    m_scrollView->setArtBoard(this);
    m_scrollView->setFrameShape(QFrame::NoFrame);
    m_scrollView->setDragMode(QGraphicsView::NoDrag);
    m_scrollView->setAlignment(Qt::AlignCenter);
    m_scrollView->setTransformationAnchor(QGraphicsView::AnchorViewCenter);
    m_scrollView->setResizeAnchor(QGraphicsView::AnchorViewCenter);
    m_scrollView->setSceneRect(QRectF(0, 0, kScreenWidth, kScreenHeight));
    m_scrollView->setBackgroundBrush(QColor::fromRgbF(0.87f, 0.87f, 0.87f));
    const Qt::ScrollBarPolicy bars = m_previewOnly ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn;
    m_scrollView->setHorizontalScrollBarPolicy(bars);
    m_scrollView->setVerticalScrollBarPolicy(bars);
    m_scrollView->setContextMenuPolicy(m_previewOnly ? Qt::NoContextMenu : Qt::DefaultContextMenu);
    // A played screen never takes the keyboard: the player around it keeps it, so a click on the screen leaves
    // the arrow and page keys paging.
    if (m_previewOnly)
        m_scrollView->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(m_scrollView);
    // A level set before the view was made applies now.
    m_scrollView->setTransform(QTransform::fromScale(m_magnification, m_magnification));
    if (isVisible()) {
        // Made while the board shows (its first show): sized and shown with it, not on a later turn.
        m_scrollView->setGeometry(rect());
        m_scrollView->show();
    }
    if (const auto built = std::exchange(m_scrollViewMade, nullptr))
        built(this);
    return m_scrollView;
}

void QVR_SingleScreenArtBoardView::whenScrollViewIsMade(std::function<void(QVR_SingleScreenArtBoardView*)> built)
{
    if (m_scrollView) {
        if (built)
            built(this);
        return;
    }
    m_scrollViewMade = std::move(built);
}

QVR_SingleScreenArtBoardView::~QVR_SingleScreenArtBoardView()
{
    if (m_animation)
        m_animation->stop();
    // The scene's items go before the view that shows them.
    if (m_scene && m_scrollView) {
        m_scrollView->setScene(nullptr);
        delete m_scene;
    }
}

void QVR_SingleScreenArtBoardView::setScreenModel(const std::shared_ptr<ZERI_FlowScreenModel>& screen)
{
    if (screen == m_screen)
        return;
    m_screen = screen;
    if (m_scene)
        replaceSingleScreen();
}

void QVR_SingleScreenArtBoardView::setOriginalScreenModel(const std::shared_ptr<ZERI_FlowScreenModel>& screen)
{
    m_originalScreen = screen;
    if (m_singleScreen)
        m_singleScreen->setOriginalFlowScreenModel(screen);
}

void QVR_SingleScreenArtBoardView::buildSceneIfNeeded()
{
    if (m_scene)
        return;
    m_scene = new QGraphicsScene(this);
    m_scene->setSceneRect(QRectF(0, 0, kScreenWidth, kScreenHeight));
    // Items move with the model; an index would only be rebuilt on every move.
    m_scene->setItemIndexMethod(QGraphicsScene::NoIndex);
    theScrollView()->setScene(m_scene);
    replaceSingleScreen();
}

void QVR_SingleScreenArtBoardView::replaceSingleScreen()
{
    delete m_singleScreen;
    m_singleScreen = nullptr;
    if (!m_screen)
        return;
    m_singleScreen = new QVR_CreatorSingleScreen(m_screen, m_previewOnly);
    m_singleScreen->setOriginalFlowScreenModel(m_originalScreen);
    m_scene->addItem(m_singleScreen);
    updateVisibleArea();
    m_singleScreen->appropriatelyResizeAllMmobjViews();
}

QSizeF QVR_SingleScreenArtBoardView::tessarineScreenDisplaySize() const
{
    return QSizeF(kScreenWidth * m_magnification, kScreenHeight * m_magnification);
}

double QVR_SingleScreenArtBoardView::fitZoomLevel() const
{
    const bool inCreatorWindow =
        QVRWindowManager::sharedInstance().kindOfWindow(window()) == QVRWindowManager::WindowKind::Creator;
    const double margin = inCreatorWindow ? kCreatorFitMargin : 0.0;
    // The size the viewport has with the scroll bars it always shows. Taken from the board's own size: a hidden
    // board's scroll view is laid out only when the board is shown.
    QSize chrome = scrollViewChrome(m_previewOnly);
    if (m_scrollView || !chrome.isValid()) {
        const QVR_ArtBoardScrollView* view = theScrollView();
        chrome = view->size() - view->maximumViewportSize();
        scrollViewChrome(m_previewOnly) = chrome;
    }
    const QSize viewport = size() - chrome;
    if (viewport.isEmpty())
        return m_magnification;
    return limited(std::min(viewport.width() / (kScreenWidth + margin), viewport.height() / (kScreenHeight + margin)));
}

void QVR_SingleScreenArtBoardView::setZoomLevel(double level, bool animated, bool notify)
{
    if (!std::isfinite(level) || level == 0.0 || (level < 0.0 && level != kFitToScreen))
        return;
    const double target = level == kFitToScreen ? fitZoomLevel() : limited(level);
    const bool animating = m_animation && m_animation->state() == QAbstractAnimation::Running;
    if (std::fabs(target - m_magnification) < kSameLevel && !animating)
        return;
    if (m_animation)
        m_animation->stop();
    // A board never looked at takes the level at once and says nothing: it has nothing to animate, and its news
    // would cut short the animation of the board that shows.
    if (!m_scrollView) {
        ++m_zoomGeneration;
        m_magnification = target;
        return;
    }
    if (!animated) {
        ++m_zoomGeneration;
        applyMagnification(target);
        handleChangeInMagnification(notify);
        return;
    }
    if (!m_animation) {
        m_animation = new QVariantAnimation(this);
        m_animation->setDuration(kZoomAnimationMs);
        m_animation->setEasingCurve(QEasingCurve::OutCubic);
        connect(m_animation, &QVariantAnimation::valueChanged, this,
                [this](const QVariant& value) { applyMagnification(value.toDouble()); });
    }
    m_animation->setStartValue(m_magnification);
    m_animation->setEndValue(target);
    m_animation->start();
    // The handling follows once the animation has arrived: it reports the level asked for, never a step on the
    // way (a busy event loop may not have drawn the last step yet). A newer zoom takes over the handling.
    const quint64 generation = ++m_zoomGeneration;
    QPointer<QVR_SingleScreenArtBoardView> self(this);
    QTimer::singleShot(kHandlingDelayMs, this, [self, notify, generation, target] {
        if (!self || generation != self->m_zoomGeneration)
            return;
        if (self->m_animation->state() == QAbstractAnimation::Running) {
            self->m_animation->stop();
            self->applyMagnification(target);
        }
        self->handleChangeInMagnification(notify);
    });
}

void QVR_SingleScreenArtBoardView::applyMagnification(double level)
{
    m_magnification = limited(level);
    if (!m_scrollView)
        return;
    m_scrollView->setTransform(QTransform::fromScale(m_magnification, m_magnification));
    updateScrollRange();
    updateVisibleArea();
    m_scrollView->contentViewBoundsChanged();
}

void QVR_SingleScreenArtBoardView::zoomInWithVelocity(double velocity)
{
    if (m_previewOnly)
        return;
    applyMagnification(m_magnification + velocity * kGestureStep);
    handleChangeInMagnification(true);
}

void QVR_SingleScreenArtBoardView::zoomOutWithVelocity(double velocity)
{
    if (m_previewOnly)
        return;
    applyMagnification(m_magnification - velocity * kGestureStep);
    handleChangeInMagnification(true);
}

void QVR_SingleScreenArtBoardView::handleChangeInMagnification(bool notify)
{
    updateScrollRange();
    updateVisibleArea();
    if (m_singleScreen)
        m_singleScreen->appropriatelyResizeAllMmobjViews();
    if (m_scrollView)
        m_scrollView->contentViewBoundsChanged();
    if (notify)
        NotificationCenter::defaultCenter().post(kZoomLevelChangedNotification, window(),
                                                 {{kZoomLevelChangedKey, static_cast<float>(m_magnification)}});
}

void QVR_SingleScreenArtBoardView::updateScrollRange()
{
    if (!m_scrollView || m_previewOnly)
        return;
    const QRectF screen(0, 0, kScreenWidth, kScreenHeight);
    QRectF reach = screen;
    if (const auto* handler = QVR_InteractableViewHandler::handlerForBoard(this))
        if (const QGraphicsItem* crop = handler->cropView())
            reach |= crop->mapRectToScene(crop->boundingRect() | crop->childrenBoundingRect());
    const QSize viewport = m_scrollView->viewport()->size();
    const double margin = kOverlayReach / m_magnification;
    QRectF range = screen;
    if (reach.width() * m_magnification > viewport.width()) {
        range.setLeft(reach.left() - margin);
        range.setRight(reach.right() + margin);
    }
    if (reach.height() * m_magnification > viewport.height()) {
        range.setTop(reach.top() - margin);
        range.setBottom(reach.bottom() + margin);
    }
    if (range == m_scrollView->sceneRect())
        return;
    // What the view shows stays where it is.
    const QPointF centre = m_scrollView->mapToScene(m_scrollView->viewport()->rect().center());
    m_scrollView->setSceneRect(range);
    m_scrollView->centerOn(centre);
}

void QVR_SingleScreenArtBoardView::updateVisibleArea()
{
    if (!m_singleScreen)
        return;
    const QRectF shown = m_scrollView->mapToScene(m_scrollView->viewport()->rect()).boundingRect();
    // A little beyond the edges, so rounding never leaves an unpainted line.
    const double pad = 2.0 / m_magnification;
    m_singleScreen->setVisibleArea(shown.adjusted(-pad, -pad, pad, pad));
}

QMenu* QVR_SingleScreenArtBoardView::rightClickMenu()
{
    if (m_previewOnly)
        return nullptr;
    if (m_menu)
        return m_menu;
    m_menu = new QMenu(QStringLiteral("Screen Menu"), this);
    // Beside the screen, inserting still goes to the screen, at the clicked point.
    QVR_CreatorSingleScreen::addInsertMenuItemsToMenu(m_menu, [this](int kind) { insertMenuItemChosen(kind); });
    m_menu->addSeparator();
    m_pasteAction = m_menu->addAction(UFM::SAYS_PASTE());
    connect(m_pasteAction, &QAction::triggered, this, &QVR_SingleScreenArtBoardView::artboardPaste);
    m_menu->addSeparator();
    m_zoomMenu = QVR_ZoomMenuGeneratorObject::zoomMenuWithSupportedZoomLevels(
        m_menu, [this](QAction* item) { zoomMenuItemChosen(item); });
    m_menu->addMenu(m_zoomMenu);
    return m_menu;
}

void QVR_SingleScreenArtBoardView::validateMenuItems()
{
    if (!m_pasteAction)
        return;
    // Paste follows the creator window's own answer; a window without one pastes nothing.
    QWidget* host = window();
    const bool inCreatorWindow =
        QVRWindowManager::sharedInstance().kindOfWindow(host) == QVRWindowManager::WindowKind::Creator;
    m_pasteAction->setEnabled(inCreatorWindow &&
                              QVRWindowManagerManagedWindow::callValidator(host, "canPaste").value_or(false));
}

void QVR_SingleScreenArtBoardView::showContextMenu(const QPoint& globalPos)
{
    QMenu* menu = rightClickMenu();
    if (!menu)
        return;
    const QVR_ArtBoardScrollView* view = theScrollView();
    m_rightMouseDownScenePoint = view->mapToScene(view->viewport()->mapFromGlobal(globalPos));
    validateMenuItems();
    menu->popup(globalPos);
}

void QVR_SingleScreenArtBoardView::artboardPaste()
{
    QWidget* host = window();
    if (QVRWindowManager::sharedInstance().kindOfWindow(host) != QVRWindowManager::WindowKind::Creator)
        return;
    const auto modifiers = m_pasteAction ? m_pasteAction->shortcut()[0].keyboardModifiers() : Qt::NoModifier;
    QVRWindowManagerManagedWindow::callPerformer(host, "performPaste", static_cast<uint>(modifiers.toInt()));
}

void QVR_SingleScreenArtBoardView::zoomMenuItemChosen(QAction* item)
{
    if (!item)
        return;
    // A title that does not parse changes nothing.
    if (const auto level = QVR_ZoomMenuGeneratorObject::zoomLevelForTitle(item->text()))
        setZoomLevel(*level);
}

void QVR_SingleScreenArtBoardView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    buildSceneIfNeeded();
}

void QVR_SingleScreenArtBoardView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_scrollView)
        handleChangeInMagnification(true);
}

void QVR_SingleScreenArtBoardView::wheelEvent(QWheelEvent* event)
{
    // The scroll view takes every wheel; what it leaves (nothing more to scroll) stops here.
    event->accept();
}
