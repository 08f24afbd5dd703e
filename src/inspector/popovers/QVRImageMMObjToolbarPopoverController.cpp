#include "inspector/popovers/QVRImageMMObjToolbarPopoverController.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QLoggingCategory>

#include "controls/MouseEventShieldWindow.h"
#include "creator/CreatorLogging.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "creator/window/WindowSizeLock.h"
#include "foundation/Tessutils.h"
#include "platform/AlertPresenter.h"
#include "platform/FileChooser.h"
#include "storage/MixedMediaObjectStorage.h"
#include "storage/QVRCustomDataDataItem.h"
#include "storage/QVRDataFromURLDataItem.h"
#include "strings/UFM.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

namespace {
QVRImageMMObjToolbarPopoverController::CropStarter& cropStarter()
{
    static QVRImageMMObjToolbarPopoverController::CropStarter starter;
    return starter;
}

QVRGalleryMMObjToolbarPopoverController::GalleryEditorOpener& galleryEditorOpener()
{
    static QVRGalleryMMObjToolbarPopoverController::GalleryEditorOpener opener;
    return opener;
}

QStringList imageExtensions()
{
    QStringList extensions;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        extensions << QString::fromLatin1(format).toLower();
    extensions.removeDuplicates();
    return extensions;
}

void resetImageGeometry(ZERI_MixedMediaObject& object)
{
    object.setRotation(0);
    object.setZoomOffset(QSizeF(0, 0));
    object.setZoomScale(1.0);
}
} // namespace

QVRImageMMObjToolbarPopoverController::QVRImageMMObjToolbarPopoverController(bool docked)
    : QVRMMObjToolbarPopoverBase(docked)
{
}

QVRImageMMObjToolbarPopoverController::~QVRImageMMObjToolbarPopoverController()
{
    closeShield();
}

void QVRImageMMObjToolbarPopoverController::setCropStarter(CropStarter starter)
{
    cropStarter() = std::move(starter);
}

QList<QWidget*> QVRImageMMObjToolbarPopoverController::imageButtons()
{
    return {m_changeImageButton, m_cropButton};
}

void QVRImageMMObjToolbarPopoverController::setupMMObjDefaultToolbarViews()
{
    QVRMMObjToolbarPopoverBase::setupMMObjDefaultToolbarViews();
    if (!m_dockButton || !m_linkButton || !m_forwardButton || !m_backButton)
        return;
    const bool docked = isDocked();
    auto* change = toolBarButtonWithImageNamed(docked ? QStringLiteral("docked_popup_image_btn")
                                                      : QStringLiteral("popup_image_btn"),
                                               docked ? QString() : UFM::CHANGE_IMAGE_TEXT());
    change->setToolTip(UFM::CHANGE_IMAGE_TEXT());
    setTag(change, ChangeImageTag);
    connect(change, &QAbstractButton::clicked, this, &QVRImageMMObjToolbarPopoverController::changeImage);
    auto* crop =
        toolBarButtonWithImageNamed(docked ? QStringLiteral("docked_cropped_btn") : QStringLiteral("popup_crop_btn"),
                                    docked ? QString() : UFM::CROP_TEXT());
    crop->setToolTip(UFM::CROP_TEXT());
    setTag(crop, CropTag);
    connect(crop, &QAbstractButton::clicked, this, &QVRImageMMObjToolbarPopoverController::cropButtonPressed);
    m_changeImageButton = change;
    m_cropButton = crop;

    QList<QWidget*> row{m_dockButton, spacerView(5)};
    row << imageButtons();
    if (m_allowsLinks)
        row << m_linkButton;
    row << m_forwardButton << m_backButton;
    setToolbarViews(placedForDock(row));
}

