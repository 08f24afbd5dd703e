#include "library/LibraryLibrary.h"

#include <memory>

#include "library/share/QVRSharePostedTessarineWindowController.h"
#include "library/share/QVR_TrackableEmailViewController.h"
#include "viewer/ViewerSharing.h"

namespace {

// The viewer's share buttons open the share sheet over their window.
class ShareSheetViewerSharing final : public ViewerSharing {
public:
    void shareDocument(const std::shared_ptr<ZERI_TessarineModel>& document, QWidget* window) override
    {
        QVRSharePostedTessarineWindowController::showForDocument(document, window, false);
    }
};

} // namespace

void registerLibraryLibrary()
{
    // Sharing: the PDF viewer's tracked e-mail composer.
    TrackedEmailComposer::registerFactory(
        [] { return std::unique_ptr<TrackedEmailComposer>(new QVR_TrackableEmailViewController()); });
    // The viewer's and the tablet preview's share buttons.
    ViewerSharing::registerSharing(std::make_shared<ShareSheetViewerSharing>());
    // End of sharing.
}
