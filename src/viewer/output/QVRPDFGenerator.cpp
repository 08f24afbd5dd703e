#include "viewer/output/QVRPDFGenerator.h"

#include <cmath>

#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QUrl>

#include "elements/images/ImageUtils.h"
#include "platform/MainThread.h"
#include "platform/WorkerThreads.h"
#include "storage/ContentAssetStorage.h"
#include "tessarine_data_model/QVB_GalleryAssetManager.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/ViewerLogging.h"
#include "viewer/output/PdfJpegPassThrough.h"
#include "viewer/previews/QVRScreenPreviewGenerator.h"

namespace {

std::atomic<bool> g_failCommit{false};

Error exportError(int code, const QString& message)
{
    return Error(QString::fromLatin1(QVRPDFGenerator::kErrorDomain), code, message);
}

Error cannotWrite()
{
    return exportError(QVRPDFGenerator::CannotWrite, QStringLiteral("cannot write"));
}

// A local path from a path or a file URL; empty for anything else.
QString localPathOf(const QString& target)
{
    if (target.isEmpty())
        return {};
    const QUrl url(target);
    if (url.isValid() && !url.scheme().isEmpty() && url.scheme().size() > 1)
        return url.isLocalFile() ? url.toLocalFile() : QString();
    return target;
}

std::vector<std::shared_ptr<ZERI_ContentAsset>> galleryImagesOf(const ZERI_FlowScreenModel& screen)
{
    std::vector<std::shared_ptr<ZERI_ContentAsset>> images;
    for (const auto& manager : screen.getAllChildObjectsOfClass<QVB_GalleryAssetManager>()) {
        for (const auto& asset : manager->fullsizedImageAssetsArray()) {
            if (asset)
                images.push_back(asset);
        }
    }
    return images;
}

QPageSize exactPageSize(const QSizeF& points)
{
    return QPageSize(points, QPageSize::Point, QString(), QPageSize::ExactMatch);
}

// The pages of `screens` (each followed by its gallery pictures when `withGallery`) written as a PDF into
// `device`; `report` is called once per page counted. False when a page could not be made.
bool writePages(QIODevice& device, const std::vector<std::shared_ptr<ZERI_FlowScreenModel>>& screens,
                const QSizeF& size, bool withGallery, PictureFileSink* sink, const std::function<void()>& report,
                int* leftOut)
{
    bool ok = true;
    QPdfWriter writer(&device);
    writer.setResolution(72);
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setPageSize(exactPageSize(size));
    QPainter painter;
    bool begun = false;
    // Each page's size is set before the page starts; the first page starts with the painter.
    auto beginPage = [&](const QSizeF& points) {
        writer.setPageSize(exactPageSize(points));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        if (!begun) {
            begun = painter.begin(&writer);
            return begun;
        }
        return writer.newPage();
    };
    for (const auto& screen : screens) {
        if (!screen)
            continue;
        if (beginPage(size)) {
            QVRScreenPreviewGenerator drawer(screen);
            painter.save();
            PictureFileSink::setForThisThread(sink);
            drawer.drawInContext(&painter, 1.0, size);
            PictureFileSink::setForThisThread(nullptr);
            painter.restore();
        } else {
            ok = false;
        }
        if (withGallery) {
            for (const auto& asset : galleryImagesOf(*screen)) {
                const QImage image = ContentAssetStorage::getImage(asset);
                if (image.isNull() || image.width() <= 0 || image.height() <= 0 ||
                    qint64(image.width()) * image.height() > ImageUtils::maximumPixelCount) {
                    qCWarning(lcViewer) << "PDF export left out a gallery image it cannot read:"
                                        << asset->externalURL();
                    ++*leftOut;
                } else {
                    const QSizeF points = QVRPDFGenerator::galleryPageSize(QSizeF(image.size()));
                    if (beginPage(points))
                        painter.drawImage(QRectF(QPointF(0, 0), points), image);
                    else
                        ok = false;
                }
                report();
            }
        }
        report();
    }
    if (begun)
        ok = painter.end() && ok;
    return ok;
}

} // namespace

void QVRPDFGeneratorDelegate::pdfGenerator(QVRPDFGenerator&, int, int) {}

void QVRPDFGeneratorDelegate::pdfGeneratorDidFinishGeneratingPdf(QVRPDFGenerator&, const QString&, const Error&, int) {}

std::shared_ptr<QVRPDFGenerator> QVRPDFGenerator::create()
{
    return std::shared_ptr<QVRPDFGenerator>(new QVRPDFGenerator());
}

void QVRPDFGenerator::setFailCommitForTesting(bool fail)
{
    g_failCommit = fail;
}

QSizeF QVRPDFGenerator::galleryPageSize(const QSizeF& pixels)
{
    const double longer = std::max(pixels.width(), pixels.height());
    if (!(longer > kMaximumPageSide))
        return pixels;
    const double factor = kMaximumPageSide / longer;
    return QSizeF(std::round(pixels.width() * factor * 1000.0) / 1000.0,
                  std::round(pixels.height() * factor * 1000.0) / 1000.0);
}

