#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include <QSizeF>
#include <QString>

#include "platform/Error.h"

class QVRPDFGenerator;
class ZERI_FlowScreenModel;
class ZERI_TessarineModel;

// What an export tells the one who started it, always on the main thread: one report per page in page order,
// then one completion. Both do nothing unless overridden.
class QVRPDFGeneratorDelegate {
public:
    virtual ~QVRPDFGeneratorDelegate() = default;
    // `page` counts from 1; `total` is every page the export meant to write.
    virtual void pdfGenerator(QVRPDFGenerator& generator, int page, int total);
    // `error` is empty on success. `imagesLeftOut` counts gallery images that could not be read and got no page.
    virtual void pdfGeneratorDidFinishGeneratingPdf(QVRPDFGenerator& generator, const QString& path, const Error& error,
                                                    int imagesLeftOut);
};

// Writes a document as a PDF file: one page per screen of its first flow at the flow's view size, each followed
// (with shouldDrawGalleryImages) by one page per full-size image of the screen's galleries at the image's own
// size. The export draws a read-only copy taken when it starts, on one worker task that holds the writer until
// its completion has run; the file appears only once it is whole, and an existing file is replaced only then.
class QVRPDFGenerator : public std::enable_shared_from_this<QVRPDFGenerator> {
public:
    static constexpr const char* kErrorDomain = "com.tessarine.QVRPDFGenerator";
    enum ErrorCode { NothingToExport = 1, CannotWrite = 2 };
    // Readers refuse larger pages: a longer side is brought down to this, in proportion.
    static constexpr double kMaximumPageSide = 14400.0;

    static std::shared_ptr<QVRPDFGenerator> create();

    // Main thread. Ignored while an export runs. `path` is a local file path or a file URL's text.
    void generatePDFForTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& document, const QString& path);
    // The same for screens nobody else edits any more (copies), at any page size.
    void generatePDFInBackgroundFromScreens(const std::vector<std::shared_ptr<ZERI_FlowScreenModel>>& screens,
                                            const QString& path, const QSizeF& size);

    bool currentlyGeneratingPDF() const { return m_generating; }
    bool shouldDrawGalleryImages() const { return m_drawGalleryImages; }
    void setShouldDrawGalleryImages(bool draw) { m_drawGalleryImages = draw; }
    // Not owned; it must outlive the export or be cleared first.
    QVRPDFGeneratorDelegate* delegate() const { return m_delegate; }
    void setDelegate(QVRPDFGeneratorDelegate* delegate) { m_delegate = delegate; }

    // The page size of a gallery image of `pixels`: one point per pixel, the longer side capped.
    static QSizeF galleryPageSize(const QSizeF& pixels);
    // Number of pages the screens give.
    static int pageCount(const std::vector<std::shared_ptr<ZERI_FlowScreenModel>>& screens, bool galleryImages);

    // Test hook: the next exports write everything and then fail to replace the file.
    static void setFailCommitForTesting(bool fail);

private:
    QVRPDFGenerator() = default;
    void finish(const QString& path, const Error& error, int leftOut);

    std::atomic<bool> m_generating{false};
    bool m_drawGalleryImages = true;
    QVRPDFGeneratorDelegate* m_delegate = nullptr;
    std::shared_ptr<void> m_keepAlive; // the document copy of the export being started
};
