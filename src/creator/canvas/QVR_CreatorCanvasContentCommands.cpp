// The canvas's content commands: the add-element menu, text, shapes, files and web videos on the shown screen.

#include <QDialog>
#include <QDir>
#include <QVBoxLayout>
#include <QFileInfo>
#include <QImageReader>
#include <QTimer>

#include "app/QVRAnalytics.h"
#include "controls/PanelFocusReturn.h"
#include "controls/UniversalPopover.h"
#include "controls/ViewUtils.h"
#include "creator/CreatorLogging.h"
#include "creator/addition/NewObjectPlacement.h"
#include "creator/addition/QVRContentAdditionManager.h"
#include "creator/canvas/QVR_CreatorCanvasView.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "elements/gallery/QVRGalleryEditorViewController.h"
#include "elements/text/QVR_TextHelperUtils.h"
#include "elements/video/VimeoVideoPreviewHelperClass.h"
#include "elements/video/YouTubeVideoPreviewHelper.h"
#include "foundation/Tessutils.h"
#include "platform/AlertPresenter.h"
#include "platform/FileChooser.h"
#include "storage/MixedMediaObjectStorage.h"
#include "storage/QVRDataFromURLDataItem.h"
#include "storage/QVRStreamingVideoDataItem.h"
#include "storage/ZERI_ContentURLDownloaderDataProcessor.h"
#include "strings/UFM.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/QVB_GalleryAssetManager.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_GalleryLink.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

constexpr int kAnchorDrop = 14;
constexpr int kStreamingVideoDelayMs = 200;
const QString kYouTube = QStringLiteral("YouTube");
const QString kVimeo = QStringLiteral("Vimeo");

QString& youTubeHost()
{
    static QString host = QStringLiteral("https://www.youtube.com");
    return host;
}

QString& vimeoPlayerHost()
{
    static QString host = QStringLiteral("https://player.vimeo.com");
    return host;
}

QString kindName(int kind)
{
    switch (kind) {
    case 1:
        return QStringLiteral("Video");
    case 2:
        return QStringLiteral("Image");
    case 6:
        return QStringLiteral("PDF");
    case 9:
        return QStringLiteral("Audio");
    default:
        return QStringLiteral("Unknown");
    }
}

// Where a chooser of files of a kind starts before any folder was chosen: the user's folder for such files.
FileChooserRequest::Place placeForKind(int kind)
{
    switch (kind) {
    case 1:
        return FileChooserRequest::Place::Movies;
    case 2:
        return FileChooserRequest::Place::Pictures;
    case 6:
        return FileChooserRequest::Place::Documents;
    case 9:
        return FileChooserRequest::Place::Music;
    default:
        return FileChooserRequest::Place::Home;
    }
}

QStringList extensionsForKind(int kind)
{
    switch (kind) {
    case 1:
        return {QStringLiteral("mov"), QStringLiteral("mp4"), QStringLiteral("m4v"), QStringLiteral("mkv"),
                QStringLiteral("webm")};
    case 2: {
        QStringList formats;
        for (const QByteArray& format : QImageReader::supportedImageFormats())
            formats.append(QString::fromLatin1(format));
        return formats;
    }
    case 6:
        return {QStringLiteral("pdf")};
    case 9:
        return {QStringLiteral("mp3")};
    default:
        return {};
    }
}

// Marks a document busy for an addition made here (a web video, a new gallery) until end() or its last holder goes.
struct BusyMark {
    explicit BusyMark(const ZERI_TessarineModel* document)
        : m_document(document)
    {
    }
    ~BusyMark() { end(); }
    void end()
    {
        if (!m_ended) {
            m_ended = true;
            QVRContentAdditionManager::endOtherAddition(m_document);
        }
    }

private:
    const ZERI_TessarineModel* m_document;
    bool m_ended = false;
};

std::shared_ptr<BusyMark> markBusy(const std::shared_ptr<ZERI_FlowScreenModel>& screen)
{
    const auto document = screen ? screen->tessarineModel() : nullptr;
    if (!document || !QVRContentAdditionManager::beginOtherAddition(document.get()))
        return nullptr;
    return std::make_shared<BusyMark>(document.get());
}

} // namespace

