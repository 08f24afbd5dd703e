#pragma once

#include <vector>

#include <QGraphicsObject>
#include <QPointer>

#include "creator/canvas/QVR_Interactable.h"

class QTimer;
class QVariantAnimation;
class QVR_MixedMediaElementContainingView;
class QVR_SelectedItemView;

// What the selection frame hands on; every edit goes to its delegate (the interaction handler of the shown
// board). Messages left alone do nothing.
class QVR_SelectedItemHandler {
public:
    virtual ~QVR_SelectedItemHandler() = default;
    virtual void wantsToDeleteViews(const std::vector<QVR_MixedMediaElementContainingView*>& views, uint mask)
    {
        (void)views, (void)mask;
    }
    // Whether wantsToDeleteViews deletes anything; the Edit menu's Delete stays disabled until it does.
    virtual bool performsDelete() const { return false; }
    // dx, dy: −1, 0 or 1 steps, y down.
    virtual void wantsToMoveViews(int dx, int dy, uint mask) { (void)dx, (void)dy, (void)mask; }
    virtual void enterKeyPressed() {}
    virtual void wantsToDeselectAllViews() {}
    virtual void willHideForNudge() {}
    virtual void willRevealAfterNudge() {}
};

// One handle of the frame: keeps its size on screen (its coordinates are device pixels). Rotate handles are
// 30 × 30 and draw their line and dot while the pointer is over them (fading in and out); resize handles
// 21 × 21 with a dot.
class QVR_SelectedItemHandle : public QGraphicsObject, public QVR_Interactable {
    Q_OBJECT
public:
    static constexpr double kRotateSide = 30.0;
    static constexpr double kResizeSide = 21.0;
    // The white around the handles' blue, so they read on any screen colour.
    static constexpr double kRimWidth = 1.25;
    static constexpr int kFadeMs = 250;

    QVR_SelectedItemHandle(int position, bool rotate, QGraphicsItem* parent);
    int position() const { return m_position; }
    bool isRotateHandle() const { return m_rotate; }
    // Where the handle lies, in device pixels, relative to the frame's point for its position (a corner or the
    // middle of a side, y down).
    static QRectF handleRect(int position, bool rotate);
    // The dot of a resize handle and the line of a rotate handle, in the handle's own pixels, y down.
    static QRectF dotRect(int position, const QSizeF& handle);
    static QLineF rotateLine(int position, const QSizeF& handle);

    bool hoverable() const override { return false; }
    bool selectable() const override { return false; }
    bool rotatable() const override { return false; }
    std::optional<QCursor> interactionCursor() const override;
    // How much of a rotate handle's line and dot shows (0 while the pointer is elsewhere).
    double drawnOpacity() const { return m_drawnOpacity; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

protected:
    void hoverEnterEvent(QGraphicsSceneHoverEvent* event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent* event) override;

private:
    void fadeDrawing(double opacity);

    int m_position = 0;
    bool m_rotate = false;
    double m_drawnOpacity = 0.0;
    QVariantAnimation* m_fade = nullptr;
};

// The window's one selection frame, moved into the scene of the board whose selection it shows (z 30,000).
// Its rectangle is the selection's bounding box grown by 15 device pixels on every side; it draws a 1-pixel
// outline on the box and carries eight resize and four rotate handles. The frame's inside takes no presses.
//
// Keys of its own window only: Return, Backspace/Delete (unless a text field has focus), Escape, and a
// printable key that starts editing a single selected text. Hidden while nothing is selected, and for a
// second after the last nudge. Main thread only.
class QVR_SelectedItemView : public QGraphicsObject, public QVR_Interactable {
    Q_OBJECT
public:
    static constexpr double kZValue = 30000.0;
    static constexpr double kDefaultSideLength = 30.0;
    static constexpr int kRevealDelayMs = 1000;

    explicit QVR_SelectedItemView(QWidget* window);
    ~QVR_SelectedItemView() override;

    void setDelegate(QVR_SelectedItemHandler* delegate, QObject* lifetime);
    QVR_SelectedItemHandler* delegate() const;

    // The selection, back to front; sets the frame into the containers' scene.
    void setSelectedViews(const std::vector<QVR_MixedMediaElementContainingView*>& views);
    std::vector<QVR_MixedMediaElementContainingView*> selectedViews() const;
    void selectedViewsDidChange();
    // The handle of a position (0–7), resize or rotate.
    QVR_SelectedItemHandle* handle(int position, bool rotate) const;

    bool canDelete() const { return !selectedViews().empty(); }
    bool canTranslateFromArrowKeys() const;
    void performDelete(uint mask);
    void performMove(int dx, int dy, uint mask);
    void temporarilyHideSelectedItemView();
    void revealSelectedItemView();

    bool hoverable() const override { return false; }
    bool selectable() const override { return false; }
    bool rotatable() const override { return false; }

    QRectF boundingRect() const override { return m_rect; }
    QPainterPath shape() const override { return {}; }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // A new selection was set (the window hands its objects to the position palette).
    void selectionWasSet();

private:
    double magnification() const;
    bool textFieldHasFocus() const;
    bool controlHasFocus() const;
    bool handleTypedKey(QKeyEvent* key);

    QPointer<QWidget> m_window;
    QPointer<QObject> m_delegateLifetime;
    QVR_SelectedItemHandler* m_delegate = nullptr;
    std::vector<QPointer<QVR_MixedMediaElementContainingView>> m_selection;
    std::vector<QVR_SelectedItemHandle*> m_resize; // by position
    std::vector<QVR_SelectedItemHandle*> m_rotate; // by position 0–3
    QRectF m_rect;
    QTimer* m_revealTimer = nullptr;
    QTimer* m_layoutTimer = nullptr;
};
