#pragma once

#include <QColor>
#include <QGraphicsObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRectF>

#include "controls/UniversalPopover.h"

// The row of small controls an element's toolbar popover shows: floating in a popover beside the selected
// element, or docked in the strip under the window's title bar. Subclasses fill the row; this class lays it out
// edge to edge, shows and dismisses the floating popover and animates it into the dock. Main thread only.
class QVRToolbarPopoverController : public QObject {
    Q_OBJECT
public:
    // Tags of the buttons every object popover shares.
    enum Tag { DockTag = 432, ForwardTag = 433, BackTag = 434, LinkTag = 435, ChangeImageTag = 436, CropTag = 437 };
    static constexpr int kDockedDockButtonBottomInset = 14;
    static constexpr int kDockAnimationMs = 250;

    explicit QVRToolbarPopoverController(bool docked, QObject* parent = nullptr);
    ~QVRToolbarPopoverController() override;

    static QColor qvrBasePopoverColor();
    QColor popoverBaseColor() const { return qvrBasePopoverColor(); }
    bool isDocked() const { return m_docked; }

    static void setTag(QWidget* view, int tag);
    static int tagOf(const QWidget* view);

    // The controls, left to right. Views replaced by a new list are deleted.
    QList<QWidget*> toolbarViews() const;
    void setToolbarViews(const QList<QWidget*>& views);
    QWidget* toolbarViewWithTag(int tag) const;

    // A new row holding the controls (the caller owns it), or nullptr when there are none.
    QWidget* controlViewForPopover();

    // Shows the floating popover pointing at `view`; nothing while popovers are docked.
    virtual void showPopoverOverView(QGraphicsObject* view);
    virtual void dismissPopover(bool animated);
    virtual void setPopoverHidden(bool hidden);
    // The element moved or changed size, or the canvas moved under it: a shown popover is placed anew beside it on
    // the next turn, once the element's view has followed; a hidden one is placed when it shows again. While the
    // element is out of the canvas's view the popover hides, and it comes back with the element.
    void followViewBeingDisplayedOn();
    QGraphicsObject* viewBeingDisplayedOn() const { return m_view; }
    UniversalPopover* popoverView() const { return m_popover; }
    QWidget* contentView() const { return m_contentView; }

    // Moves a snapshot of the floating row into the window's dock, then sets popovers docked.
    void dockPopover();
    void undockPopover();

    // The window the popover belongs to: the element view's, else the one given, else the active window.
    QWidget* hostWindow() const;
    void setFallbackHostWindow(QWidget* window) { m_fallbackWindow = window; }

    // The rectangle of `view` in `host`'s coordinates, through the graphics view showing it.
    static QRectF anchorRectForView(QGraphicsObject* view, QWidget* host);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A part of the element, in scene coordinates, that the floating popover leaves uncovered even where it cannot
    // keep clear of the whole element (the line of a text being typed); the null rectangle for none.
    virtual QRectF sceneRectToKeepUncovered() const { return {}; }

private:
    void releaseRow();
    // Lets the floating row and its controls go once this event is over.
    void releaseControls();
    // Presents the popover beside the element's current bounds, or beside the part to keep uncovered when the
    // popover would lie over it.
    void placePopover();

    bool m_docked = false;
    QList<QPointer<QWidget>> m_toolbarViews;
    QPointer<QWidget> m_contentView;
    QPointer<UniversalPopover> m_popover;
    QPointer<QGraphicsObject> m_view;
    QPointer<QWidget> m_fallbackWindow;
    bool m_followPending = false;
    bool m_keepControlsOnDismiss = false;
    // The canvas showing the element: its repaints and resizes tell that the element moved on the window (the
    // canvas scrolled, zoomed, or moved beside an opening side menu) though the element itself did not.
    QPointer<QWidget> m_watchedViewport;
    QRectF m_placedAnchor;
    bool m_hiddenByOwner = false;
    bool m_outOfView = false;
};
