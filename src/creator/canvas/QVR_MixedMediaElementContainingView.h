#pragma once

#include <memory>

#include <QGraphicsObject>
#include <QGraphicsRectItem>
#include <QMetaType>
#include <QPointer>

#include "creator/canvas/CreatorCanvasInterfaces.h"
#include "creator/canvas/QVR_InsertMenuCommands.h"
#include "creator/canvas/QVR_Interactable.h"
#include "tessarine_data_model/ObjectUpdateNotifier.h"

class QGraphicsSceneMouseEvent;
class QAction;
class QMenu;
class QTimer;
class QVRMMObjToolbarPopoverController;
class QVR_AttributedTextMixedMediaElementView;
class QVR_CreatorSingleScreen;
class QVR_InteractableViewHandler;
class QVR_VirtualMixedMediaElementView;
class ZERI_MixedMediaObjectProxy;

// How notifications of the containers name an object without keeping it alive.
using MixedMediaObjectRef = std::weak_ptr<ZERI_MixedMediaObjectProxy>;
Q_DECLARE_METATYPE(MixedMediaObjectRef)

// The item that holds the element view of one object on a single screen, in the editor and in the player.
//
// Geometry: the item sits at the object's frame origin (placed by its single screen, which aligns it to device
// pixels) and its rectangle is (0, 0, width, height); the element view, a child, gets the same rectangle. No
// rotation transform: the model draws turned objects itself.
//
// It follows the object through the proxy's notifier: "frame", "zoomOffset" and "zoomScale" have the single
// screen place it again; "type" (an empty object set up as, say, an image) replaces the element view.
//
// Decorations: media objects carry a watermark in the bottom-right corner while edited, and in preview-only
// mode a badge in the centre (play for videos, the PDF mark for PDFs, launch for objects linking to a gallery)
// unless the element is button-sized.
//
// In preview-only mode a click (press and release inside the element) follows the object's link or asks the
// player to open its medium through a notification with the view's window as sender. Web links go to the link
// opener only for http, https and mailto addresses; links of the application's own schemes go to its URL
// handler; anything else is logged and opened nowhere.
//
// Main thread only.
class QVR_MixedMediaElementContainingView : public QGraphicsObject,
                                            public QVR_Interactable,
                                            public QVR_InsertMenuCommands<QVR_MixedMediaElementContainingView> {
    Q_OBJECT
public:
    // Notifications of preview clicks, and their user-info keys.
    static const QString kScreenLinkPressedNotification;    // "SCREENLINKPRESSED"
    static const QString kScreenLinkIDKey;                  // "SCREEN_LINK_ID_KEY"
    static const QString kScreenLinkTransitionTypeKey;      // "SCREEN_LINK_TRANSITION_TYPE_KEY"
    static const QString kFlowEmbedLinkPressedNotification; // "FLOWEMBEDLINKPRESSED"
    static const QString kFlowEmbedLinkActionKey;           // "FLOWEMBEDLINK_WEBACTIONMMOBJ" (a ModelItemRef)
    static const QString kGalleryLinkPressedNotification;   // "GALLERY_LINK_PRESSED"
    static const QString kGalleryLinkKey;                   // "GALLERY_LINK_KEY" (a MixedMediaObjectRef)
    static const QString kYoutubeVideoPressedNotification;  // "VIDEO_LINK_PRESSED_YOUTUBE"
    static const QString kYoutubeVideoKey;                  // "VIDEO_LINK_KEY_YOUTUBE" (the address as text)
    static const QString kLocalVideoPressedNotification;    // "VIDEO_LINK_PRESSED_LOCAL"
    static const QString kLocalVideoKey;                    // "VIDEO_LINK_KEY_LOCAL" (a MixedMediaObjectRef)
    static const QString kPDFPressedNotification;           // "PDF_LINK_PRESSED"
    static const QString kPDFKey;                           // "PDF_LINK_KEY" (a MixedMediaObjectRef)
    static const QString kAudioPressedNotification;         // "AUDIO_LINK_PRESSED"
    static const QString kAudioKey;                         // "AUDIO_LINK_KEY" (a MixedMediaObjectRef)

    // An element whose shown width or height is at most this many points is button-sized: it gets no badge.
    static constexpr double kButtonSizedLimit = 200.0;
    static constexpr double kWatermarkMargin = 10.0;

    // A missing object gets an empty object of type 0.
    explicit QVR_MixedMediaElementContainingView(std::shared_ptr<ZERI_MixedMediaObjectProxy> object,
                                                 QGraphicsItem* parent = nullptr);
    ~QVR_MixedMediaElementContainingView() override;

    std::shared_ptr<ZERI_MixedMediaObjectProxy> mixedMediaObject() const { return m_object; }
    void setMixedMediaObject(std::shared_ptr<ZERI_MixedMediaObjectProxy> object);

    QVR_VirtualMixedMediaElementView* mixedMediaElementView() const { return m_elementView; }
    // Takes ownership; the previous view is deleted.
    void setMixedMediaElementView(QVR_VirtualMixedMediaElementView* view);

    // Position and size in the parent's coordinates (scene units).
    QRectF frame() const { return QRectF(pos(), m_size); }
    void setFrame(const QRectF& frame);

    bool isPreviewOnly() const { return m_previewOnly; }
    void setIsPreviewOnly(bool previewOnly);

    // The single screen the container sits on, or nullptr.
    QVR_CreatorSingleScreen* parentScreen() const;

    // The watermark image of an object type ("" for none).
    static QString watermarkForMixedMediaObjectType(int type);
    QString watermarkName() const { return m_watermarkName; }
    // The badge image shown in preview ("" for none).
    QString badgeName() const { return m_badgeName; }
    QGraphicsItem* watermarkView() const;
    QGraphicsItem* playImageView() const;
    bool isFrameButtonSized() const;

    // Asks the element view to repaint.
    void setNeedsDisplay();

    // QVR_Interactable
    bool hoverable() const override { return true; }
    bool selectable() const override { return true; }
    bool translatable() const override { return true; }
    bool rotatable() const override;
    bool resizePositionIsAvailable(int position) const override;
    bool disallowsMouseEvent(const QPointF& scenePoint) const override;
    void willBeginTranslating() override;
    void didEndTranslating() override;
    void willBeginRotating() override { willBeginTranslating(); }
    void didEndRotating() override { didEndTranslating(); }
    void willBeginResizing() override { willBeginTranslating(); }
    void didEndResizing() override { didEndTranslating(); }
    void onSelectedByInteractionModel() override;
    void onDeselectedByInteractionModel() override;
    void interactionModelDidUpdateNumberOfSelectedItems(int count) override;
    void onReceivedSecondClick(const QPointF& scenePoint) override;

    // Selection feedback: while several items are selected each shows a white veil over itself.
    bool selectedByInteractionModel() const { return m_selected; }
    bool multipleItemsSelected() const { return m_multipleSelected; }
    bool isSelectionIndicatorShown() const;

    // The element's popover (nullptr until the inspector registers one). It shows while the element is the only
    // selection, hides while its text is typed into and returns a moment after the last keystroke or move.
    QVRMMObjToolbarPopoverController* popoverController() const { return m_popover.get(); }
    void showMyPopover();
    void showPopoverAfterMove();
    void revealPopover();
    void handleTextDidChange();
    static constexpr int kRevealPopoverDelayMs = 500;
    static constexpr int kShowPopoverAfterMoveDelayMs = 200;

    QRectF boundingRect() const override { return QRectF(QPointF(0, 0), m_size); }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    // The element's context menu ("Element Menu"): insert entries at the clicked point, cut, copy, paste and
    // edit gallery. Cut and copy act on the whole selection when this element is part of it, else on this
    // element alone.
    QMenu* rightClickEditingMenu();
    // The insert entries insert on the parent screen where the menu was opened.
    QVR_CreatorSingleScreen* insertionScreen() const { return m_previewOnly ? nullptr : parentScreen(); }
    QPointF insertionPoint() const { return m_rightMouseDownLocation; }
    void itemCut();
    void itemCopy();
    void itemPaste();
    void editGallery();

protected:
    void contextMenuEvent(QGraphicsSceneContextMenuEvent* event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;

private:
    class ImageItem;

    void observeObject();
    void typeChanged();
    void rebuildWatermark();
    void rebuildBadge();
    void layoutDecorations();
    void updateDecorationVisibility();
    // Follows the object's link, or opens its medium, as a click in preview does.
    void handlePreviewClick();
    void openWebLink(const QString& text);
    const void* notificationSender() const;
    // The text element view of a text object, else nullptr.
    QVR_AttributedTextMixedMediaElementView* textElementView() const;
    void dismissPopover(bool animated);
    void removeIfEmptyText();

    std::shared_ptr<ZERI_MixedMediaObjectProxy> m_object;
    ObjectUpdateNotifierObserver m_observer;
    QVR_VirtualMixedMediaElementView* m_elementView = nullptr;
    ImageItem* m_watermark = nullptr;
    ImageItem* m_badge = nullptr;
    QString m_watermarkName;
    QString m_badgeName;
    QSizeF m_size{0, 0};
    bool m_previewOnly = false;
    bool m_pressedInside = false;
    bool m_selected = false;
    bool m_multipleSelected = false;
    QGraphicsRectItem* m_selectionIndicator = nullptr;
    std::unique_ptr<QVRMMObjToolbarPopoverController> m_popover;
    QTimer* m_revealPopoverTimer = nullptr;
    QTimer* m_showAfterMoveTimer = nullptr;
    std::unique_ptr<QMenu> m_menu;
    QAction* m_pasteAction = nullptr;
    QAction* m_editGalleryAction = nullptr;
    QPointF m_rightMouseDownLocation;
};