int QVRPDFGenerator::pageCount(const std::vector<std::shared_ptr<ZERI_FlowScreenModel>>& screens, bool galleryImages)
{
    int total = 0;
    for (const auto& screen : screens) {
        if (!screen)
            continue;
        total += 1;
        if (galleryImages)
            total += int(galleryImagesOf(*screen).size());
    }
    return total;
}

void QVRPDFGenerator::generatePDFForTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& document,
                                                   const QString& path)
{
    if (m_generating)
        return;
    std::shared_ptr<ZERI_TessarineModel> copy = document ? document->readOnlyCopy() : nullptr;
    std::shared_ptr<ZERI_FlowModel> flow = copy && !copy->flowModels().empty() ? copy->flowModels().front() : nullptr;
    if (!flow || flow->screenModels().empty()) {
        m_generating = true;
        auto self = shared_from_this();
        const QString target = path;
        MainThread::run(
            [self, target] {
                self->finish(target, exportError(NothingToExport, QStringLiteral("nothing to export")), 0);
            },
            false);
        return;
    }
    // The copy lives as long as its screens are drawn: they reach their document through weak parents.
    m_keepAlive = copy;
    generatePDFInBackgroundFromScreens(flow->screenModels(), path, flow->viewSize());
}

void QVRPDFGenerator::generatePDFInBackgroundFromScreens(
    const std::vector<std::shared_ptr<ZERI_FlowScreenModel>>& screens, const QString& target, const QSizeF& size)
{
    if (m_generating)
        return;
    m_generating = true;
    auto self = shared_from_this();
    std::shared_ptr<void> keepAlive = std::move(m_keepAlive);
    const bool withGallery = m_drawGalleryImages;
    const QString path = localPathOf(target);

    (void)WorkerThreads::shared().post([self, keepAlive, screens, path, target, size, withGallery] {
        int leftOut = 0;
        auto done = [&](const Error& error) {
            MainThread::run([self, target, error, leftOut] { self->finish(target, error, leftOut); }, false);
        };
        if (screens.empty()) {
            done(exportError(NothingToExport, QStringLiteral("nothing to export")));
            return;
        }
        if (!QVRScreenPreviewGenerator::isDrawableSize(size)) {
            qCWarning(lcViewer) << "PDF export refused the page size" << size;
            done(exportError(NothingToExport, QStringLiteral("nothing to export")));
            return;
        }
        if (path.isEmpty()) {
            done(cannotWrite());
            return;
        }
        const int total = pageCount(screens, withGallery);
        int reported = 0;
        auto report = [&] {
            const int page = ++reported;
            MainThread::run(
                [self, page, total] {
                    qCInfo(lcViewer, "Drew pdf page %i of %i", page, total);
                    if (self->m_delegate)
                        self->m_delegate->pdfGenerator(*self, page, total);
                },
                false);
        };

        auto file = std::make_unique<QSaveFile>(path);
        if (!file->open(QIODevice::WriteOnly)) {
            qCWarning(lcViewer) << "PDF export cannot open" << path << file->errorString();
            done(cannotWrite());
            return;
        }
        // The pages go to a scratch file first: pictures drawn whole from JPEG files are put in as the files
        // themselves while it is copied to the target. Should that fail, the pages are drawn again without it.
        QTemporaryFile scratch;
        PdfJpegPassThrough passThrough;
        bool ok = scratch.open() && writePages(scratch, screens, size, withGallery, &passThrough, report, &leftOut) &&
                  scratch.flush();
        uchar* mapped = ok && scratch.size() > 0 ? scratch.map(0, scratch.size()) : nullptr;
        ok = ok && mapped;
        if (ok) {
            const QByteArray pages =
                QByteArray::fromRawData(reinterpret_cast<const char*>(mapped), qsizetype(scratch.size()));
            if (passThrough.isEmpty()) {
                ok = file->write(pages) == pages.size();
            } else if (!passThrough.rewrite(pages, *file)) {
                // Nothing of the failed copy is kept.
                file->cancelWriting();
                (void)file->commit();
                file = std::make_unique<QSaveFile>(path);
                int ignored = 0;
                ok = file->open(QIODevice::WriteOnly) &&
                     writePages(
                         *file, screens, size, withGallery, nullptr, [] {}, &ignored);
            }
        }
        if (mapped)
            scratch.unmap(mapped);
        if (!ok || file->error() != QFileDevice::NoError || g_failCommit) {
            file->cancelWriting();
            (void)file->commit();
            qCWarning(lcViewer) << "PDF export could not write" << path;
            done(cannotWrite());
            return;
        }
        if (!file->commit()) {
            qCWarning(lcViewer) << "PDF export could not replace" << path << file->errorString();
            done(cannotWrite());
            return;
        }
        done(Error());
    });
}

void QVRPDFGenerator::finish(const QString& path, const Error& error, int leftOut)
{
    if (error.isNull())
        qCInfo(lcViewer) << "PDF draw done to:" << localPathOf(path);
    else
        qCWarning(lcViewer) << "PDF export failed:" << error.message;
    m_generating = false;
    if (m_delegate)
        m_delegate->pdfGeneratorDidFinishGeneratingPdf(*this, path, error, leftOut);
}
