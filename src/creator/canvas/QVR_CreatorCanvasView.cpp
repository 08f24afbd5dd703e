#include "creator/canvas/QVR_CreatorCanvasView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QGraphicsScene>
#include <QMouseEvent>
#include <QPainter>

#include "controls/MouseEventShieldWindow.h"
#include "controls/UniversalPopover.h"
#include "creator/CreatorLogging.h"
#include "controls/PanelFocusReturn.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/thumbnails/QVRNewScreenSelectionViewController.h"
#include "creator/thumbnails/QVRThumbnailObject.h"
#include "app/QVRWindowManager.h"
#include "app/ViewerWindowHandle.h"
#include "creator/window/CreatorPublishing.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "creator/window/WindowSizeLock.h"
#include "service/QVROpenRequest.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {
constexpr int kAddScreenAnchorDrop = 14;
} // namespace

QVR_CreatorCanvasView::QVR_CreatorCanvasView(QWidget* parent)
    : QStackedWidget(parent)
{
    setFrameShape(QFrame::NoFrame);
    // The empty page is clear, so the canvas's own ground shows through it.
    m_emptyPage = new QWidget(this);
    addWidget(m_emptyPage);
}

QVR_CreatorCanvasView::~QVR_CreatorCanvasView()
{
    dismissShield();
}

QVR_SingleScreenArtBoardView* QVR_CreatorCanvasView::theArtBoard() const
{
    return qobject_cast<QVR_SingleScreenArtBoardView*>(currentWidget());
}

void QVR_CreatorCanvasView::setTheArtBoard(QVR_SingleScreenArtBoardView* board)
{
    if (board && indexOf(board) < 0)
        return;
    QVR_SingleScreenArtBoardView* old = theArtBoard();
    if (board == old && (board || currentWidget() == m_emptyPage))
        return;
    if (auto* handler = QVR_InteractableViewHandler::handlerForBoard(old)) {
        handler->croppingEnded(true);
        handler->deselectAll();
    }
    m_shown = board;
    if (board) {
        board->buildSceneIfNeeded();
        if (QWidget* viewport = board->theScrollView() ? board->theScrollView()->viewport() : nullptr)
            viewport->installEventFilter(this);
    }
    QWidget* keyboard = window()->focusWidget();
    const bool hadKeyboard = old && keyboard && old->isAncestorOf(keyboard);
    moveFrameInto(board);
    setCurrentWidget(board ? static_cast<QWidget*>(board) : m_emptyPage);
    // The keyboard moves on with the screen: where the window holds it, and where a panel open over the window
    // (the new-screen chooser) gives it back when it closes; the hidden board would leave it to the first button.
    QWidget* next = board ? board->theScrollView() : nullptr;
    if (!old || !next)
        return;
    if (hadKeyboard)
        next->setFocus(Qt::OtherFocusReason);
    for (PanelFocusReturn* back : window()->findChildren<PanelFocusReturn*>())
        if (back->returnsTo() && old->isAncestorOf(back->returnsTo()))
            back->setReturnsTo(next);
}

void QVR_CreatorCanvasView::setSelectionFrame(QVR_SelectedItemView* frame)
{
    m_frame = frame;
    moveFrameInto(theArtBoard());
}

void QVR_CreatorCanvasView::moveFrameInto(QVR_SingleScreenArtBoardView* board)
{
    if (!m_frame)
        return;
    QGraphicsScene* scene = board && board->theScrollView() ? board->theScrollView()->scene() : nullptr;
    if (scene) {
        if (m_frame->scene() != scene)
            scene->addItem(m_frame); // leaves the old scene
    } else if (m_frame->scene()) {
        m_frame->scene()->removeItem(m_frame);
    }
    m_frame->setZValue(QVR_SelectedItemView::kZValue);
}

bool QVR_CreatorCanvasView::acceptsRightClicks() const
{
    if (isAddingContent())
        return false;
    // A sheet: a modal dialog up over this window.
    QWidget* modal = QApplication::activeModalWidget();
    return !modal || (modal->parentWidget() && modal->parentWidget()->window() != window());
}

bool QVR_CreatorCanvasView::eventFilter(QObject* watched, QEvent* event)
{
    const bool rightPress =
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
    if ((rightPress || event->type() == QEvent::ContextMenu) && !acceptsRightClicks()) {
        event->accept();
        return true;
    }
    return QStackedWidget::eventFilter(watched, event);
}

bool QVR_CreatorCanvasView::canSaveDraft() const
{
    return document() && CreatorPublishing::shared();
}

void QVR_CreatorCanvasView::saveDraft()
{
    const auto publishing = CreatorPublishing::shared();
    if (const auto doc = document(); doc && publishing)
        publishing->saveDraft(doc, window());
    else
        qCInfo(lcCreator) << "saving is not available";
}

bool QVR_CreatorCanvasView::canPublish() const
{
    return canSaveDraft();
}

void QVR_CreatorCanvasView::publish(bool asAdmin)
{
    const auto publishing = CreatorPublishing::shared();
    if (const auto doc = document(); doc && publishing)
        publishing->publish(doc, window(), asAdmin);
    else
        qCInfo(lcCreator) << "publishing is not available";
}

void QVR_CreatorCanvasView::launchViewMode()
{
    playDocument(false);
}

void QVR_CreatorCanvasView::launchiPadPreviewMode()
{
    playDocument(true);
}

