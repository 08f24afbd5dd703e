#pragma once

#include <memory>

class QWidget;
class ZERI_TessarineModel;

// Saving a draft, publishing, unpublishing and sharing a document, provided by the library's save-and-publish
// part. Until it registers, shared() is null and the window's and toolbar's commands for them stay disabled.
// Each call reports its own progress and errors over `window`. Main thread only.
class CreatorPublishing {
public:
    virtual ~CreatorPublishing() = default;

    virtual void saveDraft(const std::shared_ptr<ZERI_TessarineModel>& document, QWidget* window) = 0;
    // `asAdmin` posts without the full-sized picture assets.
    virtual void publish(const std::shared_ptr<ZERI_TessarineModel>& document, QWidget* window, bool asAdmin) = 0;
    virtual void unpublish(const std::shared_ptr<ZERI_TessarineModel>& document, QWidget* window) = 0;
    virtual void share(const std::shared_ptr<ZERI_TessarineModel>& document, QWidget* window) = 0;
    // Whether the service holds a published copy of the document (unpublish needs one).
    virtual bool hasPublishedCopy(const std::shared_ptr<ZERI_TessarineModel>& document) const = 0;

    // Replaces the registered part (null unregisters).
    static void registerPublishing(std::shared_ptr<CreatorPublishing> publishing);
    static std::shared_ptr<CreatorPublishing> shared();
};