void QVR_CreatorCanvasView::setEmbedHostsForTesting(const QString& youTube, const QString& vimeoPlayer)
{
    youTubeHost() = youTube.isEmpty() ? QStringLiteral("https://www.youtube.com") : youTube;
    vimeoPlayerHost() = vimeoPlayer.isEmpty() ? QStringLiteral("https://player.vimeo.com") : vimeoPlayer;
}

void QVR_CreatorCanvasView::presentInPopover(ViewController* controller, const QRect& rect, int allowed, int preferred,
                                             int style)
{
    dismissContentPopover();
    QWidget* content = controller->view();
    auto* popover = new UniversalPopover(style, Qt::white, content);
    controller->setParent(popover);
    popover->setPreferedPopoverArrowPosition(preferred);
    // The menu fills the bubble, at its full height.
    popover->setSideCaps(0, 0, 0);
    popover->setMinHeightForDisplayedPopover(content->height());
    m_contentPopover = popover;
    QPointer<QVR_CreatorCanvasView> self(this);
    MouseEventShieldWindow* shield = presentShield([self] {
        if (self)
            self->dismissContentPopover();
    });
    QWidget* host = shield ? static_cast<QWidget*>(shield->closeOnClickView()) : window();
    if (shield)
        host->resize(shield->size());
    // While a panel is up nothing stays selected.
    if (auto* handler = QVR_InteractableViewHandler::handlerForBoard(theArtBoard()))
        handler->deselectAll();
    const QPoint anchor = host->mapFrom(window(), rect.topLeft()) + QPoint(0, kAnchorDrop);
    popover->presentPopoverInView(host, allowed, QRectF(anchor, rect.size()), true);
}

void QVR_CreatorCanvasView::dismissContentPopover()
{
    dismissPopoverOverShield(m_contentPopover);
}

void QVR_CreatorCanvasView::beginAddElementsToCurrentScreenFromRect(const QRect& rect, int allowedArrowPositions,
                                                                    int preferredArrowPosition, int style,
                                                                    std::optional<QPointF> suggestedItemCenter)
{
    if (isAddingContent())
        return;
    m_insertionSuggestedCenter = suggestedItemCenter;
    auto* menu = new QVR_AddElementMenuViewController;
    menu->setDelegate(this);
    presentInPopover(menu, rect, allowedArrowPositions, preferredArrowPosition, style);
}

void QVR_CreatorCanvasView::directlyAddElementOfType(int kind, std::optional<QPointF> center)
{
    m_insertionSuggestedCenter = center;
    addElementMenuSelectionMadeWithType(kind);
}

void QVR_CreatorCanvasView::addElementMenuSelectionMadeWithType(int kind)
{
    dismissContentPopover();
    if (isAddingContent())
        return;
    switch (kind) {
    case 1:
    case 2:
    case 6:
    case 9:
        addElementFromFileWithType(kind);
        break;
    case 4:
        qCInfo(lcCreator) << "Wants to add a text object";
        addTextObject();
        break;
    case 7:
        addShape();
        break;
    case 8:
        beginYoutubeVideoSelection();
        break;
    case 3:
        addGallery();
        break;
    default:
        break;
    }
}

namespace {

std::shared_ptr<ZERI_FlowScreenModel> shownScreen(const QVR_CreatorCanvasView* canvas)
{
    QVR_SingleScreenArtBoardView* board = canvas->theArtBoard();
    return board && board->singleScreen() ? board->singleScreen()->flowScreenModel() : nullptr;
}

void selectOnShownScreen(const QVR_CreatorCanvasView* canvas,
                         const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& objects)
{
    QVR_SingleScreenArtBoardView* board = canvas->theArtBoard();
    if (!board || !board->singleScreen() || objects.empty())
        return;
    board->singleScreen()->setSelectionsForMixedMediaObjects(objects);
    // The keys go to what was added (typing into a new text, the arrows nudging), and the focus frame says so,
    // rather than staying on the button or menu that added it.
    if (QWidget* view = board->theScrollView())
        PanelFocusReturn::giveKeyboardTo(view);
}

} // namespace

