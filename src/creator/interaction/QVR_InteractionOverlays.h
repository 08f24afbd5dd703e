#pragma once

#include <memory>
#include <vector>

#include <QGraphicsObject>
#include <QPointer>

class QVR_MixedMediaElementContainingView;
class ZERI_MixedMediaObjectProxy;

// The outline around the element under the mouse: a child of the hovered container covering
// (−1, −1, w + 2, h + 2) in its coordinates, so it follows the container wherever it goes. Its 2-point border
// scales with the zoom. It takes no mouse buttons.
class QVR_HoveredItemView : public QGraphicsObject {
    Q_OBJECT
public:
    explicit QVR_HoveredItemView(QGraphicsItem* parent = nullptr);

    // Moves the outline onto `item` (nullptr removes it from the scene).
    void setHoveredView(QGraphicsObject* item);
    QGraphicsObject* hoveredView() const { return m_hovered; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    QPointer<QGraphicsObject> m_hovered;
};

// The rubber band drawn while dragging on the screen: the brand blue at 30 % over the band, a 2-point border.
// In scene units; above the containers, below the mask. It takes no mouse buttons.
class QVR_MultiSelectBoxView : public QGraphicsObject {
    Q_OBJECT
public:
    static constexpr double kZValue = 5000.0;

    explicit QVR_MultiSelectBoxView(QGraphicsItem* parent = nullptr);

    // The rectangle from `origin` spanned by a signed size, with positive sides.
    static QRectF reconcileFrameWithNegativeSides(const QRectF& rect);

    void beginTranslation(QGraphicsItem* parent, const QPointF& pressPoint);
    void handleTranslation(const QPointF& translation);
    void endTranslation();
    bool isActive() const { return m_active; }
    QRectF band() const { return m_band; }
    std::vector<QPointer<QGraphicsObject>> keepSelectedViews;

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    QPointF m_initialPoint;
    QRectF m_band;
    bool m_active = false;
};

// Moves one object while its element is dragged or nudged: the frame's origin is floor(start + t), the sum
// taken in single precision, always from the frame at the start.
class QVR_MixedMediaObjectTranslateHandler {
public:
    void startTranslating(QVR_MixedMediaElementContainingView* container,
                          std::shared_ptr<ZERI_MixedMediaObjectProxy> object);
    void handleMove(const QPointF& translation);
    void endTranslating();
    std::shared_ptr<ZERI_MixedMediaObjectProxy> currentMixedMediaObject() const { return m_object.lock(); }
    QVR_MixedMediaElementContainingView* container() const;

private:
    // Held weakly: an undo or a deletion mid-gesture must not keep the object or write to a gone one.
    std::weak_ptr<ZERI_MixedMediaObjectProxy> m_object;
    QRectF m_originalFrame;
    QPointer<QVR_MixedMediaElementContainingView> m_container;
};
