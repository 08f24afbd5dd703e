#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>

#include <QGraphicsObject>
#include <QImage>
#include <QPointer>

#include "creator/canvas/QVR_Interactable.h"
#include "platform/NotificationCenter.h"

class QVR_CropHandle;
class QVR_CropPopoverButtonsView;
class QVR_CropTranslationHelperView;
class QVR_CropZoomHandle;
class QVR_MixedMediaElementContainingView;
class UndoableAction;
class UniversalPopover;
class ZERI_ContentAsset;
class ZERI_FlowModel;
class ZERI_MixedMediaObjectProxy;

// Crop mode over one element: the element's whole original picture at the element's zoom, faded outside the part
// the element shows (the crop rectangle R), with eight crop handles on R, four zoom handles on the picture's
// corners and a Crop / Cancel popover. It lies in the element's scene at z 5,000; its own coordinates start at its
// top-left corner, y down, and the picture fills it inset by 120 on every side.
//
// Entering opens one undoable change on the element's flow, so that everything crop mode writes (the smaller
// frame of an element larger than its picture, each zoom gesture's scale, then the crop itself) is one step, and
// a cancel restores the entry state with no step. The original loads on a worker; the picture painted is a copy
// scaled on a worker to the shown size. Return completes and Escape cancels (onComplete / onCancel); the
// interaction handler drives the gestures and ends crop mode. Main thread only.
class QVR_CropView : public QGraphicsObject, public QVR_Interactable {
    Q_OBJECT
public:
    static constexpr double kZValue = 5000.0;
    // The picture's opacity outside the crop rectangle.
    static constexpr double kOutsideOpacity = 0.6;
    static constexpr double kPopoverOutset = 10.0;

    // Enters crop mode over the container: opens the change, shrinks an element larger than its zoomed picture,
    // hides the container and starts loading the original. The container must hold an object with an original
    // image asset on a screen of a flow (see canCrop).
    explicit QVR_CropView(QVR_MixedMediaElementContainingView* container);
    ~QVR_CropView() override;
    static bool canCrop(const QVR_MixedMediaElementContainingView* container);

    QVR_MixedMediaElementContainingView* getMixedMediaElementContainingView() const { return m_container; }
    std::shared_ptr<ZERI_MixedMediaObjectProxy> selectedObject() const { return m_object.lock(); }
    std::optional<double> initializedZoomScale() const { return m_initializedZoomScale; }
    QRectF initializedMMObjFrame() const { return m_initializedFrame; }
    // The zoom scale shown: the object's, or the fill scale its pictures are rendered with when it has none.
    double displayedZoomScale() const { return m_zoomScale; }

    // Whether the original loaded; false while it loads and when it could not be read.
    bool isLoaded() const { return m_loaded; }
    bool originalIsReadable() const { return m_readable; }
    // Whether the picture's size is still unknown, the view laid out for a stand-in of the frame's size.
    bool isStandIn() const { return m_standIn; }
    // The crop view's rectangle in the scene, and R in its own coordinates and in the scene.
    QRectF sceneFrame() const { return QRectF(pos(), m_size); }
    QRectF cropRect() const { return m_cropRect; }
    QRectF getCurrentCropRectInScene() const { return m_cropRect.translated(pos()); }
    QSizeF getCurrentZoomOffset() const;

    // Gestures. Translations are scene units since the press, y down.
    void setIsInDragMode(bool dragging, const QPointF& scenePressPoint = {});
    bool isInDragMode() const { return m_dragging; }
    bool isTrackingBackgroundTranslation() const { return m_panning; }
    void dragMovedToPoint(const QPointF& translation);
    void startResizingFromPosition(int position);
    void resizeHandleMovedWithTranslation(const QPointF& translation);
    void endResizing();
    void startCropZoomFromPosition(int position);
    void cropZoomHandleMovedWithTranslation(const QPointF& translation);
    void endCropZoom();