void QVR_CreatorCanvasView::addTextObject()
{
    const auto screen = shownScreen(this);
    const auto flow = screen ? screen->undoResponder() : nullptr;
    if (!flow || isAddingContent())
        return;
    QVRAnalytics::logEvent(QStringLiteral("Added Element"), {{QStringLiteral("Type"), QStringLiteral("Text")}},
                           screen->tessarineModel());
    flow->beginUndoableChangesPagingToScreen(screen);
    if (const auto action = flow->currentUndoableAction())
        action->setActionDescription(UFM::UNDO_MANAGER_ADD_OBJECT_TAG());
    auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
    QRectF frame(20, 20, 320, 70);
    if (m_insertionSuggestedCenter)
        frame.moveCenter(*m_insertionSuggestedCenter);
    (*object)->setFrame(NewObjectPlacement::placedFrame(frame, *screen, !m_insertionSuggestedCenter));
    screen->addMixedMediaObject(object);
    if (auto text = object->as<ZERI_MMObject_Text>()) {
        text->setAttributedString(QVR_TextHelperUtils::defaultAttributedText());
        text->setIsThemeText(true);
    }
    screen->updateNotifier().sendUpdateNotificationsIfNeeded();
    flow->endUndoableChanges();
    selectOnShownScreen(this, {object});
}

void QVR_CreatorCanvasView::addShape()
{
    if (isAddingContent())
        return;
    auto* menu = new QVR_AddShapeMenuViewController;
    menu->setDelegate(this);
    // The chooser is left with Escape as with its close button.
    auto* creator = qobject_cast<QVR_CreatorWindow*>(window());
    if (presentInDarkPanel(menu, true) && creator && creator->sheetLikeViewController())
        creator->sheetLikeViewController()->setClosesOnEscape(true);
}

bool QVR_CreatorCanvasView::presentInDarkPanel(NavigationControllerFriendlyViewController* page, bool withCloseButton)
{
    auto* creator = qobject_cast<QVR_CreatorWindow*>(window());
    if (!creator) {
        delete page;
        return false;
    }
    creator->presentDarkPanelWithRootViewController(page, withCloseButton, false);
    return true;
}

void QVR_CreatorCanvasView::dismissDarkPanel()
{
    if (auto* creator = qobject_cast<QVR_CreatorWindow*>(window()))
        creator->dismissDarkPanel();
}

void QVR_CreatorCanvasView::shapeChosen(int shapeType)
{
    addShapeToCurrentScreen(shapeType);
}

void QVR_CreatorCanvasView::addShapeToCurrentScreen(int shapeType)
{
    const auto screen = shownScreen(this);
    const auto flow = screen ? screen->undoResponder() : nullptr;
    if (!flow || isAddingContent()) {
        dismissDarkPanel();
        return;
    }
    QVRAnalytics::logEvent(QStringLiteral("Added Element"), {{QStringLiteral("Type"), QStringLiteral("Shape")}},
                           screen->tessarineModel());
    flow->beginUndoableChangesPagingToScreen(screen);
    if (const auto action = flow->currentUndoableAction())
        action->setActionDescription(UFM::UNDO_MANAGER_ADD_OBJECT_TAG());
    auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
    QRectF frame(10, 10, 300, 300);
    if (m_insertionSuggestedCenter)
        frame.moveCenter(*m_insertionSuggestedCenter);
    (*object)->setFrame(NewObjectPlacement::placedFrame(frame, *screen, !m_insertionSuggestedCenter));
    if (auto shape = object->as<ZERI_MMObject_Shape>()) {
        shape->setShapeType(shapeType);
        QColor colour = Tessutils::tessarineBlue();
        colour.setAlphaF(0.8f);
        shape->setColor(colour);
    }
    screen->addMixedMediaObject(object);
    screen->updateNotifier().sendUpdateNotificationsIfNeeded();
    flow->endUndoableChanges();
    dismissDarkPanel();
    selectOnShownScreen(this, {object});
}

