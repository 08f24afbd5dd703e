// The creator window's menu commands on the clipboard, undo, screens, output, panels and auto-advance, and its
// dark panel.

#include <algorithm>

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMimeData>

#include "app/QVRAnalytics.h"
#include "app/QVRWindowManager.h"
#include "controls/NavigationController.h"
#include "controls/NavigationControllerFriendlyViewController.h"
#include "controls/PanelFocusReturn.h"
#include "creator/CreatorLogging.h"
#include "creator/canvas/QVR_CreatorCanvasView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/thumbnails/QVRThumbnailObject.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/window/CreatorContentAddition.h"
#include "creator/window/CreatorInspectorInterfaces.h"
#include "creator/window/CreatorOutput.h"
#include "creator/window/CreatorPublishing.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "foundation/Tessutils.h"
#include "platform/AlertPresenter.h"
#include "platform/FileChooser.h"
#include "platform/UserDefaults.h"
#include "strings/UFM.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

// The user default keeping the folder the user last chose in this chooser.
const char* const kLastPDFExportFolderKey = "qvr_lastPDFExportDirectoryKey";

const QString kShowXYPaletteKey = QStringLiteral("showXYPaletteOnWindowLaunch");

// The clipboard's formats, read at most once per clipboard change: another application owning the clipboard
// can take a while to answer, and the menus are validated before every key press.
class ClipboardFormats : public QObject {
public:
    static const QStringList& current()
    {
        static ClipboardFormats* s_formats = new ClipboardFormats(QCoreApplication::instance());
        if (s_formats->m_stale) {
            const QMimeData* data = QGuiApplication::clipboard()->mimeData();
            s_formats->m_formats = data ? data->formats() : QStringList();
            s_formats->m_stale = false;
        }
        return s_formats->m_formats;
    }

private:
    explicit ClipboardFormats(QObject* parent)
        : QObject(parent)
    {
        connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] { m_stale = true; });
    }
    QStringList m_formats;
    bool m_stale = true;
};

} // namespace

std::shared_ptr<ZERI_FlowScreenModel> QVR_CreatorWindow::displayedScreen() const
{
    const QVR_SingleScreenArtBoardView* board = theArtBoard();
    return board ? board->screenModel() : nullptr;
}

std::shared_ptr<ZERI_FlowModel> QVR_CreatorWindow::commandFlow() const
{
    if (const auto screen = displayedScreen())
        if (auto flow = screen->nearestParentItemOfClass<ZERI_FlowModel>())
            return flow;
    return m_currentModel ? m_currentModel->firstFlowmodel() : nullptr;
}

bool QVR_CreatorWindow::undoBlocked() const
{
    const auto& sheetShown = CreatorInspectorFactories::shared().screenPropertiesSheetShown;
    return isAddingContent() || CreatorCropState::isCropping(theArtBoard()) || (sheetShown && sheetShown(this));
}

bool QVR_CreatorWindow::editingBlocked() const
{
    return commandsBlocked() || CreatorCropState::isCropping(theArtBoard());
}

// Clipboard.

bool QVR_CreatorWindow::canPaste() const
{
    const auto addition = CreatorContentAddition::shared();
    if (editingBlocked() || !addition || !displayedScreen())
        return false;
    const QStringList& formats = ClipboardFormats::current();
    const QStringList supported = addition->supportedPasteboardTypes();
    return std::any_of(formats.begin(), formats.end(),
                       [&supported](const QString& format) { return supported.contains(format); });
}

void QVR_CreatorWindow::performPaste(uint)
{
    // The dark panel's page takes the paste when it can.
    if (m_darkPanel) {
        NavigationControllerFriendlyViewController* top = m_darkPanel->navigationController()->topViewController();
        if (top && top->metaObject()->indexOfMethod("paste()") >= 0)
            QMetaObject::invokeMethod(top, "paste", Qt::DirectConnection);
        return;
    }
    if (!canPaste())
        return;
    const auto addition = CreatorContentAddition::shared();
    const auto screen = displayedScreen();
    QPointer<QVR_CreatorWindow> self(this);
    QPointer<QVR_CreatorToolBarView> toolbar(m_toolBarView);
    toolbar->startProgressIndicator();
    std::weak_ptr<ZERI_FlowScreenModel> weakScreen = screen;
    addition->addObjectsFromMimeData(
        QGuiApplication::clipboard()->mimeData(), screen, false, this,
        [self, toolbar, weakScreen](const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& added) {
            if (toolbar)
                toolbar->stopProgressIndicator();
            const auto target = weakScreen.lock();
            if (!target)
                return;
            target->updateNotifier().sendUpdateNotificationsIfNeeded();
            if (!self || added.empty())
                return;
            for (QVR_SingleScreenArtBoardView* board : self->m_artboards) {
                QVR_CreatorSingleScreen* single = board->singleScreen();
                if (board->screenModel() == target && single) {
                    single->buildMixedMediaObjectViews();
                    single->setSelectionsForMixedMediaObjects(added);
                }
            }
        });
}

