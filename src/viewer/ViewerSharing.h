#pragma once

#include <memory>

#include <QString>

class QWidget;
class ZERI_TessarineModel;

// Sharing a played document from a viewer window or the tablet preview. The sharing library, built after the
// viewer, registers its share sheet; until it does, shared() is null and the share buttons stay hidden.
// Registering (or unregistering) posts kAvailabilityChangedNotification so open windows show or hide their
// buttons at once. Main thread only.
class ViewerSharing {
public:
    static const QString kAvailabilityChangedNotification; // "ViewerSharingAvailabilityChanged"

    virtual ~ViewerSharing() = default;
    // Offers the document's sharing over `window`.
    virtual void shareDocument(const std::shared_ptr<ZERI_TessarineModel>& document, QWidget* window) = 0;

    // Replaces the registered sharing (null unregisters).
    static void registerSharing(std::shared_ptr<ViewerSharing> sharing);
    static std::shared_ptr<ViewerSharing> shared();
};