void QVR_CreatorCanvasView::addElementFromFileWithType(int kind)
{
    if (isAddingContent() || !shownScreen(this))
        return;
    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::OpenFiles;
    request.allowedExtensions = extensionsForKind(kind);
    request.place = placeForKind(kind);
    const QUrl last = Tessutils::lastOpenedDirectoryURL();
    if (last.isLocalFile())
        request.directory = last.toLocalFile();
    // The window keeps its size while the chooser is up; a click beside it is caught.
    presentShield({});
    QPointer<QVR_CreatorCanvasView> self(this);
    FileChooser::shared().show(request, window(), [self, kind](const FileChooserResponse& response) {
        if (!self)
            return;
        self->dismissShield();
        const auto screen = shownScreen(self);
        if (!response.accepted() || !screen || self->isAddingContent())
            return;
        Tessutils::setLastOpenedDirectoryURL(QUrl::fromLocalFile(QFileInfo(response.paths.front()).absolutePath()));
        const QString type =
            response.paths.size() == 1 ? kindName(kind) : QString::number(qulonglong(response.paths.size()));
        QVRAnalytics::logEvent(QStringLiteral("Added Element"), {{QStringLiteral("Type"), type}},
                               screen->tessarineModel());
        auto* toolbar = QVR_CreatorToolBarView::toolbarForWindow(self->window());
        if (toolbar)
            toolbar->startProgressIndicator();
        QList<QUrl> urls;
        for (const QString& path : response.paths)
            urls.append(QUrl::fromLocalFile(path));
        // A manager of its own: the first file it places is centred on the suggestion.
        auto* manager = new QVRContentAdditionManager(self);
        manager->setHostView(self);
        manager->setProposedItemCenter(self->m_insertionSuggestedCenter);
        QPointer<QVRContentAdditionManager> guardedManager(manager);
        QPointer<QVR_CreatorToolBarView> guardedToolbar(toolbar);
        manager->addObjectsFromFileURLs(
            urls, screen, {},
            [self, guardedManager, guardedToolbar](const QVRContentAdditionManager::Objects& added, const Error&) {
                if (guardedToolbar)
                    guardedToolbar->stopProgressIndicator();
                if (self)
                    selectOnShownScreen(self, added);
                if (guardedManager)
                    guardedManager->deleteLater();
            });
    });
}

void QVR_CreatorCanvasView::beginYoutubeVideoSelection()
{
    if (isAddingContent())
        return;
    auto* dialog = new QVR_AddStreamingVideoViewController;
    dialog->setDelegate(this);
    presentInDarkPanel(dialog, true);
}

void QVR_CreatorCanvasView::addYoutubeVideoViewControllerSelectionCompletedWithVideoURL(const QString& url)
{
    dismissDarkPanel();
    QPointer<QVR_CreatorCanvasView> self(this);
    QTimer::singleShot(kStreamingVideoDelayMs, this, [self, url] {
        if (self)
            self->addStreamingVideoToCurrentScreen(url, youTubeHost() + QStringLiteral("/embed/%1?autoplay=1"),
                                                   kYouTube);
    });
}

void QVR_CreatorCanvasView::addVimeoVideoViewControllerSelectionCompletedWithVideoURL(const QString& url)
{
    dismissDarkPanel();
    QPointer<QVR_CreatorCanvasView> self(this);
    QTimer::singleShot(kStreamingVideoDelayMs, this, [self, url] {
        if (self)
            self->addStreamingVideoToCurrentScreen(url, vimeoPlayerHost() + QStringLiteral("/video/%1#at=1"), kVimeo);
    });
}

