#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QColor>
#include <QAction>
#include <QGraphicsObject>
#include <QRectF>

#include "creator/canvas/QVR_InsertMenuCommands.h"
#include "tessarine_data_model/ObjectUpdateNotifier.h"

class QMenu;
class CreatorColorPicker;
class QVR_InteractableViewHandler;
class QVR_MixedMediaElementContainingView;
class ZERI_FlowScreenModel;
class ZERI_MixedMediaObjectProxy;

// One screen on an art board's scene: the 1024 × 748 screen at the scene's origin in its background colour
// (white when it has none) with its shadow, the light surround, and a mask that dims everything outside the
// screen (also the parts of elements that stick out of it). Preview-only screens only display: their mask is
// dark and opaque.
//
// The item covers the area its art board shows (setVisibleArea), so the surround and the mask always fill the
// view whatever the zoom. Element containers are its children, one per object of the screen, kept by object
// identity and stacked by z (1 … n in the model's order) between the screen (z 0) and the mask (z 10,000).
//
// Main thread only.
class QVR_CreatorSingleScreen : public QGraphicsObject, public QVR_InsertMenuCommands<QVR_CreatorSingleScreen> {
    Q_OBJECT
public:
    static constexpr double kMaskZValue = 10000.0;

    QVR_CreatorSingleScreen(std::shared_ptr<ZERI_FlowScreenModel> screen, bool previewMode,
                            QGraphicsItem* parent = nullptr);
    ~QVR_CreatorSingleScreen() override;

    std::shared_ptr<ZERI_FlowScreenModel> flowScreenModel() const { return m_screen; }
    void setFlowScreenModel(std::shared_ptr<ZERI_FlowScreenModel> screen);
    // The screen named in analytics when the displayed one is a copy; the displayed screen when unset.
    std::shared_ptr<ZERI_FlowScreenModel> originalFlowScreenModel() const { return m_originalScreen.lock(); }
    void setOriginalFlowScreenModel(const std::shared_ptr<ZERI_FlowScreenModel>& screen) { m_originalScreen = screen; }
    std::shared_ptr<ZERI_FlowScreenModel> modelToUseForAnalytics() const;

    bool isPreviewOnly() const { return m_previewOnly; }
    // The screen in scene units (points, top-left origin).
    QRectF screenRect() const;
    QColor screenColor() const { return m_screenColor; }
    // The scene area the art board shows; the surround and the mask cover it.
    void setVisibleArea(const QRectF& area);
    QRectF visibleArea() const { return m_visibleArea; }
    // The dimming outside the screen as one even-odd path over the visible area.
    QPainterPath maskPath() const;
    QColor maskColor() const;

