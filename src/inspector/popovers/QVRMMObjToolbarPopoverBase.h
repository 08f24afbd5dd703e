#pragma once

#include <functional>
#include <memory>

#include <QPixmap>
#include <QPointer>

#include "creator/canvas/CreatorCanvasInterfaces.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "inspector/popovers/QVRToolbarPopoverController.h"
#include "tessarine_data_model/ObjectUpdateNotifier.h"

class ZERI_FlowModel;
class ZERI_FlowScreenModel;
class ZERI_MMAction;
class ZERI_MixedMediaObjectProxy;

// The toolbar popover of one object: the buttons every object's row shares (dock, link, forward, back) and their
// actions. The subclass is chosen by the object's type (controllerForObject); each rebuilds the row around the
// shared buttons. The object is held weakly: an object removed meanwhile leaves every action doing nothing.
class QVRMMObjToolbarPopoverBase : public QVRToolbarPopoverController, public QVRMMObjToolbarPopoverController {
    Q_OBJECT
public:
    // The link editor the link button opens.
    enum class LinkEditorKind { None, Chooser, ScreenLink, WebLink, EmailLink, FlowEmbed };
    // Chooser without an action; a web link holding the flow-link scheme opens the flow embed editor, one whose
    // text begins with "mailto:" (any case) the e-mail editor, any other the web editor; a screen link the screen
    // editor; any other action none.
    static LinkEditorKind linkEditorKindForAction(const std::shared_ptr<ZERI_MMAction>& action);

    // Opens the link editor of `kind` on the creator window `window`. Inert while unset.
    using LinkEditorOpener = std::function<void(QWidget* window, LinkEditorKind kind)>;
    static void setLinkEditorOpener(LinkEditorOpener opener);

    // The popover for `object` by its type: text, shape, gallery, audio, else the image popover (links only on
    // images). nullptr for a null object.
    static std::unique_ptr<QVRMMObjToolbarPopoverBase>
    controllerForObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, bool docked);

    ~QVRMMObjToolbarPopoverBase() override;

    std::shared_ptr<ZERI_MixedMediaObjectProxy> mmobj() const { return m_object.lock(); }
    virtual void setMmobj(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);

    // The object's flow's theme id; empty without one.
    QString getCurrentThemeID() const;

    // The named icon, at twice the pixels of its point size.
    static QPixmap iconNamed(const QString& name);
    static QVR_ToolbarButton* toolBarButtonWithImageNamed(const QString& name, const QString& text);
    static QWidget* dividerView();
    static QWidget* spacerView(int width);

    // Builds the shared buttons as the row; subclasses rebuild the row around them.
    virtual void setupMMObjDefaultToolbarViews();
    void updateHierarchyButtonsToMatchObjectPosition();

    void showPopoverOverView(QGraphicsObject* view) override;
    void dismissPopover(bool animated) override;
    void setPopoverHidden(bool hidden) override;

    void dockPopoverPressed();
    void linkButtonPressed();
    void moveForward();
    void moveBack();

protected:
    explicit QVRMMObjToolbarPopoverBase(bool docked);

    // The object's screen and flow, or nulls when it left them.
    std::shared_ptr<ZERI_FlowScreenModel> objectScreen() const;
    std::shared_ptr<ZERI_FlowModel> objectFlow() const;
    // Reorders the row for a docked popover: the leading dock button goes last.
    QList<QWidget*> placedForDock(QList<QWidget*> row) const;

    QPointer<QWidget> m_dockButton;
    QPointer<QVR_ToolbarButton> m_linkButton;
    QPointer<QVR_ToolbarButton> m_forwardButton;
    QPointer<QVR_ToolbarButton> m_backButton;

private:
    std::weak_ptr<ZERI_MixedMediaObjectProxy> m_object;
    ObjectUpdateNotifierObserver m_frameObserver;
    // The object's screen: its stacking order changes by undo and by other commands too.
    ObjectUpdateNotifierObserver m_orderObserver;
};
