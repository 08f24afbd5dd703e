// The creator window's selection frame and the Edit menu commands that act on the shown board's selection.

#include "app/QVRAnalytics.h"
#include "creator/CreatorLogging.h"
#include "creator/canvas/QVR_CreatorCanvasView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"

#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/window/CreatorInspectorInterfaces.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "foundation/Tessutils.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

QVR_InteractableViewHandler* shownHandler(const QVR_CreatorWindow* window)
{
    return QVR_InteractableViewHandler::handlerForBoard(window->theArtBoard());
}

} // namespace

QVR_SelectedItemView* QVR_CreatorWindow::selectedItemView()
{
    if (!m_selectedItemView) {
        m_selectedItemView = new QVR_SelectedItemView(this);
        m_canvas->setSelectionFrame(m_selectedItemView);
        // The frame shows the selection of whichever board is shown.
        connect(m_canvas, &QStackedWidget::currentChanged, m_selectedItemView, [this] {
            if (auto* handler = shownHandler(this))
                handler->pushSelectionToFrame();
            else if (m_selectedItemView)
                m_selectedItemView->setSelectedViews({});
        });
        connect(m_selectedItemView, &QVR_SelectedItemView::selectionWasSet, this, [this] {
            std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> objects;
            if (m_selectedItemView)
                for (auto* view : m_selectedItemView->selectedViews())
                    if (auto object = view->mixedMediaObject())
                        objects.push_back(std::move(object));
            // The position palette and the docked popover both follow the selection.
            if (m_positionPalette)
                m_positionPalette->setTrackedMixedMediaObjects(objects);
            if (m_dockedPopover)
                m_dockedPopover->setTrackedMixedMediaObjects(objects);
        });
    }
    return m_selectedItemView;
}

void QVR_CreatorWindow::popoverDockStatusChanged()
{
    const bool docked = Tessutils::isPopoverDocked();
    m_dockedPopover->setHidden(!docked);
    if (!m_selectedItemView)
        return;
    const auto views = m_selectedItemView->selectedViews();
    if (views.size() != 1 || !views.front())
        return;
    // Docked, nothing floats (docked from the menu, the element's popover was still up); floating again, the
    // element shows its own.
    if (!docked)
        views.front()->showMyPopover();
    else if (QVRMMObjToolbarPopoverController* popover = views.front()->popoverController())
        popover->dismissPopover(false);
}

bool QVR_CreatorWindow::canNudge() const
{
    return !commandsBlocked() && m_selectedItemView && m_selectedItemView->delegate() == shownHandler(this) &&
           m_selectedItemView->canTranslateFromArrowKeys();
}

void QVR_CreatorWindow::nudge(int dx, int dy, uint mask)
{
    if (canNudge())
        m_selectedItemView->performMove(dx, dy, mask);
}

bool QVR_CreatorWindow::canDelete() const
{
    return !commandsBlocked() && m_selectedItemView && m_selectedItemView->delegate() &&
           m_selectedItemView->delegate() == shownHandler(this) && m_selectedItemView->delegate()->performsDelete() &&
           m_selectedItemView->canDelete();
}

void QVR_CreatorWindow::performDelete(uint mask)
{
    if (canDelete())
        m_selectedItemView->performDelete(mask);
}

bool QVR_CreatorWindow::canCopy() const
{
    const auto* handler = shownHandler(this);
    return !commandsBlocked() && handler && handler->canCopySelection();
}

void QVR_CreatorWindow::performCopy(uint)
{
    if (auto* handler = shownHandler(this); canCopy() && handler)
        handler->copySelection();
}

void QVR_CreatorWindow::performCut(uint mask)
{
    if (auto* handler = shownHandler(this); canCut() && handler)
        handler->cutSelection(mask);
}

bool QVR_CreatorWindow::canBringForward() const
{
    const auto* handler = shownHandler(this);
    return !commandsBlocked() && handler && handler->canBringForward();
}

bool QVR_CreatorWindow::canSendBackward() const
{
    const auto* handler = shownHandler(this);
    return !commandsBlocked() && handler && handler->canSendBackward();
}

void QVR_CreatorWindow::performBringForward(uint)
{
    if (auto* handler = shownHandler(this); handler && canBringForward())
        handler->bringForward();
}

void QVR_CreatorWindow::performBringToFront(uint)
{
    if (auto* handler = shownHandler(this); handler && canBringForward())
        handler->bringToFront();
}

void QVR_CreatorWindow::performSendBackward(uint)
{
    if (auto* handler = shownHandler(this); handler && canSendBackward())
        handler->sendBackward();
}

void QVR_CreatorWindow::performSendToBack(uint)
{
    if (auto* handler = shownHandler(this); handler && canSendBackward())
        handler->sendToBack();
}

bool QVR_CreatorWindow::canSelectAll() const
{
    const auto* board = theArtBoard();
    return !editingBlocked() && shownHandler(this) && board && board->singleScreen();
}

void QVR_CreatorWindow::performSelectAll(uint)
{
    if (auto* handler = shownHandler(this); handler && canSelectAll())
        handler->setCurrentlySelected(theArtBoard()->singleScreen()->elementContainers());
}

void QVR_CreatorWindow::performShowScreenProperties(uint)
{
    const auto& open = CreatorInspectorFactories::shared().screenPropertiesSheet;
    const auto document = currentModel();
    if (!open) {
        qCInfo(lcCreator) << "no screen properties sheet is available";
        return;
    }
    if (!document || !document->firstFlowmodel())
        return;
    QVRAnalytics::logEvent(QStringLiteral("Presentation Settings opened"), {}, document);
    QPointer<QVR_CreatorWindow> self(this);
    open(this, document->firstFlowmodel(), currentIndex(), [self](int page) {
        if (self)
            self->setCurrentIndex(page);
    });
}

bool QVR_CreatorWindow::hasSelectedObjects() const
{
    const auto* handler = shownHandler(this);
    return handler && !handler->currentlySelectedArray().empty();
}

void QVR_CreatorWindow::removeAllSelectedViews()
{
    if (auto* handler = shownHandler(this))
        handler->deselectAll();
}
