// ViewerOutput's PDF export, apart from printing: a program that only exports (render-screens --pdf) links the
// PDF generator and the drawing of screens, without the print dialog and the viewer's windows.

#include "viewer/output/ViewerOutput.h"

#include "viewer/output/QVRPDFGenerator.h"

namespace {

// Hands an export's completion to a plain function; lives until that completion.
class CompletionDelegate : public QVRPDFGeneratorDelegate {
public:
    explicit CompletionDelegate(std::function<void(const Error&)> onDone)
        : m_onDone(std::move(onDone))
    {
    }
    void pdfGeneratorDidFinishGeneratingPdf(QVRPDFGenerator& generator, const QString&, const Error& error,
                                            int) override
    {
        generator.setDelegate(nullptr);
        const auto onDone = std::move(m_onDone);
        delete this;
        if (onDone)
            onDone(error);
    }

private:
    std::function<void(const Error&)> m_onDone;
};

} // namespace

void ViewerOutput::exportDocumentToPDF(const std::shared_ptr<ZERI_TessarineModel>& document, const QString& path,
                                       bool includeGallery, std::function<void(const Error&)> onDone)
{
    auto generator = QVRPDFGenerator::create();
    generator->setShouldDrawGalleryImages(includeGallery);
    generator->setDelegate(new CompletionDelegate(std::move(onDone)));
    generator->generatePDFForTessarineModel(document, path);
}
