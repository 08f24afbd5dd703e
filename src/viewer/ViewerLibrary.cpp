#include "viewer/ViewerLibrary.h"

#include <memory>

#include "app/AppStartupHooks.h"
#include "app/QVRWindowManager.h"
#include "creator/window/CreatorOutput.h"
#include "viewer/QVRViewerDownloadViewController.h"
#include "viewer/QVRViewerWindow.h"
#include "viewer/QVRiPadPreviewWindow.h"
#include "viewer/output/ViewerOutput.h"

namespace {

// The creator window's export and print commands, drawn by the viewer's PDF generator and print manager.
class ViewerCreatorOutput final : public CreatorOutput {
public:
    void exportDocument(const std::shared_ptr<ZERI_TessarineModel>& document, const QString& path,
                        bool includeGalleryImages, ExportCompletion completion) override
    {
        ViewerOutput::exportDocumentToPDF(document, path, includeGalleryImages,
                                          [completion = std::move(completion)](const Error& error) {
                                              if (!completion)
                                                  return;
                                              if (error.isNull())
                                                  completion(std::nullopt);
                                              else
                                                  completion(error);
                                          });
    }
    void fetchPicturesForExport(const std::shared_ptr<ZERI_TessarineModel>& document, QWidget* window,
                                bool includeGalleryImages, std::function<void()> proceed) override
    {
        ViewerOutput::fetchPicturesForExport(window, document, includeGalleryImages, std::move(proceed));
    }
    void printDocument(const std::shared_ptr<ZERI_TessarineModel>& document, QWidget* window) override
    {
        ViewerOutput::printDocument(window, document);
    }
};

} // namespace

void registerViewerLibrary()
{
    // The gallery and PDF viewers are made by the viewer view controller itself, and the tracked e-mail composer
    // is the sharing library's to register (before or after this); until it does, the PDF viewer offers no
    // e-mail button.
    AppStartupHooks::shared().makeDownloadPanel = []() -> std::unique_ptr<ViewerDownloadPanel> {
        return std::make_unique<QVRViewerDownloadViewController>();
    };
    CreatorOutput::registerOutput(std::make_shared<ViewerCreatorOutput>());
    // Documents opened for viewing play in a viewer window; the open request hands it the document.
    QVRWindowManager::setViewerWindowFactory([](const std::shared_ptr<ZERI_TessarineModel>& document) -> QWidget* {
        auto* window = new QVRViewerWindow;
        if (document)
            window->openRequesterHasFinishedLoadingModel(document);
        window->placeOnScreen();
        return window;
    });
    // The creator's tablet preview: the open request hands the window its document.
    QVRWindowManager::setTabletPreviewWindowFactory([]() -> QWidget* { return new QVRiPadPreviewWindow; });
}