    QVR_CropHandle* handleAtPosition(int position) const;
    QVR_CropZoomHandle* zoomHandleAtPosition(int position) const;
    QVR_CropTranslationHelperView* translationHelperView() const { return m_outline; }
    void hideResizeHandles(bool hide);
    // Hover while the button is down. The scene sends no hover events then, so the handler reports the drag's
    // points and the release: during a zoom drag the dragged zoom handle follows the cursor's place; at the release
    // the scene's hover runs for the cursor's place, and a pressed zoom handle then applies its own rule.
    void zoomHandleDragged(const QPointF& scenePoint);
    void mouseReleasedAt(const QPointF& scenePoint, QGraphicsObject* pressed);
    void updateHandles();

    // The popover, while shown.
    UniversalPopover* cropPopover() const;
    QVR_CropPopoverButtonsView* cropPopoverButtonsView() const;
    void displayPopover();
    void removePopover();
    // Puts the keyboard on the popover's Crop button, as a Tab would.
    void focusPopoverCropButton();

    // Crop mode waiting for its pictures: no handles, no popover, no gestures, no keys.
    void setFinishing();
    bool isFinishing() const { return m_finishing; }

    // The change opened at entry: closed as one step, or cancelled (entry state back, no step). Each does
    // nothing once the change is closed, or when another change has replaced it meanwhile.
    void endChange();
    void cancelChange();
    bool changeIsOpen() const;

    std::function<void()> onCancel;
    std::function<void()> onComplete;

    // The scaled copy painted (null until loaded), for the speed checks.
    QImage displayedPicture() const { return m_scaled; }

    // QVR_Interactable
    bool hoverable() const override { return false; }
    bool selectable() const override { return false; }
    bool rotatable() const override { return false; }

    QRectF boundingRect() const override { return QRectF(QPointF(0, 0), m_size); }
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant& value) override;

private:
    void setViewFrame(const QRectF& sceneFrame);
    void setCropRect(const QRectF& rect);
    void layOut(const QSizeF& imageSize, double zoomScale, const QSizeF& zoomOffset);
    void loadOriginal();
    void originalLoaded(const QImage& turned);
    double magnification() const;
    QSize wantedPictureSize() const;
    void rescaleIfNeeded();

    QPointer<QVR_MixedMediaElementContainingView> m_container;
    std::weak_ptr<ZERI_MixedMediaObjectProxy> m_object;
    std::shared_ptr<ZERI_ContentAsset> m_asset;
    std::weak_ptr<ZERI_FlowModel> m_flow;
    std::weak_ptr<UndoableAction> m_action;
    std::optional<double> m_initializedZoomScale;
    QRectF m_initializedFrame;
    QRectF m_initializedContainerFrame;
    int m_rotation = 0;
    double m_zoomScale = 1.0;
    QSizeF m_size;
    QRectF m_cropRect;
    bool m_standIn = false;
    bool m_loaded = false;
    bool m_readable = true;
    bool m_finishing = false;

    QImage m_original; // the original turned by the object's rotation
    QImage m_scaled;   // the copy painted
    quint64 m_rescaleGeneration = 0;
    bool m_rescaling = false;

    // Gestures.
    bool m_dragging = false;
    bool m_panning = false;
    QRectF m_dragOriginFrame;
    QPointF m_dragOriginPos;
    int m_resizingPosition = -1;
    QRectF m_originalCropRect;
    int m_zoomPosition = -1;
    QRectF m_zoomOriginalFrame;
    QRectF m_zoomOriginalCropRect;
    double m_originalZoomScale = 0.0;

    std::array<QVR_CropHandle*, 8> m_handles{};
    std::array<QVR_CropZoomHandle*, 4> m_zoomHandles{};
    QVR_CropTranslationHelperView* m_outline = nullptr;
    QPointer<UniversalPopover> m_popover;
    NotificationObservation m_scrollObservation;
    NotificationObservation m_zoomObservation;
};