void QVR_CreatorCanvasView::playDocument(bool inTabletPreview)
{
    auto* creator = qobject_cast<QVR_CreatorWindow*>(window());
    const auto doc = document();
    const int page = creator ? creator->currentIndex() : -1;
    if (!doc || !theArtBoard() || page < 0)
        return;
    const auto kind =
        inTabletPreview ? QVRWindowManager::WindowKind::TabletPreview : QVRWindowManager::WindowKind::Viewer;
    auto request = QVROpenRequest::request();
    request->setOpenCue(doc);
    request->setOptions(inTabletPreview ? QVROpenRequest::TabletPreviewWindow : QVROpenRequest::ViewerWindow);
    const std::weak_ptr<ZERI_TessarineModel> weakDoc = doc;
    request->open([weakDoc, page, kind, inTabletPreview](const Error& error) {
        if (!error.isNull()) {
            qCWarning(lcCreator) << "the document could not be played:" << error.message;
            return;
        }
        const auto played = weakDoc.lock();
        if (!played)
            return;
        // The window now playing the document: the active one, or where activation lags (or is not offered),
        // the newest of its kind showing the document.
        QVRWindowManager& manager = QVRWindowManager::sharedInstance();
        const auto plays = [&](QWidget* candidate) {
            return candidate && manager.kindOfWindow(candidate) == kind &&
                   manager.documentForWindow(candidate) == played;
        };
        ViewerWindowHandle* handle = nullptr;
        if (QWidget* active = QApplication::activeWindow(); plays(active))
            handle = dynamic_cast<ViewerWindowHandle*>(active);
        const QList<QWidget*> windows = manager.windows();
        for (auto it = windows.rbegin(); it != windows.rend() && !handle; ++it) {
            if (plays(*it))
                handle = dynamic_cast<ViewerWindowHandle*>(*it);
        }
        if (!handle)
            return;
        // Play starts at the screen being edited; the viewer then offers the presenter notes.
        handle->scrollToPage(page, false);
        if (!inTabletPreview)
            handle->showPresentationNotesIfAble();
    });
}

MouseEventShieldWindow* QVR_CreatorCanvasView::presentShield(std::function<void()> onClose)
{
    dismissShield();
    auto* shield = MouseEventShieldWindow::sheildWindowForWindow(window());
    if (!shield)
        return nullptr;
    m_shield = shield;
    m_shieldLock = std::make_unique<WindowSizeLock>(window());
    QPointer<QVR_CreatorCanvasView> self(this);
    QPointer<MouseEventShieldWindow> guarded(shield);
    shield->setOnCloseBlock([self, guarded, onClose = std::move(onClose)] {
        if (onClose)
            onClose();
        if (self && guarded && self->m_shield == guarded)
            self->dismissShield();
    });
    shield->show();
    shield->raise();
    return shield;
}

void QVR_CreatorCanvasView::dismissShield()
{
    QPointer<MouseEventShieldWindow> shield = m_shield;
    m_shield = nullptr;
    m_shieldLock.reset();
    if (shield) {
        shield->hide();
        shield->deleteLater();
    }
}

void QVR_CreatorCanvasView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(kBackgroundGrey, kBackgroundGrey, kBackgroundGrey));
    painter.end();
    QStackedWidget::paintEvent(event);
}

void QVR_CreatorCanvasView::beginAddNewScreenSelection(const QRect& rect, int popoverPosition)
{
    m_addScreenRect = rect;
    m_addScreenPosition = popoverPosition;
    // A second click on the add item closes the chooser.
    if (m_addScreenPopover) {
        dismissAddScreenPopover();
        return;
    }
    const auto doc = document();
    const auto flow = doc ? doc->firstFlowmodel() : nullptr;
    if (!flow)
        return;
    auto* chooser = new QVRNewScreenSelectionViewController(flow->themeID());
    auto* popover = new UniversalPopover(0, QColor::fromRgbF(0.98f, 0.98f, 0.98f), chooser->view());
    chooser->setParent(popover);
    popover->setPreferedPopoverArrowPosition(popoverPosition);
    m_addScreenPopover = popover;
    if (auto* handler = QVR_InteractableViewHandler::handlerForBoard(theArtBoard()))
        handler->deselectAll();
    // The chooser sits in a shield over the window: a click beside it closes it, and the window keeps its size
    // meanwhile.
    QPointer<QVR_CreatorCanvasView> self(this);
    MouseEventShieldWindow* shield = presentShield([self] {
        if (self)
            self->dismissAddScreenPopover();
    });
    QWidget* host = shield ? static_cast<QWidget*>(shield->closeOnClickView()) : window();
    if (shield)
        host->resize(shield->size());
    const QPoint anchor = host->mapFrom(window(), rect.topLeft()) + QPoint(0, kAddScreenAnchorDrop);
    popover->presentPopoverInView(host, UniversalPopover::ArrowPositionAll, QRectF(anchor, rect.size()), false);
}

void QVR_CreatorCanvasView::dismissAddScreenPopover()
{
    dismissPopoverOverShield(m_addScreenPopover);
}

void QVR_CreatorCanvasView::dismissPopoverOverShield(QPointer<UniversalPopover>& slot)
{
    QPointer<UniversalPopover> popover = slot;
    slot = nullptr;
    // The popover goes with the shield; reparent it so its closing animation can finish.
    if (popover && m_shield && m_shield->isAncestorOf(popover))
        popover->setParent(window());
    dismissShield();
    if (popover)
        popover->dismissPopoverAnimated(false, [popover] {
            if (popover)
                popover->deleteLater();
        });
}

UniversalPopover* QVR_CreatorCanvasView::addScreenPopover() const
{
    return m_addScreenPopover;
}