// Undo and redo.

bool QVR_CreatorWindow::canUndo() const
{
    const auto flow = commandFlow();
    return flow && !undoBlocked() && (flow->undoManager().canUndo() || flow->currentUndoableAction());
}

void QVR_CreatorWindow::performUndo(uint)
{
    if (!canUndo())
        return;
    const auto flow = commandFlow();
    // A change still open (a run of nudges) becomes the step that is undone.
    flow->endUndoableChanges();
    flow->undoManager().undo();
    flow->updateNotifier().sendUpdateNotificationsIfNeeded();
}

bool QVR_CreatorWindow::canRedo() const
{
    const auto flow = commandFlow();
    return flow && !undoBlocked() && flow->undoManager().canRedo();
}

void QVR_CreatorWindow::performRedo(uint)
{
    if (!canRedo())
        return;
    const auto flow = commandFlow();
    flow->undoManager().redo();
    flow->updateNotifier().sendUpdateNotificationsIfNeeded();
}

QString QVR_CreatorWindow::undoActionName() const
{
    const auto flow = commandFlow();
    if (!flow)
        return {};
    // A change still open (a run of nudges) is the step Undo takes.
    if (const auto open = flow->currentUndoableAction())
        return open->actionDescription();
    return flow->undoManager().undoActionName();
}

QString QVR_CreatorWindow::redoActionName() const
{
    const auto flow = commandFlow();
    return flow ? flow->undoManager().redoActionName() : QString();
}

// Screens.

bool QVR_CreatorWindow::canChangeBackgroundColor() const
{
    const auto screen = displayedScreen();
    return !editingBlocked() && screen && screen->nearestParentItemOfClass<ZERI_FlowModel>();
}

void QVR_CreatorWindow::performChangeBackgroundColor(uint)
{
    if (QVR_CreatorSingleScreen* single = currentlyDisplayedSingleScreen(); single && canChangeBackgroundColor())
        single->startBackgroundColorSelection();
}

void QVR_CreatorWindow::performDeleteScreen(uint)
{
    if (!canDeleteScreen())
        return;
    const auto screen = displayedScreen();
    const auto flow = screen->nearestParentItemOfClass<ZERI_FlowModel>();
    QVRAnalytics::logEvent(
        QStringLiteral("Deleted Screen"),
        {{QStringLiteral("ScreenID"), screen->internalID()}, {QStringLiteral("Deleted From"), QStringLiteral("Menu")}},
        m_currentModel);
    flow->beginUndoableChanges();
    flow->removeFlowScreen(screen);
    flow->endUndoableChanges();
    flow->updateNotifier().sendUpdateNotificationsIfNeeded();
}

void QVR_CreatorWindow::performDuplicateScreen(uint)
{
    if (!canDuplicateScreen())
        return;
    const auto screen = displayedScreen();
    // The copy is shown, so that what is done next goes to it.
    if (const auto copy = QVRThumbnailObject::duplicateInItsFlow(screen))
        pageToScreenWithScreenID(copy->internalID());
    QVRAnalytics::logEvent(
        QStringLiteral("Duplicated Screen"),
        {{QStringLiteral("ScreenID"), screen->internalID()}, {QStringLiteral("action_value"), QStringLiteral("Menu")}},
        m_currentModel);
}

// PDF export and printing.

bool QVR_CreatorWindow::canExportToPDF() const
{
    const auto flow = commandFlow();
    return CreatorOutput::shared() && m_currentModel && flow && !flow->screenModels().empty();
}

