#pragma once

#include <memory>

#include <QGraphicsObject>
#include <QRectF>
#include <QSizeF>

class ZERI_MixedMediaObjectProxy;

// Base of every element view: the graphics item that shows one mixed-media object of a screen, on the editor's
// canvas and in the player alike. On its own it is the empty, transparent view of objects without a view of
// their own (none, link, unknown types).
//
// Geometry: item coordinates are model points, origin top left, y down, the item's rectangle is
// (0, 0, frame width, frame height). Whoever places the view (an element container, or the scene of a screen)
// sets its frame; the view never follows the object's frame by itself. Rotation is drawn by the model, so the
// item carries no rotation transform.
//
// The object is held weakly (through its proxy), so a view never keeps a removed object alive; the view
// shows nothing once the object is gone. Main thread only.
class QVR_VirtualMixedMediaElementView : public QGraphicsObject {
    Q_OBJECT
public:
    // Frame (0, 0, object width, object height); a zero frame for a missing object.
    explicit QVR_VirtualMixedMediaElementView(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                              QGraphicsItem* parent = nullptr);
    ~QVR_VirtualMixedMediaElementView() override;

    std::shared_ptr<ZERI_MixedMediaObjectProxy> mixedMediaObject() const { return m_mixedMediaObject.lock(); }
    void setMixedMediaObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);

    // True while the screen is played or previewed rather than edited.
    bool isPreviewMode() const { return m_previewMode; }
    virtual void setPreviewMode(bool previewMode);

    // The item's place in its parent (or the scene) and its size, in points.
    QRectF frame() const { return QRectF(pos(), m_size); }
    virtual void setFrame(const QRectF& frame);
    QRectF bounds() const { return QRectF(QPointF(0, 0), m_size); }

    // Called by the container before and after the user moves or rotates the element.
    virtual void willBeginFrameChanges() {}
    virtual void didEndFrameChanges() {}

    // Whether the first click into an inactive window already reaches the element.
    virtual bool acceptsFirstMouse() const { return false; }

    QRectF boundingRect() const override { return bounds(); }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    std::weak_ptr<ZERI_MixedMediaObjectProxy> m_mixedMediaObject;
    QSizeF m_size{0, 0};
    bool m_previewMode = false;
};
