#include "viewer/output/QVR_PrintView.h"

#include <algorithm>
#include <cmath>

#include <QImage>
#include <QPainter>
#include <QPdfDocument>

#include "storage/ContentAssetStorage.h"
#include "tessarine_data_model/QVB_GalleryAssetManager.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/ViewerLogging.h"
#include "viewer/output/QVR_PrintManager.h"
#include "viewer/previews/QVRScreenPreviewGenerator.h"

QVR_PrintView::~QVR_PrintView() = default;

std::unique_ptr<QVR_PrintView> QVR_PrintView::printViewForModel(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    auto copy = document ? document->readOnlyCopy() : nullptr;
    if (!copy || copy->flowModels().empty() || copy->flowModels().front()->screenModels().empty())
        return nullptr;
    std::unique_ptr<QVR_PrintView> view(new QVR_PrintView());
    view->m_document = copy;
    view->m_screens = copy->flowModels().front()->screenModels();
    view->m_modelScreenSize = view->m_screens.front()->screenSize();
    view->m_pageSize = view->m_modelScreenSize;
    for (const auto& screen : view->m_screens) {
        ScreenPages pages;
        for (const auto& manager : screen->getAllChildObjectsOfClass<QVB_GalleryAssetManager>()) {
            for (const auto& asset : manager->fullsizedImageAssetsArray()) {
                if (asset)
                    pages.images.push_back(asset);
            }
        }
        for (const auto& object : screen->getAllChildObjectsOfClass<ZERI_MixedMediaObject>()) {
            if (object->type() != ZERI_MixedMediaObject::PDF || !object->pdfAsset())
                continue;
            const QString path = object->pdfAsset()->storedFilePath();
            QPdfDocument pdf;
            if (path.isEmpty() || pdf.load(path) != QPdfDocument::Error::None) {
                qCWarning(lcViewer) << "printing leaves out a PDF it cannot read:" << path;
                continue;
            }
            for (int page = 0; page < pdf.pageCount(); ++page)
                pages.pdfPages.push_back({path, page});
        }
        view->m_numGalleryImages += int(pages.images.size());
        view->m_numPDFImages += int(pages.pdfPages.size());
        view->m_pages.push_back(std::move(pages));
        view->m_generators.push_back(std::make_unique<QVRScreenPreviewGenerator>(screen));
    }
    return view;
}

int QVR_PrintView::numPages() const
{
    return numBasePages() + (m_addGalleryImages ? m_numGalleryImages : 0) + (m_addPDFImages ? m_numPDFImages : 0);
}

QRectF QVR_PrintView::rectForPage(int page) const
{
    return QRectF(0, (page - 1) * m_pageSize.height(), m_pageSize.width(), m_pageSize.height());
}

QVR_PrintView::Item QVR_PrintView::dataModelItemAtIndex(int index) const
{
    if (index < 0)
        return {};
    int running = 0;
    for (size_t s = 0; s < m_screens.size(); ++s) {
        if (running++ == index)
            return m_screens[s];
        if (m_addGalleryImages) {
            for (const auto& image : m_pages[s].images) {
                if (running++ == index)
                    return image;
            }
        }
        if (m_addPDFImages) {
            for (const auto& page : m_pages[s].pdfPages) {
                if (running++ == index)
                    return page;
            }
        }
    }
    return {};
}

void QVR_PrintView::drawPage(QPainter* painter, const QRectF& rect) const
{
    if (!painter || !(rect.height() > 0) || !(rect.width() > 0))
        return;
    const int index = int(rect.y() / rect.height());
    const Item item = dataModelItemAtIndex(index);
    painter->save();
    painter->setClipRect(QRectF(QPointF(0, 0), rect.size()));
    if (const auto* screen = std::get_if<std::shared_ptr<ZERI_FlowScreenModel>>(&item)) {
        const auto found = std::find(m_screens.begin(), m_screens.end(), *screen);
        const float scale = float(m_pageSize.width()) / float(m_modelScreenSize.width());
        if (found != m_screens.end() && std::isfinite(scale) && scale > 0) {
            m_generators[size_t(found - m_screens.begin())]->drawInContextIgnoreThreadSafety(painter, double(scale),
                                                                                             rect.size(), true);
        }
    } else if (const auto* asset = std::get_if<std::shared_ptr<ZERI_ContentAsset>>(&item)) {
        const QImage image = ContentAssetStorage::getImageIgnoreThreadSafety(*asset, true);
        if (image.isNull())
            qCWarning(lcViewer) << "printing leaves the page of an unreadable gallery image blank:"
                                << (*asset)->externalURL();
        else
            painter->drawImage(QVR_PrintManager::sizeAdjustedToFitInsideSize(QSizeF(image.size()), rect.size(), true),
                               image);
    } else if (const auto* pdfPage = std::get_if<PDFPage>(&item)) {
        QPdfDocument pdf;
        if (pdf.load(pdfPage->path) == QPdfDocument::Error::None) {
            const QRectF target =
                QVR_PrintManager::sizeAdjustedToFitInsideSize(pdf.pagePointSize(pdfPage->page), rect.size(), true);
            // Rendered at the painter's device resolution, within the picture size limit.
            const QTransform toDevice = painter->deviceTransform();
            const double factor = std::clamp(std::max(toDevice.m11(), toDevice.m22()), 1.0, 4.0);
            const QImage rendered =
                target.isEmpty() ? QImage() : pdf.render(pdfPage->page, (target.size() * factor).toSize());
            if (!rendered.isNull())
                painter->drawImage(target, rendered);
        } else {
            qCWarning(lcViewer) << "printing cannot read a PDF page:" << pdfPage->path << pdfPage->page;
        }
    }
    painter->restore();
}
