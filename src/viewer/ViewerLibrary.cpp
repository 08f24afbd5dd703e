#include "viewer/ViewerLibrary.h"

#include <memory>

#include "app/AppStartupHooks.h"
#include "viewer/QVRViewerDownloadViewController.h"

void registerViewerLibrary()
{
    // The gallery and PDF viewers are made by the viewer view controller itself, and the tracked e-mail composer
    // is the sharing library's to register (before or after this); until it does, the PDF viewer offers no
    // e-mail button.
    AppStartupHooks::shared().makeDownloadPanel = []() -> std::unique_ptr<ViewerDownloadPanel> {
        return std::make_unique<QVRViewerDownloadViewController>();
    };
}