std::optional<QVRImageMMObjToolbarPopoverController::Fit>
QVRImageMMObjToolbarPopoverController::aspectFill(const QSizeF& imageSize, const QSizeF& frame)
{
    const double w = imageSize.width();
    const double h = imageSize.height();
    const double W = frame.width();
    const double H = frame.height();
    if (!(W > 0) || !(w > 0))
        return std::nullopt;
    const double ratio = h / w;
    Fit fit;
    double scaledWidth = 0;
    if (ratio > H / W) {
        // Relatively taller: the width fills, the height overflows evenly.
        scaledWidth = W;
        fit.zoomOffset = QSizeF(0, (ratio * W - H) / 2);
    } else {
        scaledWidth = H / ratio;
        fit.zoomOffset = QSizeF((H / ratio - W) / 2, 0);
    }
    fit.zoomScale = scaledWidth / w;
    return fit;
}

void QVRImageMMObjToolbarPopoverController::cropButtonPressed()
{
    auto* window = qobject_cast<QVR_CreatorWindow*>(hostWindow());
    if (!window)
        return;
    const std::vector<QVR_MixedMediaElementContainingView*> selected = window->selectedItemView()->selectedViews();
    if (selected.empty() || !selected.front())
        return;
    // The first selected view, captured once: the selection may change while the image is set up.
    QPointer<QVR_MixedMediaElementContainingView> view = selected.front();
    const auto object = view->mixedMediaObject();
    if (!object || !object->object())
        return;
    if (!MixedMediaObjectStorage::originalImageSize(*object->object()).isEmpty()) {
        beginCropOn(window, view);
        return;
    }
    // No picture to crop yet: a clear one of the frame's size, as one undoable change.
    const auto screen = (*object)->parentFlowScreenModel();
    const auto flow = screen ? screen->nearestParentItemOfClass<ZERI_FlowModel>() : nullptr;
    if (!flow)
        return;
    flow->beginUndoableChangesPagingToScreen(screen);
    resetImageGeometry(*object->object());
    QPointer<QVRImageMMObjToolbarPopoverController> self(this);
    QPointer<QWidget> host(window);
    MixedMediaObjectStorage::setupUsingDataItem(
        object, QVRCustomDataDataItem::clearImageDataItemWithSize((*object)->frame().size()),
        [self, host, view, flow](const Error& error) {
            if (!error.isNull()) {
                qCWarning(lcCreator) << "could not give the element a picture to crop:" << error.message;
                flow->cancelUndoableChanges();
                return;
            }
            flow->endUndoableChanges();
            if (self && host && view)
                self->beginCropOn(host, view);
        });
    // The set-up names the change as an addition; this one clears the element's media.
    if (const auto action = flow->currentUndoableAction())
        action->setActionDescription(UFM::UNDO_MANAGER_CLEAR_MEDIA_TAG());
}

void QVRImageMMObjToolbarPopoverController::beginCropOn(QWidget* window, QVR_MixedMediaElementContainingView* view)
{
    if (!cropStarter() || !cropStarter()(window))
        return;
    // Crop mode shows the element itself; the container hides only once the crop has begun.
    if (view)
        view->setVisible(false);
}

void QVRImageMMObjToolbarPopoverController::closeShield()
{
    if (m_shield) {
        m_shield->close();
        m_shield->deleteLater();
    }
    m_shield = nullptr;
    m_sizeLock.reset();
}

void QVRImageMMObjToolbarPopoverController::changeImage()
{
    const auto object = mmobj();
    QWidget* host = hostWindow();
    if (!object || !object->object() || !host)
        return;
    closeShield();
    m_shield = MouseEventShieldWindow::sheildWindowForWindow(host);
    if (m_shield) {
        m_shield->setBackgroundColor(QColor::fromRgbF(0, 0, 0, 0.01f));
        m_shield->show();
    }
    m_sizeLock = std::make_unique<WindowSizeLock>(host);

    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::OpenFile;
    request.title = UFM::CHANGE_IMAGE_TEXT();
    request.place = FileChooserRequest::Place::Pictures;
    const QUrl last = Tessutils::lastOpenedDirectoryURL();
    if (last.isLocalFile())
        request.directory = last.toLocalFile();
    request.allowedExtensions = imageExtensions();
    QPointer<QVRImageMMObjToolbarPopoverController> self(this);
    FileChooser::shared().show(request, host, [self](const FileChooserResponse& response) {
        if (!self)
            return;
        self->closeShield();
        if (response.accepted())
            self->imageChosen(response.paths.front());
    });
}