void QVR_CreatorCanvasView::addStreamingVideoToCurrentScreen(const QString& urlText, const QString& embedFormat,
                                                             const QString& source)
{
    const auto screen = shownScreen(this);
    if (!screen || isAddingContent())
        return;
    QString videoId;
    QSizeF size;
    if (source == kYouTube) {
        videoId = YouTubeVideoPreviewHelper::videoIdFromURLString(urlText);
        size = YouTubeVideoPreviewHelper::previewImageSize();
    } else if (source == kVimeo) {
        videoId = VimeoVideoPreviewHelperClass::videoIdFromURLString(urlText);
        size = VimeoVideoPreviewHelperClass::previewImageSize();
    }
    if (videoId.isEmpty()) {
        qCWarning(lcCreator) << "no web video id in" << urlText << "; nothing added";
        return;
    }
    const auto busy = markBusy(screen);
    if (!busy)
        return;
    QVRAnalytics::logEvent(QStringLiteral("Added Element"), {{QStringLiteral("Type"), source}},
                           screen->tessarineModel());
    const QString segment = QString::fromLatin1(QUrl::toPercentEncoding(videoId));
    const QUrl embed(embedFormat.arg(segment));
    QPointer<QVR_CreatorCanvasView> self(this);
    std::weak_ptr<ZERI_FlowScreenModel> weakScreen = screen;
    const std::optional<QPointF> center = m_insertionSuggestedCenter;
    auto addWithThumbnail = [self, weakScreen, videoId, embed, size, center, busy](const QString& thumbnail) {
        const auto target = weakScreen.lock();
        if (!self || !target) {
            busy->end();
            return;
        }
        auto item = std::make_shared<QVRStreamingVideoDataItem>();
        item->setContentId(videoId);
        item->setYoutubeURL(embed);
        item->setThumbnailUrl(QUrl(thumbnail));
        auto processor = std::make_shared<ZERI_ContentURLDownloaderDataProcessor>();
        item->setProcessor(processor);
        self->m_streamingProcessor = processor;
        processor->processDataItem(item, [self, weakScreen, item, size, center, busy](const Error& error) {
            const auto screenNow = weakScreen.lock();
            if (!self || !screenNow) {
                busy->end();
                return;
            }
            self->m_streamingProcessor = nullptr;
            const auto flow = screenNow->undoResponder();
            if (!error.isNull() || !flow) {
                busy->end();
                AlertRequest alert;
                alert.style = AlertRequest::Style::Warning;
                alert.messageText = UFM::ERROR_TEXT();
                alert.informativeText = error.message;
                AlertPresenter::shared().show(alert, self->window(), {});
                return;
            }
            // One undo step that pages back, closed once the video and its picture are in.
            flow->beginUndoableChangesPagingToScreen(screenNow);
            if (const auto action = flow->currentUndoableAction())
                action->setActionDescription(UFM::UNDO_MANAGER_ADD_MEDIA_TAG());
            auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Video);
            QRectF frame(QPointF(10, 10), size);
            if (center)
                frame.moveCenter(*center);
            (*object)->setFrame(NewObjectPlacement::placedFrame(frame, *screenNow, !center));
            screenNow->addMixedMediaObject(object);
            MixedMediaObjectStorage::setupUsingDataItem(
                object, item, true, [self, weakScreen, object, flow, busy](const Error& setupError) {
                    const auto finalScreen = weakScreen.lock();
                    if (!setupError.isNull() || !finalScreen) {
                        if (finalScreen)
                            finalScreen->removeMixedMediaObject(object);
                        flow->cancelUndoableChanges();
                        busy->end();
                        qCWarning(lcCreator) << "the web video could not be added:" << setupError.message;
                        return;
                    }
                    const auto finish = [self, weakScreen, object, flow, busy](const Error&) {
                        flow->endUndoableChanges();
                        busy->end();
                        if (const auto s = weakScreen.lock())
                            s->updateNotifier().sendUpdateNotificationsIfNeeded();
                        if (self)
                            selectOnShownScreen(self, {object});
                    };
                    if (!MixedMediaObjectStorage::makeAndSetCroppedImageAssetFromOriginalImageAsset(object, finish))
                        finish(Error());
                });
        });
    };
    if (source == kYouTube)
        YouTubeVideoPreviewHelper::previewImageURLStringFromVideoId(videoId, addWithThumbnail);
    else
        VimeoVideoPreviewHelperClass::previewImageURLStringFromVideoId(videoId, addWithThumbnail);
}

