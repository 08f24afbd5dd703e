#pragma once

#include "elements/views/QVR_VirtualMixedMediaElementView.h"

// The view of a text object. For now the empty base view; the text view with its editing replaces it.
class QVR_AttributedTextMixedMediaElementView : public QVR_VirtualMixedMediaElementView {
    Q_OBJECT
public:
    explicit QVR_AttributedTextMixedMediaElementView(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                                     QGraphicsItem* parent = nullptr);
    ~QVR_AttributedTextMixedMediaElementView() override;
};
