#pragma once

#include "elements/views/QVR_VirtualMixedMediaElementView.h"

// The view of an audio object. For now the empty base view; the panel with its progress ring replaces it.
class QVR_AudioMixedMediaElementView : public QVR_VirtualMixedMediaElementView {
    Q_OBJECT
public:
    explicit QVR_AudioMixedMediaElementView(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                            QGraphicsItem* parent = nullptr);
    ~QVR_AudioMixedMediaElementView() override;
};
