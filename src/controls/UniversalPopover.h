#pragma once

#include <functional>

#include <QColor>
#include <QPointer>
#include <QWidget>

class QGraphicsOpacityEffect;
class QPainterPath;
class QVariantAnimation;

// An arrowed popover shown inside a host view. The arrow sits on one side of the popover and points at the anchor
// rectangle; the popover stays inside the host's bounds. Geometry is in the host's coordinates (points, y down).
//
// Arrow sides are bits of a mask: 2 top (popover below the anchor), 4 bottom (popover above it), 8 left (popover to
// its right), 16 right (popover to its left); all four = 30.
//
// The content view is reparented into the popover and sized by its current size. Presenting makes the popover a
// child of the host (Qt ownership: it goes when the host goes), so keep it through QPointer.
class UniversalPopover : public QWidget {
    Q_OBJECT
public:
    enum ArrowPosition {
        ArrowPositionNone = 0,
        ArrowPositionTop = 2,
        ArrowPositionBottom = 4,
        ArrowPositionLeft = 8,
        ArrowPositionRight = 16,
        ArrowPositionAll = 30,
    };

    UniversalPopover(int style, const QColor& color, QWidget* contentView);
    ~UniversalPopover() override;

    QWidget* contentView() const { return m_contentView; }
    int style() const { return m_style; }
    QColor color() const { return m_color; }

    // Space between the bubble's edge and the content view.
    void setSideCaps(double sideCaps, double topCap, double bottomCap);
    void setOuterCornerRadius(double radius);
    // With YES, clicks on the bubble around the content go to what lies beneath the popover.
    void setMouseEventsHitOnlyContentView(bool only);
    void setMinHeightForDisplayedPopover(double height);
    // The side tried first when it is allowed.
    void setPreferedPopoverArrowPosition(int position);

    void presentPopoverInView(QWidget* host, int allowedPositions, const QRectF& anchorRect, bool animated);
    // The part of the host the popover is kept inside (host coordinates); the whole host while empty.
    void setPlacementBounds(const QRectF& bounds) { m_placementBounds = bounds; }
    // Runs the completion once the popover is hidden (at once when not animated or not shown).
    void dismissPopoverAnimated(bool animated, std::function<void()> completion);

    // The side chosen by the last presentation, and the arrow tip in the popover's own coordinates.
    int arrowPosition() const { return m_arrowPosition; }
    QPointF arrowTip() const { return m_arrowTip; }
    bool isPresented() const { return m_presented; }

    static constexpr double kArrowLength = 12.0;
    static constexpr double kArrowBaseWidth = 24.0;

    // Frame the popover would take for one side: the popover rectangle in host coordinates and where along the
    // arrow side the tip lies. Exposed for layout tests.
    struct Placement {
        int side = 0;
        QRectF frame;
        QPointF tip; // in popover coordinates
        bool fits = false;
        double visibleArea = 0.0;
    };
    Placement placementForSide(int side, const QSizeF& hostSize, const QRectF& anchorRect) const
    {
        return placementForSide(side, QRectF(QPointF(0, 0), hostSize), anchorRect);
    }
    Placement placementForSide(int side, const QRectF& bounds, const QRectF& anchorRect) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QSizeF bubbleSize() const;
    QRectF bubbleRect() const;
    QPainterPath bubblePath() const;
    void layoutContent();
    void finishDismiss();
    void handleBubbleMouse(QMouseEvent* event);

    int m_style = 0;
    QColor m_color;
    QPointer<QWidget> m_contentView;
    double m_sideCaps = 8.0;
    double m_topCap = 8.0;
    double m_bottomCap = 8.0;
    double m_cornerRadius = 6.0;
    bool m_hitOnlyContent = false;
    double m_minHeight = 0.0;
    int m_preferredPosition = ArrowPositionNone;
    QRectF m_placementBounds;
    int m_arrowPosition = ArrowPositionNone;
    QPointF m_arrowTip;
    bool m_presented = false;
    // Guarded: setGraphicsEffect() deletes the effect it replaces, whoever calls it.
    QPointer<QGraphicsOpacityEffect> m_opacity;
    QPointer<QVariantAnimation> m_animation;
    std::function<void()> m_pendingCompletion;
    quint64 m_dismissGeneration = 0;
};