void QVRImageMMObjToolbarPopoverController::imageChosen(const QString& path)
{
    const auto object = mmobj();
    const auto screen = objectScreen();
    const auto flow = objectFlow();
    if (!object || !flow)
        return;
    Tessutils::setLastOpenedDirectoryURL(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
    flow->beginUndoableChangesPagingToScreen(screen);
    auto item = std::make_shared<QVRDataFromURLDataItem>();
    item->setType(QVRDataItem::Image);
    item->setContentUrl(QUrl::fromLocalFile(path));
    resetImageGeometry(*object->object());
    QPointer<QVRImageMMObjToolbarPopoverController> self(this);
    QPointer<QWidget> host(hostWindow());
    MixedMediaObjectStorage::setupUsingDataItem(object, item, [self, host, object, flow](const Error& error) {
        if (!error.isNull()) {
            // The object keeps its picture and geometry: the change is undone as if never made.
            flow->cancelUndoableChanges();
            AlertRequest alert;
            alert.style = AlertRequest::Style::Warning;
            alert.messageText = UFM::CHANGE_IMAGE_TEXT();
            alert.informativeText = error.message;
            AlertPresenter::shared().show(alert, host, [](const AlertResponse&) {});
            return;
        }
        const auto fit =
            aspectFill(MixedMediaObjectStorage::originalImageSize(*object->object()), (*object)->frame().size());
        if (!fit) {
            qCWarning(lcCreator) << "maths aren't safe!";
            flow->cancelUndoableChanges();
            return;
        }
        (*object)->setZoomScale(fit->zoomScale);
        (*object)->setZoomOffset(fit->zoomOffset);
        auto finish = [self, flow] {
            flow->endUndoableChanges();
            if (self)
                self->cropButtonPressed();
        };
        if (!MixedMediaObjectStorage::makeAndSetCroppedImageAssetFromOriginalImageAsset(
                object, [finish](const Error&) { finish(); }))
            finish();
    });
}

QVRGalleryMMObjToolbarPopoverController::QVRGalleryMMObjToolbarPopoverController(bool docked)
    : QVRImageMMObjToolbarPopoverController(docked)
{
    setAllowsLinks(false);
}

void QVRGalleryMMObjToolbarPopoverController::setGalleryEditorOpener(GalleryEditorOpener opener)
{
    galleryEditorOpener() = std::move(opener);
}

bool QVRGalleryMMObjToolbarPopoverController::hasGalleryEditorOpener()
{
    return bool(galleryEditorOpener());
}

void QVRGalleryMMObjToolbarPopoverController::setupMMObjDefaultToolbarViews()
{
    QVRImageMMObjToolbarPopoverController::setupMMObjDefaultToolbarViews();
    // Without the shared buttons the image row is not built: the shared row stays. A gallery takes no link, so its
    // link button is gone once the row is built.
    if (!m_dockButton || !m_changeImageButton || !m_cropButton || !m_forwardButton || !m_backButton)
        qCWarning(lcCreator) << "Something went wrong setting up the buttons!";
}

QList<QWidget*> QVRGalleryMMObjToolbarPopoverController::imageButtons()
{
    const bool docked = isDocked();
    auto* edit = toolBarButtonWithImageNamed(docked ? QStringLiteral("docked_popup_gallery_btn")
                                                    : QStringLiteral("popup_gallery_btn"),
                                             docked ? QString() : UFM::EDIT_GALLERY());
    edit->setToolTip(UFM::EDIT_GALLERY_BUTTON_TOOL_TIP());
    connect(edit, &QAbstractButton::clicked, this, &QVRGalleryMMObjToolbarPopoverController::editGalleryButtonPressed);
    return {m_changeImageButton, edit, m_cropButton};
}

void QVRGalleryMMObjToolbarPopoverController::editGalleryButtonPressed()
{
    auto* window = qobject_cast<QVR_CreatorWindow*>(hostWindow());
    const auto object = mmobj();
    if (window && object && galleryEditorOpener())
        galleryEditorOpener()(window, object);
}