QVRGalleryEditorViewController* QVR_CreatorCanvasView::galleryEditor() const
{
    return m_galleryDialog ? m_galleryDialog->findChild<QVRGalleryEditorViewController*>() : nullptr;
}

void QVR_CreatorCanvasView::addGallery()
{
    const auto screen = shownScreen(this);
    if (!screen || isAddingContent())
        return;
    QVRAnalytics::logEvent(QStringLiteral("Added Element"), {{QStringLiteral("Type"), QStringLiteral("Gallery")}},
                           screen->tessarineModel());
    // Only a gallery is remembered as being edited: a new one forgets any earlier one.
    m_galleryBeingEdited.reset();
    showGalleryEditor(nullptr);
}

void QVR_CreatorCanvasView::editGalleryObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    if (!object || object->type() != ZERI_MixedMediaObject::Gallery || isAddingContent())
        return;
    m_galleryBeingEdited = object;
    QVRAnalytics::logEvent(QStringLiteral("QVRAnalyticsEvent_GalleryEditBegan"),
                           {{QStringLiteral("Type"), QStringLiteral("Gallery")}}, (*object)->tessarineModel());
    showGalleryEditor(object);
}

void QVR_CreatorCanvasView::showGalleryEditor(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& gallery)
{
    const auto screen = shownScreen(this);
    if (!screen)
        return;
    dismissContentPopover();
    if (auto* handler = QVR_InteractableViewHandler::handlerForBoard(theArtBoard()))
        handler->deselectAll();
    if (m_galleryDialog)
        m_galleryDialog->deleteLater();
    auto* dialog = new QDialog(window());
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // Titled as the editor heads itself.
    dialog->setWindowTitle(UFM::SAYS_EDIT_GALLERY());
    auto* editor = new QVRGalleryEditorViewController(gallery, screen, dialog);
    editor->setDelegate(this);
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(editor->view());
    // Closing the sheet any other way is a cancel.
    QPointer<QVRGalleryEditorViewController> guarded(editor);
    connect(dialog, &QDialog::rejected, editor, [guarded] {
        if (guarded)
            guarded->cancelButtonPressed();
    });
    m_galleryDialog = dialog;
    dialog->resize(760, 560);
    // Placed once shown: its frame is known then, and a native window made ahead of the show would keep the
    // window system from handing the sheet's own dialogs the focus.
    dialog->show();
    ViewUtils::placeAsSheet(dialog, window());
}

void QVR_CreatorCanvasView::galleryEditorEndedEditing(bool cancelled,
                                                      const std::shared_ptr<ZERI_MixedMediaObjectProxy>& workingCopy)
{
    const auto edited = m_galleryBeingEdited.lock();
    m_galleryBeingEdited.reset();
    if (QPointer<QDialog> dialog = m_galleryDialog) {
        m_galleryDialog = nullptr;
        dialog->hide();
        dialog->deleteLater();
    }
    const auto screen = shownScreen(this);
    QVRAnalytics::logEvent(QStringLiteral("QVRAnalyticsEvent_GalleryEditEnded"),
                           {{QStringLiteral("Type"),
                             cancelled ? QStringLiteral("Gallery Edit Canceled") : QStringLiteral("Gallery Edited")}},
                           screen ? screen->tessarineModel() : nullptr);
    // The gallery edited is selected again, with the keyboard, rather than the keyboard falling to the window's
    // first control as the sheet goes.
    if (edited && screen && (*edited)->parentFlowScreenModel() == screen)
        selectOnShownScreen(this, {edited});
    if (cancelled || !workingCopy)
        return;
    if (edited) {
        QVRGalleryEditorViewController::applyEditedGallery(edited, workingCopy);
    } else {
        placeNewGallery(workingCopy);
    }
    if (screen)
        if (const auto document = screen->tessarineModel())
            document->setNeedsSaveToFile();
}