void QVR_CreatorWindow::performExportToPDF(uint)
{
    if (!canExportToPDF())
        return;
    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::Save;
    request.title = UFM::EXPORT_PDF_TEXT();
    request.proposedName = m_currentModel->firstFlowmodel() ? m_currentModel->firstFlowmodel()->title() : QString();
    request.allowedExtensions = {QStringLiteral("pdf")};
    request.checkBoxTitle = UFM::INCLUDE_GALLERY_IMAGES_TEXT();
    // The folder of the last export, or the user's documents.
    request.directory = FileChooser::rememberedFolder(QString::fromLatin1(kLastPDFExportFolderKey));
    request.place = FileChooserRequest::Place::Documents;
    // The document as it was when the chooser opened.
    const auto document = m_currentModel;
    QPointer<QVR_CreatorWindow> self(this);
    FileChooser::shared().show(request, this, [self, document](const FileChooserResponse& response) {
        const auto output = CreatorOutput::shared();
        if (!self || !response.accepted() || !output)
            return;
        FileChooser::rememberFolder(QString::fromLatin1(kLastPDFExportFolderKey), response);
        const QString path = response.paths.first();
        const bool includeGallery = response.checkBoxChecked;
        // The pictures the PDF draws come first, so that it shows what the screens show.
        output->fetchPicturesForExport(document, self, includeGallery, [self, output, document, path, includeGallery] {
            if (!self)
                return;
            QPointer<QVR_CreatorToolBarView> toolbar(self->m_toolBarView);
            toolbar->startProgressIndicator();
            output->exportDocument(
                document, path, includeGallery, [self, toolbar, document, path](const std::optional<Error>& error) {
                    if (toolbar)
                        toolbar->stopProgressIndicator();
                    if (error) {
                        qCWarning(lcCreator) << "the PDF export to" << path << "failed:" << error->message;
                        // The file it could not write, and where.
                        const QFileInfo target(path);
                        AlertRequest alert;
                        alert.style = AlertRequest::Style::Warning;
                        alert.messageText = UFM::PDF_EXPORT_FAILED_TEXT().arg(target.fileName());
                        alert.informativeText = QDir::toNativeSeparators(target.absolutePath());
                        AlertPresenter::shared().show(alert, self, {});
                        return;
                    }
                    QVRAnalytics::logEvent(QStringLiteral("Export to PDF Finished"), {}, document);
                });
        });
    });
}

bool QVR_CreatorWindow::canPrint() const
{
    return canExportToPDF();
}

void QVR_CreatorWindow::performPrint(uint)
{
    if (canPrint())
        CreatorOutput::shared()->printDocument(m_currentModel, this);
}

// Panels.

bool QVR_CreatorWindow::showXYPaletteOnLaunch()
{
    return UserDefaults::standard().boolValue(kShowXYPaletteKey);
}

void QVR_CreatorWindow::setShowXYPaletteOnLaunch(bool show)
{
    UserDefaults::standard().setValue(kShowXYPaletteKey, show);
}

bool QVR_CreatorWindow::xyPaletteHidden() const
{
    return m_positionPalette->widget()->isHidden();
}

void QVR_CreatorWindow::performToggleXYPalette(uint)
{
    const bool hide = !xyPaletteHidden();
    m_positionPalette->setHidden(hide);
    setShowXYPaletteOnLaunch(!hide);
}

void QVR_CreatorWindow::performToggleDockedPopover(uint)
{
    const bool show = m_dockedPopover->widget()->isHidden();
    m_dockedPopover->setHidden(!show);
    Tessutils::setIsPopoverDocked(show);
}

// Unpublishing.

bool QVR_CreatorWindow::canUnpublish() const
{
    const auto publishing = CreatorPublishing::shared();
    return publishing && m_currentModel && publishing->hasPublishedCopy(m_currentModel);
}

void QVR_CreatorWindow::performUnpublish(uint)
{
    if (canUnpublish())
        CreatorPublishing::shared()->unpublish(m_currentModel, this);
}

// Presenter notes and auto-advance.

bool QVR_CreatorWindow::canSetPresenterNote() const
{
    return currentlyDisplayedSingleScreen() && displayedScreen();
}

void QVR_CreatorWindow::performSetPresenterNote(uint)
{
    if (!canSetPresenterNote())
        return;
    const auto screen = displayedScreen();
    AlertRequest request;
    request.messageText = QStringLiteral("Type a thing");
    request.hasTextField = true;
    request.textFieldValue = screen->presenterNotes();
    std::weak_ptr<ZERI_FlowScreenModel> weakScreen = screen;
    // Whatever closed the alert, the field's text becomes the notes.
    AlertPresenter::shared().show(request, this, [weakScreen](const AlertResponse& response) {
        if (const auto target = weakScreen.lock()) {
            target->setPresenterNotes(response.textFieldValue);
            target->updateNotifier().sendUpdateNotificationsIfNeeded();
        }
    });
}

bool QVR_CreatorWindow::canSetScreenAutoAdvanceSettings() const
{
    return CreatorInspectorFactories::shared().slideDurationEditor && currentlyDisplayedSingleScreen() &&
           displayedScreen();
}

void QVR_CreatorWindow::performSetScreenAutoAdvanceSettings(uint)
{
    if (canSetScreenAutoAdvanceSettings())
        runSlideDurationEditor(true);
}

bool QVR_CreatorWindow::canSetFlowModelAutoAdvanceSettings() const
{
    return CreatorInspectorFactories::shared().slideDurationEditor && m_currentModel &&
           m_currentModel->firstFlowmodel();
}

