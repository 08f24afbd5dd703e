#pragma once

#include <functional>
#include <memory>

#include <QList>
#include <QString>
#include <QUrl>

class QVBPrecacheManager;
class ZERI_TessarineModel;

// Chooses which files of a document to fetch ahead of time.
class QVB_TessarinePrecacheHelper {
public:
    enum Option {
        AllImages = 1,           // every object's picture
        AllImagesAndSources = 2, // also the uncropped source pictures of cropped images
        MediaAndGalleries = 4,   // films, sounds, PDF files and the pictures of galleries
        FirstScreenImages = 8,   // the pictures of the first screen of the first flow
    };

    // Screen previews are always chosen. Files already on disk and local files are not queued; when nothing
    // is left to fetch, `onFoundToAlreadyBeDownloaded` runs at once and the manager stays idle.
    static void preloadAssetsFromModel(const std::shared_ptr<ZERI_TessarineModel>& model, int options,
                                       QVBPrecacheManager& manager,
                                       const std::function<void()>& onFoundToAlreadyBeDownloaded);
    // The remote addresses `preloadAssetsFromModel` would consider, in document order, without duplicates.
    static QList<QUrl> remoteURLsForModel(const std::shared_ptr<ZERI_TessarineModel>& model, int options);
    // Where a document's remote files are cached: its package's asset folder, else a shared temporary one.
    static QString cacheDirectoryForModel(const std::shared_ptr<ZERI_TessarineModel>& model);
};
