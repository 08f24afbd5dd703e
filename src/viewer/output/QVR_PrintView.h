#pragma once

#include <atomic>
#include <memory>
#include <variant>
#include <vector>

#include <QRectF>
#include <QSizeF>
#include <QString>

class QPainter;
class QVRScreenPreviewGenerator;
class ZERI_ContentAsset;
class ZERI_FlowScreenModel;
class ZERI_TessarineModel;

// The pages of a print job, drawn from a read-only copy of a document: each screen of the first flow, followed
// (with addGalleryImages) by its gallery images and (with addPDFImages) by every page of its PDF objects.
// Page numbers count from 1; item index = page number − 1. Made on the main thread; drawPage may then run on
// the printing worker while the options no longer change.
class QVR_PrintView {
public:
    // A page of a PDF object's file.
    struct PDFPage {
        QString path;
        int page = 0;
    };
    using Item = std::variant<std::monostate, std::shared_ptr<ZERI_FlowScreenModel>, std::shared_ptr<ZERI_ContentAsset>,
                              PDFPage>;

    // nullptr without flows or with a first flow without screens.
    static std::unique_ptr<QVR_PrintView> printViewForModel(const std::shared_ptr<ZERI_TessarineModel>& document);
    ~QVR_PrintView();

    const std::vector<std::shared_ptr<ZERI_FlowScreenModel>>& tessarineScreenModels() const { return m_screens; }
    QSizeF pageSize() const { return m_pageSize; }
    void setPageSize(const QSizeF& size) { m_pageSize = size; }
    QSizeF modelScreenSize() const { return m_modelScreenSize; }
    int numBasePages() const { return int(m_screens.size()); }
    int numGalleryImages() const { return m_numGalleryImages; }
    int numPDFImages() const { return m_numPDFImages; }
    bool addGalleryImages() const { return m_addGalleryImages; }
    void setAddGalleryImages(bool add) { m_addGalleryImages = add; }
    bool addPDFImages() const { return m_addPDFImages; }
    void setAddPDFImages(bool add) { m_addPDFImages = add; }
    int numPages() const;

    // (0, (n − 1) × page height, page width, page height).
    QRectF rectForPage(int page) const;
    Item dataModelItemAtIndex(int index) const;
    // Draws the page whose rectangle is `rect` with its origin at the painter's origin, in points.
    void drawPage(QPainter* painter, const QRectF& rect) const;

private:
    QVR_PrintView() = default;
    struct ScreenPages {
        std::vector<std::shared_ptr<ZERI_ContentAsset>> images;
        std::vector<PDFPage> pdfPages;
    };

    std::shared_ptr<ZERI_TessarineModel> m_document; // the copy the screens belong to
    std::vector<std::shared_ptr<ZERI_FlowScreenModel>> m_screens;
    std::vector<std::unique_ptr<QVRScreenPreviewGenerator>> m_generators;
    std::vector<ScreenPages> m_pages;
    QSizeF m_pageSize;
    QSizeF m_modelScreenSize;
    int m_numGalleryImages = 0;
    int m_numPDFImages = 0;
    std::atomic<bool> m_addGalleryImages{true};
    std::atomic<bool> m_addPDFImages{false};
};