void QVR_CreatorCanvasView::placeNewGallery(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& gallery)
{
    const auto screen = shownScreen(this);
    const auto flow = screen ? screen->undoResponder() : nullptr;
    const auto manager = (*gallery)->existingGalleryAssetManager();
    if (!flow || !manager || manager->fullsizedImageAssetsArray().empty()) {
        qCWarning(lcCreator) << "a gallery without images is not added";
        return;
    }
    const auto busy = markBusy(screen);
    if (!busy) {
        qCWarning(lcCreator) << "content is being added to the document; the gallery is not added";
        return;
    }
    // One undo step that pages back, closed once the picture is in; the gallery joins the screen at once.
    flow->beginUndoableChangesPagingToScreen(screen);
    if (const auto action = flow->currentUndoableAction())
        action->setActionDescription(UFM::UNDO_MANAGER_CREATE_GALLERY_TAG());
    if (!std::dynamic_pointer_cast<ZERI_MMAction_GalleryLink>((*gallery)->action()))
        (*gallery)->setAction(ZERI_MMAction_GalleryLink::create());
    const bool defaulted = !m_insertionSuggestedCenter;
    const QSizeF screenSize = screen->screenSize();
    const QPointF center =
        m_insertionSuggestedCenter.value_or(QPointF(screenSize.width() / 2, screenSize.height() / 2));
    QRectF frame = (*gallery)->frame();
    frame.moveCenter(center);
    (*gallery)->setFrame(frame);
    (*gallery)->setRotation(0);
    (*gallery)->setZoomOffset(QSizeF(0, 0));
    (*gallery)->setZoomScale(1.0);
    screen->addMixedMediaObject(gallery);
    auto item = std::make_shared<QVRDataFromURLDataItem>();
    item->setType(QVRDataItem::Image);
    item->setContentUrl(manager->fullsizedImageAssetsArray().front()->externalURL());
    QPointer<QVR_CreatorCanvasView> self(this);
    std::weak_ptr<ZERI_FlowScreenModel> weakScreen = screen;
    MixedMediaObjectStorage::setupUsingDataItem(
        gallery, item, [self, weakScreen, gallery, flow, center, defaulted, screenSize, busy](const Error& error) {
            const auto target = weakScreen.lock();
            if (!error.isNull() || !target) {
                if (target)
                    target->removeMixedMediaObject(gallery);
                flow->cancelUndoableChanges();
                busy->end();
                qCWarning(lcCreator) << "the gallery's picture could not be set up:" << error.message;
                return;
            }
            QSizeF size = MixedMediaObjectStorage::originalImageSize(*gallery->object());
            if (!(size.width() > 0) || !(size.height() > 0))
                size = QSizeF(300, 300);
            QRectF r(QPointF(), size);
            r.moveCenter(center);
            double scale = 1.0;
            if (r.width() > screenSize.width()) {
                scale = screenSize.width() / r.width();
                const QPointF c = r.center();
                r.setSize(QSizeF(screenSize.width(), r.height() * scale));
                r.moveCenter(c);
            }
            if (r.height() > screenSize.height()) {
                const QPointF c = r.center();
                r.setSize(QSizeF(r.width() * screenSize.height() / r.height(), screenSize.height()));
                r.moveCenter(c);
                scale = screenSize.height() / size.height();
            }
            (*gallery)->setZoomScale(scale);
            if (defaulted)
                r.moveTopLeft(QPointF(20, 20));
            // A gallery fitted to the screen's height and put 20 points down would run past its bottom edge.
            (*gallery)->setFrame(NewObjectPlacement::placedFrame(r, *target, defaulted, {gallery}));
            const auto finish = [self, weakScreen, gallery, flow, busy](const Error&) {
                flow->endUndoableChanges();
                busy->end();
                if (const auto s = weakScreen.lock())
                    s->updateNotifier().sendUpdateNotificationsIfNeeded();
                if (self)
                    selectOnShownScreen(self, {gallery});
            };
            if (!MixedMediaObjectStorage::makeAndSetCroppedImageAssetFromOriginalImageAsset(gallery, finish))
                finish(Error());
        });
}
