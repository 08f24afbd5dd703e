#pragma once

#include "elements/views/QVR_ImageHandlingMixedMediaElement.h"

// The view of image, gallery and PDF objects: their cropped picture and nothing more.
class QVR_ImageMixedMediaElementView : public QVR_ImageHandlingMixedMediaElement {
    Q_OBJECT
public:
    explicit QVR_ImageMixedMediaElementView(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                            QGraphicsItem* parent = nullptr);
    ~QVR_ImageMixedMediaElementView() override;
};
