#pragma once

#include <memory>

class QGraphicsItem;
class QVR_VirtualMixedMediaElementView;
class ZERI_MixedMediaObjectProxy;

// Picks the element view class of an object by its type.
class QVR_MixedMediaElementGenerator {
public:
    // A new view for the object, owned by `parent` when one is given, else by the caller (who adds it to a scene
    // or deletes it). 1 video view; 2, 3, 6 image view; 4 text view; 7 shape view; 9 audio view; any other type,
    // and a missing object, the empty base view.
    static QVR_VirtualMixedMediaElementView*
    mixedMediaElementFromMixedMediaObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                          QGraphicsItem* parent = nullptr);
};
