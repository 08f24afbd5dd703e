#pragma once

#include <functional>
#include <memory>

#include <QPointer>

#include "controls/MouseEventShieldWindow.h"
#include "inspector/popovers/QVRMMObjToolbarPopoverBase.h"

class WindowSizeLock;
class QVR_MixedMediaElementContainingView;

// The popover of an image and of every object without one of its own (video, PDF, link): change image and crop,
// link (images only) and stacking order.
class QVRImageMMObjToolbarPopoverController : public QVRMMObjToolbarPopoverBase {
    Q_OBJECT
public:
    explicit QVRImageMMObjToolbarPopoverController(bool docked);
    ~QVRImageMMObjToolbarPopoverController() override;

    bool allowsLinks() const { return m_allowsLinks; }
    void setAllowsLinks(bool allows) { m_allowsLinks = allows; }

    void setupMMObjDefaultToolbarViews() override;

    // Crop mode on the window's first selected element; an object without an original image first gets a clear
    // one of its frame's size.
    void cropButtonPressed();
    // Asks for an image file and makes it the object's picture, filling the frame, then enters crop mode.
    void changeImage();

    // Starts crop mode on the selection of `window`; false when it did not start. Inert (false) while unset.
    using CropStarter = std::function<bool(QWidget* window)>;
    static void setCropStarter(CropStarter starter);

    // The zoom scale and offset that fill `frame` with an image of `imageSize` pixels without distortion, centred;
    // nullopt for a zero width.
    struct Fit {
        double zoomScale = 1;
        QSizeF zoomOffset;
    };
    static std::optional<Fit> aspectFill(const QSizeF& imageSize, const QSizeF& frame);

    MouseEventShieldWindow* shieldWindow() const { return m_shield; }

protected:
    // The row after the dock button and its spacer: change image, crop.
    virtual QList<QWidget*> imageButtons();
    void beginCropOn(QWidget* window, QVR_MixedMediaElementContainingView* view);

    QPointer<QWidget> m_changeImageButton;
    QPointer<QWidget> m_cropButton;

private:
    void closeShield();
    void imageChosen(const QString& path);

    bool m_allowsLinks = false;
    QPointer<MouseEventShieldWindow> m_shield;
    std::unique_ptr<WindowSizeLock> m_sizeLock;
};

// The popover of a gallery: the image buttons with an edit-gallery button between them, never a link.
class QVRGalleryMMObjToolbarPopoverController : public QVRImageMMObjToolbarPopoverController {
    Q_OBJECT
public:
    explicit QVRGalleryMMObjToolbarPopoverController(bool docked);

    void setupMMObjDefaultToolbarViews() override;
    void editGalleryButtonPressed();

    // Opens the gallery editor of `window`'s canvas for the object. Inert while unset.
    using GalleryEditorOpener =
        std::function<void(QWidget* window, const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)>;
    static void setGalleryEditorOpener(GalleryEditorOpener opener);
    static bool hasGalleryEditorOpener();

protected:
    QList<QWidget*> imageButtons() override;
};
