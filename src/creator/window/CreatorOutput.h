#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QString>

#include "platform/Error.h"

class QWidget;
class ZERI_TessarineModel;

// PDF export and printing of a document, provided by the viewer library. Until it registers, shared() is null
// and the window's export and print commands stay disabled. Main thread only.
class CreatorOutput {
public:
    // Called once on the main thread: no error on success, the failure otherwise.
    using ExportCompletion = std::function<void(const std::optional<Error>& error)>;

    virtual ~CreatorOutput() = default;

    // Writes the document as a PDF at `path`; with `includeGalleryImages` every picture of a gallery gets a page.
    virtual void exportDocument(const std::shared_ptr<ZERI_TessarineModel>& document, const QString& path,
                                bool includeGalleryImages, ExportCompletion completion) = 0;
    // Before exportDocument: brings what the PDF draws that is not on this computer, over `window`, then runs
    // `proceed` (not when the user cancels). By default `proceed` runs at once.
    virtual void fetchPicturesForExport(const std::shared_ptr<ZERI_TessarineModel>& document, QWidget* window,
                                        bool includeGalleryImages, std::function<void()> proceed)
    {
        (void)document;
        (void)window;
        (void)includeGalleryImages;
        if (proceed)
            proceed();
    }
    // Opens the print dialog for the document over `window`.
    virtual void printDocument(const std::shared_ptr<ZERI_TessarineModel>& document, QWidget* window) = 0;

    // Replaces the registered output (null unregisters).
    static void registerOutput(std::shared_ptr<CreatorOutput> output);
    static std::shared_ptr<CreatorOutput> shared();
};
