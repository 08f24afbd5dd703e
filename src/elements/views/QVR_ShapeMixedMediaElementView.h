#pragma once

#include "elements/views/QVR_VirtualMixedMediaElementView.h"
#include "tessarine_data_model/ObjectUpdateNotifier.h"

// The view of a shape object: the object's own drawing, without antialiasing, over the whole view. It repaints
// when the object's "color" changes (at most once per event-loop turn); a new frame comes from whoever places
// the view.
class QVR_ShapeMixedMediaElementView : public QVR_VirtualMixedMediaElementView {
    Q_OBJECT
public:
    explicit QVR_ShapeMixedMediaElementView(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                            QGraphicsItem* parent = nullptr);
    ~QVR_ShapeMixedMediaElementView() override;

    bool acceptsFirstMouse() const override { return true; }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    ObjectUpdateNotifierObserver m_shapePropertyChangedObserver;
};
