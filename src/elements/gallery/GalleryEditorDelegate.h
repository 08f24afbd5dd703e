#pragma once

#include <memory>

class ZERI_MixedMediaObjectProxy;

// The owner of a gallery editor (the creator's canvas): told once when the author saves or cancels. On save it
// applies the working copy (QVRGalleryEditorViewController::applyEditedGallery for an existing gallery, adding it
// to the screen for a new one) before it returns; afterwards the editor deletes the files it stored that the
// document does not use.
class GalleryEditorDelegate {
public:
    virtual ~GalleryEditorDelegate() = default;
    virtual void galleryEditorEndedEditing(bool cancelled,
                                           const std::shared_ptr<ZERI_MixedMediaObjectProxy>& workingCopy) = 0;
};
