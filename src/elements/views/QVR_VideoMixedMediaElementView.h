#pragma once

#include "elements/views/QVR_ImageHandlingMixedMediaElement.h"

// The view of a video object: its cropped picture (the poster frame). The video's overlay comes with the player views.
class QVR_VideoMixedMediaElementView : public QVR_ImageHandlingMixedMediaElement {
    Q_OBJECT
public:
    explicit QVR_VideoMixedMediaElementView(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                            QGraphicsItem* parent = nullptr);
    ~QVR_VideoMixedMediaElementView() override;
};
