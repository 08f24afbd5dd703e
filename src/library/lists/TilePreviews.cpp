#include "library/lists/TilePreviews.h"

#include <deque>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

#include "library/LibraryLogging.h"
#include "platform/MainThread.h"
#include "platform/WorkerThreads.h"
#include "storage/PackagePreviewPicture.h"
#include "storage/PictureFetch.h"
#include "storage/UntrustedAddresses.h"
#include "storage/ZERI_WebDownloader.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/FolderFilePackage.h"
#include "tessarine_data_model/ModelDrawing.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/previews/PreviewRenderThread.h"
#include "viewer/previews/QVRScreenPreviewGenerator.h"

namespace {

// A picture drawn while some of the pictures of the screen were not on this computer: those files are fetched, and
// the picture drawn again once any of them came.
struct Incomplete {
    std::vector<PictureFetch::Places> missing;
    std::shared_ptr<PictureFetch> fetch;
    bool redraw = false; // files came since the picture was drawn
};

struct Queue {
    std::deque<std::weak_ptr<ZERI_qvdFilePackage>> waiting;
    // Packages whose service picture could not be had (an error status, no answer, offline): drawn here instead.
    QSet<QString> serviceFailed;
    QHash<QString, Incomplete> incomplete;
    QSet<QString> queuedIDs; // waiting or running
    // Packages requested again while queued or running: their draft may have changed since the picture being
    // made was started, so they are looked at once more when it ends.
    QHash<QString, std::weak_ptr<ZERI_qvdFilePackage>> askedAgain;
    bool running = false;
};

Queue& queue()
{
    static Queue s_queue;
    return s_queue;
}

void serveNext();

void finished(const QString& packageID)
{
    Queue& q = queue();
    q.running = false;
    if (const auto again = q.askedAgain.take(packageID).lock())
        q.waiting.push_back(again); // still queued: needsPreview() decides when its turn comes
    else
        q.queuedIDs.remove(packageID);
    serveNext();
}

// Fetches what the package's picture lacked; once anything came, the picture is drawn again.
void fetchMissing(const std::shared_ptr<ZERI_qvdFilePackage>& package)
{
    Queue& q = queue();
    const QString packageID = package->packageID();
    const auto found = q.incomplete.find(packageID);
    if (found == q.incomplete.end() || (found->fetch && found->fetch->isRunning()))
        return;
    const std::weak_ptr<ZERI_qvdFilePackage> weakPackage = package;
    found->fetch =
        PictureFetch::start(found->missing, {}, [weakPackage, packageID](const PictureFetch::Result& result) {
            Queue& queue = ::queue();
            const auto entry = queue.incomplete.find(packageID);
            if (entry == queue.incomplete.end() || result.arrived == 0)
                return;
            entry->redraw = true;
            if (const auto alive = weakPackage.lock())
                TilePreviews::request(alive);
        });
}

// After a picture was made: complete, or lacking the pictures `missing` names (fetched then).
void noteMissing(const std::shared_ptr<ZERI_qvdFilePackage>& package, std::vector<PictureFetch::Places> missing)
{
    Queue& q = queue();
    const QString packageID = package->packageID();
    if (missing.empty()) {
        q.incomplete.remove(packageID);
        return;
    }
    qCInfo(lcLibrary) << "the preview of" << packageID << "lacks" << missing.size() << "pictures; fetching them";
    Incomplete& entry = q.incomplete[packageID];
    entry.missing = std::move(missing);
    entry.redraw = false;
    if (entry.fetch && entry.fetch->isRunning())
        entry.fetch->cancel();
    entry.fetch.reset();
    fetchMissing(package);
}

// The document to draw: the open one, or a copy read from the draft.
std::shared_ptr<ZERI_TessarineModel> documentToDraw(ZERI_qvdFilePackage& package)
{
    if (auto open = package.model())
        return open;
    QFile draft(package.draftFilePath());
    if (!draft.open(QIODevice::ReadOnly))
        return nullptr;
    Error error;
    auto copy = ZERI_TessarineModel::initWithJsonData(draft.readAll(), &error, package.draftFilePath());
    if (!copy) {
        qCInfo(lcLibrary).noquote() << "no preview for" << package.packageID() << "-" << error.message;
        return nullptr;
    }
    copy->setDontSave(true);
    // Its files are the package's: pictures stored under their web addresses are found there. The package keeps
    // its own loaded document; the copy is never saved.
    copy->setFilePackage(package.shared_from_this());
    return copy;
}

// On the main thread: the written picture becomes the package's preview.
// The picture carries the modification time of the draft it was started from: a draft written while it was being
// made stays newer than it, and the package keeps needing a picture (needsPreview()).
void adoptPicture(const std::weak_ptr<ZERI_qvdFilePackage>& weakPackage, const QString& packageID, const QString& path,
                  const QDateTime& draftTime, std::vector<PictureFetch::Places> missing)
{
    const auto package = weakPackage.lock();
    // A package deleted meanwhile, or forgotten at sign-out while its folder goes, takes no picture.
    if (!package || package->isRemoved() || !QFileInfo::exists(package->draftFilePath())) {
        PackagePreviewPicture::abandon(path);
    } else {
        if (draftTime.isValid()) {
            QFile picture(path);
            if (!picture.open(QIODevice::ReadOnly) ||
                !picture.setFileTime(draftTime, QFileDevice::FileModificationTime))
                qCInfo(lcLibrary) << "the preview of" << packageID << "keeps its own time";
        }
        if (!PackagePreviewPicture::adopt(*package, path)) {
            // Gone before it could be named: the package keeps its earlier picture and is looked at once more.
            qCInfo(lcLibrary) << "the preview of" << packageID << "was gone before it was adopted";
            queue().askedAgain.insert(packageID, package);
        } else {
            noteMissing(package, std::move(missing));
        }
    }
    finished(packageID);
}

// A document that is not open: its draft is read, its first screen drawn, and the picture written on a worker, in
// a copy of the document that worker alone knows (it goes there too); the main thread only adopts the picture.
void drawFromDraft(const std::shared_ptr<ZERI_qvdFilePackage>& package, const QDateTime& draftTime)
{
    const QString packageID = package->packageID();
    const QString path = PackagePreviewPicture::preparePath(*package);
    if (path.isEmpty()) {
        qCInfo(lcLibrary) << "no preview for" << packageID << "- its assets folder cannot be written";
        finished(packageID);
        return;
    }
    const std::weak_ptr<ZERI_qvdFilePackage> weakPackage = package;
    // The copy finds its pictures in the package's folders, named here: the package itself stays on this thread.
    auto folders = std::make_shared<FolderFilePackage>(packageID, package->assetStoragePath(),
                                                       package->publishedAssetStoragePath());
    PreviewRenderThread::prepareThreadsToDrawText();
    const bool posted = WorkerThreads::shared().post(
        [weakPackage, packageID, path, draftTime, draft = package->draftFilePath(), folders = std::move(folders)] {
            bool written = false;
            std::vector<PictureFetch::Places> missing;
            {
                QFile file(draft);
                Error error;
                const auto copy = file.open(QIODevice::ReadOnly)
                                      ? ZERI_TessarineModel::initWithJsonData(file.readAll(), &error, draft)
                                      : nullptr;
                const auto flow = copy ? copy->firstFlowmodel() : nullptr;
                if (!copy)
                    qCInfo(lcLibrary).noquote() << "no preview for" << packageID << "-" << error.message;
                if (flow && !flow->screenModels().empty()) {
                    copy->setDontSave(true);
                    copy->setFilePackage(folders);
                    const auto screen = flow->screenModels().front();
                    const double scale =
                        flow->viewSize().width() > 0 ? TilePreviews::kPictureWidth / flow->viewSize().width() : 1.0;
                    const QImage picture = ModelDrawing::renderScreen(*screen, scale, copy->isThemeTessarine(), true);
                    written = !picture.isNull() &&
                              PackagePreviewPicture::write(path, QVRScreenPreviewGenerator::encodeJpeg(picture));
                    if (written)
                        missing = PictureFetch::missingPicturesOf(*screen);
                }
            }
            MainThread::run(
                [written, path, weakPackage, packageID, draftTime, missing = std::move(missing)]() mutable {
                    if (written) {
                        adoptPicture(weakPackage, packageID, path, draftTime, std::move(missing));
                    } else {
                        PackagePreviewPicture::abandon(path);
                        finished(packageID);
                    }
                },
                false);
        });
    if (!posted) {
        PackagePreviewPicture::abandon(path);
        finished(packageID);
    }
}

void draw(const std::shared_ptr<ZERI_qvdFilePackage>& package)
{
    const QString packageID = package->packageID();
    // Read before the document: a draft written from here on is newer than the picture.
    const QDateTime draftTime = QFileInfo(package->draftFilePath()).lastModified();
    if (!package->model()) {
        drawFromDraft(package, draftTime);
        return;
    }
    const auto document = documentToDraw(*package);
    const auto flow = document ? document->firstFlowmodel() : nullptr;
    if (!flow || flow->screenModels().empty()) {
        finished(packageID);
        return;
    }
    auto generator = std::make_shared<QVRScreenPreviewGenerator>(flow->screenModels().front());
    const QSizeF size = generator->getParentViewSizeForScale(1.0);
    const double scale = size.width() > 0 ? TilePreviews::kPictureWidth / size.width() : 1.0;
    const std::weak_ptr<ZERI_qvdFilePackage> weakPackage = package;
    // The assets folder becomes the package's own (a link replaced) before the picture is made for it.
    const QString path = PackagePreviewPicture::preparePath(*package);
    if (path.isEmpty()) {
        qCInfo(lcLibrary) << "no preview for" << packageID << "- its assets folder cannot be written";
        finished(packageID);
        return;
    }
    // The generator and the document stay alive until the picture arrives.
    const auto screen = flow->screenModels().front();
    generator->generateScreenshotDirectlyAtScale(scale, [generator, document, screen, weakPackage, packageID, path,
                                                         draftTime](const QImage& normal, const QImage&) {
        if (normal.isNull()) {
            PackagePreviewPicture::abandon(path);
            finished(packageID);
            return;
        }
        // What the picture lacked, as the document stands now that it is drawn.
        std::vector<PictureFetch::Places> missing = PictureFetch::missingPicturesOf(*screen);
        const bool posted = WorkerThreads::shared().post(
            [normal, path, weakPackage, packageID, draftTime, missing = std::move(missing)]() mutable {
                const bool written = PackagePreviewPicture::write(path, QVRScreenPreviewGenerator::encodeJpeg(normal));
                MainThread::run(
                    [written, path, weakPackage, packageID, draftTime, missing = std::move(missing)]() mutable {
                        if (written) {
                            adoptPicture(weakPackage, packageID, path, draftTime, std::move(missing));
                        } else {
                            qCInfo(lcLibrary) << "the preview of" << packageID << "could not be written";
                            PackagePreviewPicture::abandon(path);
                            finished(packageID);
                        }
                    },
                    false);
            });
        if (!posted) {
            PackagePreviewPicture::abandon(path);
            finished(packageID);
        }
    });
}

void serveNext()
{
    Queue& q = queue();
    if (q.running)
        return;
    while (!q.waiting.empty()) {
        const auto package = q.waiting.front().lock();
        q.waiting.pop_front();
        if (!package)
            continue;
        // Asked for before its turn: the turn itself reads the latest draft.
        q.askedAgain.remove(package->packageID());
        if (!TilePreviews::needsPreview(*package)) {
            q.queuedIDs.remove(package->packageID());
            continue;
        }
        q.running = true;
        // Each document on a turn of its own: the event loop runs between two of them.
        QTimer::singleShot(0, [package] { draw(package); });
        return;
    }
    q.queuedIDs.clear();
    q.askedAgain.clear();
}

} // namespace