    // Keeps one element container per object of the screen: containers of objects that left the screen are
    // deleted, the others kept and re-stacked in the model's order, new ones made. Runs whenever the screen's
    // objects change (once per event-loop turn).
    virtual void buildMixedMediaObjectViews();
    // The container of the very object (`frame` is where it goes); made when there is none.
    QVR_MixedMediaElementContainingView*
    buildOrGetMixedMediaElementForObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                         const QRectF& frame);
    // Places a container at its object's frame: every type but text on whole device pixels of the view
    // showing the scene at its current zoom; text keeps its fractions. The art board calls the all-containers
    // step after every magnification change.
    void appropriatelyResizeMmobjView(QVR_MixedMediaElementContainingView* container);
    virtual void appropriatelyResizeAllMmobjViews();
    // The containers, back to front.
    std::vector<QVR_MixedMediaElementContainingView*> elementContainers() const;
    QVR_MixedMediaElementContainingView*
    containerForMixedMediaObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object) const;
    // The rectangle (in this item's coordinates) with each edge on the nearest device pixel edge of the view
    // that shows the scene; on whole points when no view shows it.
    QRectF rectAlignedToDevicePixels(const QRectF& rect) const;

    // Editing (not in preview-only mode). Points are in scene units, which are the model's.
    // Adds the "Insert..." header (the generic entry, kind kGenericInsertKind) and one indented entry per kind:
    // text, then the object types of image, gallery, video, web video, audio, PDF and shape. An entry calls
    // `chosen` with its kind.
    static void addInsertMenuItemsToMenu(QMenu* menu, const std::function<void(int kind)>& chosen);
    // The screen's context menu ("Screen Menu"): insert entries, paste, zoom levels, canvas colour. The point of
    // the click that opened it is where entries insert.
    QMenu* rightClickEditingMenu();
    void setRightMouseDownLocation(const QPointF& scenePoint) { m_rightMouseDownLocation = scenePoint; }
    QPointF rightMouseDownLocation() const { return m_rightMouseDownLocation; }
    // The insert commands' screen and point (QVR_InsertMenuCommands): this screen, where its menu was opened.
    QVR_CreatorSingleScreen* insertionScreen() const
    {
        return m_previewOnly ? nullptr : const_cast<QVR_CreatorSingleScreen*>(this);
    }
    QPointF insertionPoint() const { return m_rightMouseDownLocation; }
    // An element of the kind centred on a scene point: text is made here; other kinds go through the creator
    // window's canvas view.
    void directlyInsertMixedMediaItemWithType(int kind, const QPointF& scenePoint);
    // A new text centred on the point, as one undo step that pages back to this screen; selected alone.
    void directlyInsertTextItemUsingMouseDownWindowLocation(const QPointF& scenePoint);
    // The add-element menu in a popover at the point (creator window only), which centres what it adds there.
    void displayGenericInsertItemMenuForWindowLocation(const QPointF& scenePoint);
    std::shared_ptr<ZERI_MixedMediaObjectProxy> makeAndSelectNewTextObjectAtPoint(const QPointF& modelPoint);
    void screenPaste();
    void zoomMenuItemChosen(const QString& title);
    // Opens the registered colour picker on the screen's colour; each colour picked is one undo step.
    void startBackgroundColorSelection();
    void backgroundColorPicked(const QColor& color);
    CreatorColorPicker* colorPicker() const { return m_colorPicker.get(); }

    // Selection through the board's interaction handler (none in preview-only mode).
    QVR_InteractableViewHandler* interactionHandler() const;
    void selectViewForMixedMediaObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    void addSelectionForMixedMediaObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    void setSelectionsForMixedMediaObjects(const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& objects);
    void selectAll();

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    // Drops: offered as copies, except while the window shows a sheet (a window-modal dialog).
    bool canAcceptDrop() const;

protected:
    void contextMenuEvent(QGraphicsSceneContextMenuEvent* event) override;
    void dragEnterEvent(QGraphicsSceneDragDropEvent* event) override;
    void dragMoveEvent(QGraphicsSceneDragDropEvent* event) override;
    void dropEvent(QGraphicsSceneDragDropEvent* event) override;

private:
    class Mask;
    void validateMenuItems();
    QVR_MixedMediaElementContainingView*
    firstContainerWithObjectID(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object) const;

    void updateScreenColor();
    // The opaque colour the shadow's layers 0 … `step` (0 the outermost) give on the surround.
    static QColor shadowStackColor(int step);

    std::shared_ptr<ZERI_FlowScreenModel> m_screen;
    std::weak_ptr<ZERI_FlowScreenModel> m_originalScreen;
    bool m_previewOnly = false;
    QColor m_screenColor = Qt::white;
    QRectF m_visibleArea;
    Mask* m_mask = nullptr;
    std::vector<QVR_MixedMediaElementContainingView*> m_containers; // children, in the model's order
    ObjectUpdateNotifierObserver m_colorObserver;
    ObjectUpdateNotifierObserver m_objectsObserver;
    std::unique_ptr<QMenu> m_menu;
    QAction* m_pasteAction = nullptr;
    QPointF m_rightMouseDownLocation;
    std::unique_ptr<CreatorColorPicker> m_colorPicker;
};