void QVR_CreatorWindow::performSetFlowModelAutoAdvanceSettings(uint)
{
    if (canSetFlowModelAutoAdvanceSettings())
        runSlideDurationEditor(false);
}

void QVR_CreatorWindow::runSlideDurationEditor(bool forScreen)
{
    const auto screen = forScreen ? displayedScreen() : nullptr;
    const auto flow = forScreen ? nullptr : m_currentModel->firstFlowmodel();
    CreatorInspectorFactories::SlideDuration initial;
    initial.seconds = screen ? screen->autoAdvanceSlideDuration() : flow->autoAdvanceSlideDuration();
    initial.transitionType =
        (screen ? screen->autoAdvanceTransitionType() : flow->autoAdvanceTransitionType()).value_or(0);
    // The editor runs its own loop: the window or the document may go meanwhile, so only weak references
    // are kept.
    std::weak_ptr<ZERI_FlowScreenModel> weakScreen = screen;
    std::weak_ptr<ZERI_FlowModel> weakFlow = flow;
    const auto chosen = CreatorInspectorFactories::shared().slideDurationEditor(this, initial);
    // Written without an undo step, as the sheet's own settings are.
    if (const auto shownScreen = weakScreen.lock()) {
        shownScreen->setAutoAdvanceSlideDuration(chosen.seconds);
        shownScreen->setAutoAdvanceTransitionType(chosen.transitionType);
        shownScreen->updateNotifier().sendUpdateNotificationsIfNeeded();
    } else if (const auto firstFlow = weakFlow.lock()) {
        firstFlow->setAutoAdvanceSlideDuration(chosen.seconds);
        firstFlow->setAutoAdvanceTransitionType(chosen.transitionType);
        firstFlow->updateNotifier().sendUpdateNotificationsIfNeeded();
    }
}

// The side menu's set-ups.

std::optional<QList<QVariantMap>> QVR_CreatorWindow::getSetupDictionaryArrayForOutletType(const QString& outletType,
                                                                                          const QString& tabType) const
{
    const auto* handler = QVR_InteractableViewHandler::handlerForBoard(theArtBoard());
    const auto selected =
        handler ? handler->currentlySelectedArray() : std::vector<QVR_MixedMediaElementContainingView*>();
    if (!selected.empty()) {
        QList<QVariantMap> all;
        for (QVR_MixedMediaElementContainingView* view : selected) {
            const auto proxy = view->mixedMediaObject();
            if (!proxy || !proxy->object())
                continue;
            const auto answer = proxy->object()->getSetupDictionaryArrayForOutletType(outletType, tabType);
            if (!answer || answer->isEmpty())
                return std::nullopt;
            all += *answer;
        }
        return all;
    }
    const auto screen = displayedScreen();
    if (screen && (tabType == QLatin1String("Tessarine") || tabType == QLatin1String("Screen")))
        return screen->getSetupDictionaryArrayForOutletType(outletType, tabType);
    return std::nullopt;
}

// The dark panel.

void QVR_CreatorWindow::presentDarkPanelWithRootViewController(NavigationControllerFriendlyViewController* root,
                                                               bool withCloseButton, bool allowBackNavigation)
{
    if (m_darkPanel)
        dismissDarkPanel();
    // Where the keyboard goes back when the panel closes: taken before the toolbar greys, which moves it on.
    QPointer<QWidget> keyboardBefore = focusWidget();
    m_toolBarView->setEnabled(false);
    auto* panel = new SheetLikePanelViewController(this);
    panel->setDelegate(this);
    panel->setEnableCloseButton(withCloseButton);
    panel->setEnableNavigationBackButton(allowBackNavigation);
    m_darkPanel = panel;
    QWidget* view = panel->view();
    view->setParent(contentView());
    view->setGeometry(coveringRect());
    view->show();
    view->raise();
    if (keyboardBefore && !view->isAncestorOf(keyboardBefore))
        PanelFocusReturn::install(view)->setReturnsTo(keyboardBefore);
    panel->navigationController()->setRootViewController(root);
}

QRect QVR_CreatorWindow::coveringRect() const
{
    // What the dark panel and the loading view cover: the content below the menu bar, which stays reachable.
    QRect rect = contentView()->rect();
    if (m_menuBar && !m_menuBar->isHidden())
        rect.setTop(m_menuBar->geometry().bottom() + 1);
    return rect;
}

void QVR_CreatorWindow::dismissDarkPanel()
{
    m_toolBarView->setEnabled(!isPerformingTessarineDownload());
    SheetLikePanelViewController* panel = m_darkPanel;
    m_darkPanel = nullptr;
    if (!panel)
        return;
    panel->setDelegate(nullptr);
    if (panel->isViewLoaded())
        panel->view()->hide();
    panel->deleteLater();
}