QString TilePreviews::pictureOnDisk(ZERI_qvdFilePackage& package)
{
    const QString drawn = package.previewPictureFile();
    if (!drawn.isEmpty() && QFileInfo::exists(drawn))
        return drawn;
    // A preview address is the service's: a local file is never shown for it.
    const QUrl url(package.metaData().previewScreenshotURLString());
    if (!UntrustedAddresses::isWebAddress(url))
        return {};
    const QString downloaded = ZERI_WebDownloader::cacheFilePathForUrl(url, package.assetsPath());
    return !downloaded.isEmpty() && QFileInfo::exists(downloaded) ? downloaded : QString();
}

bool TilePreviews::needsPreview(const ZERI_qvdFilePackage& package)
{
    const QFileInfo draft(package.draftFilePath());
    if (!draft.exists())
        return false;
    // A path outside the package is no preview of its own: one is made.
    const QString path = const_cast<ZERI_qvdFilePackage&>(package).previewPictureFile();
    if (path.isEmpty()) {
        // A document as the service keeps it shows the service's picture of it: its pictures and videos may not be
        // on this computer yet, and a drawing of it would lack them. Once edited here, it is drawn here.
        const ZERI_qvdFilePackageMetadata& metadata = const_cast<ZERI_qvdFilePackage&>(package).metaData();
        const bool asOnTheService =
            metadata.serverSavedDraftRevision() >= 0 && metadata.draftRevision() <= metadata.serverSavedDraftRevision();
        // When the service's picture cannot be had, the document is drawn here all the same.
        return !(asOnTheService && UntrustedAddresses::isWebAddress(QUrl(metadata.previewScreenshotURLString())) &&
                 !queue().serviceFailed.contains(package.packageID()));
    }
    const QFileInfo picture(path);
    if (const auto incomplete = queue().incomplete.constFind(package.packageID());
        incomplete != queue().incomplete.constEnd() && incomplete->redraw)
        return true;
    return !picture.exists() || picture.lastModified() < draft.lastModified();
}

void TilePreviews::serviceFailed(const std::shared_ptr<ZERI_qvdFilePackage>& package)
{
    if (!package || !MainThread::isMainThread())
        return;
    queue().serviceFailed.insert(package->packageID());
    request(package);
}

void TilePreviews::request(const std::shared_ptr<ZERI_qvdFilePackage>& package)
{
    if (!package || !MainThread::isMainThread())
        return;
    Queue& q = queue();
    if (q.queuedIDs.contains(package->packageID())) {
        q.askedAgain.insert(package->packageID(), package);
        return;
    }
    if (!needsPreview(*package)) {
        // A picture still lacking files that did not come before (offline then) tries them again.
        fetchMissing(package);
        return;
    }
    q.queuedIDs.insert(package->packageID());
    q.waiting.push_back(package);
    serveNext();
}

int TilePreviews::pendingCount()
{
    return int(queue().queuedIDs.size());
}
