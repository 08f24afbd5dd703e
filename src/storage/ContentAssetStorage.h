#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include <QByteArray>
#include <QImage>
#include <QString>

#include "platform/Error.h"

class QVRDataItem;
class ZERI_ContentAsset;
class ZERI_TessarineModel;
class ZERI_WebDownloader;

// What a content asset does with files: storing data and data items into a document's asset folder, its
// downloader, decoding its image, and deleting its file when nothing needs it any more. The asset record itself
// (URL, names, preset) is the document model's.
//
// Reference rule: a file is deleted only when no other asset of the document points at it and no undo step holds
// it (AssetFileReferences); a deletion an undo step blocks happens when that step lets go, unless the document
// uses the file again by then.
//
// Threads: everything on the main thread, except getImage() (see there) and the import work, which runs on a
// worker and reports on the main thread.
class ContentAssetStorage {
public:
    static constexpr const char* errorDomain = "ZERI_ContentAssetErrorDomain";
    // 1: the file is larger than the user's upload limit ("maxFileUpload"); 2: the content cannot be read;
    // 3: the file cannot be written; 4: the import was cancelled; 5: the content is not the media it claims to be;
    // 6: a picture with more pixels than can be decoded (ImageUtils::isDecodable); 7: a movie file for a video
    // holds no picture (sound only).
    enum ErrorCode {
        TooLarge = 1,
        ReadFailure = 2,
        WriteFailure = 3,
        Cancelled = 4,
        WrongContent = 5,
        PictureTooLarge = 6,
        NoPicture = 7
    };

    using DoneBlock = std::function<void(const Error& error)>; // a null error: success
    using ProgressBlock = std::function<void(double fraction)>;

    // A running import; cancel() makes it end with a "cancelled" error and leaves no file behind.
    class Operation {
    public:
        void cancel() { m_cancelled.store(true); }
        bool isCancelled() const { return m_cancelled.load(); }

    private:
        std::atomic<bool> m_cancelled{false};
    };

    // Writes the data atomically to folder/fileName and points the asset at that file. False (asset unchanged)
    // on failure.
    static bool storeData(ZERI_ContentAsset& asset, const QByteArray& data, const QString& folder,
                          const QString& fileName, Error* error = nullptr);
    // Copies the item's content into the folder as a new file named by a new universal id (keeping the content's
    // extension) and points the asset at it. The copy runs on a worker; `onProgress` (0 … 1) and `onDone` run on
    // the main thread, `onDone` exactly once. Content above Tessutils::userMaxUploadSize() (when set) fails with
    // TooLarge before anything is written.
    static std::shared_ptr<Operation> storeDataItem(const std::shared_ptr<ZERI_ContentAsset>& asset,
                                                    const std::shared_ptr<QVRDataItem>& item, const QString& folder,
                                                    DoneBlock onDone, ProgressBlock onProgress = {});

    // The downloader of the asset's file where ZERI_ContentAsset::location finds it (a file in any of the document's
    // folders, under its local or web name), else of its web address into the document's own asset folder (the
    // published folder for publish previews); nullptr when the asset has no URL or no document.
    static std::shared_ptr<ZERI_WebDownloader> downloader(const ZERI_ContentAsset& asset);

    // The decoded image of the asset's file, or a null image. On the main thread it answers null (decoding and
    // downloading may take long) unless `ignoreThreadSafety`, and then it decodes only what is already on disk.
    // Off the main thread a file that is not on disk is first downloaded through the main thread while the call
    // waits up to 180 s; the main thread never waits for this call.
    static QImage getImage(const std::shared_ptr<ZERI_ContentAsset>& asset);
    static QImage getImageIgnoreThreadSafety(const std::shared_ptr<ZERI_ContentAsset>& asset, bool ignoreThreadSafety);
    static void setImageWaitSecondsForTesting(double seconds);

    // With `cancelCompression` first cancels the asset's queued re-encoding. Then, unless another asset of the
    // document uses the same file, clears the URL of a file-URL asset and deletes the file (at once, or when the
    // last undo step holding it lets go). `document` names the document for an asset already removed from it;
    // without one the asset's own document, else the loaded document of the package whose folder holds the file.
    static void deleteFileAndCancelCompression(const std::shared_ptr<ZERI_ContentAsset>& asset, bool cancelCompression,
                                               const std::shared_ptr<ZERI_TessarineModel>& document = nullptr);
    static void deleteFile(const std::shared_ptr<ZERI_ContentAsset>& asset,
                           const std::shared_ptr<ZERI_TessarineModel>& document = nullptr)
    {
        deleteFileAndCancelCompression(asset, true, document);
    }
    // True when an asset of the document other than `except` points at the file.
    static bool documentUsesFile(const ZERI_TessarineModel& document, const QString& path,
                                 const ZERI_ContentAsset* except = nullptr);

    // Why a file could not be added, as the user reads it after its name, for an error of an import or of its
    // checks: this class's, ImageUtils' and the web downloader's; unreadable for any other. Every way of adding a
    // file (the canvas, the gallery editor) says it in these words.
    static QString refusalReason(const Error& error);

    // Worker side of an import: the source file (or `data` when `sourcePath` is empty) copied into `folder` as
    // "<new universal id>.<extension>", landing atomically. `limit` ≤ 0 means no limit. Returns the new file's path,
    // or empty with `error`. The new file is counted in AssetFileReferences from before it has its name, so that
    // cleaning the folder meanwhile keeps it: release it once an asset points at it (or it was removed). Any thread.
    static QString importIntoFolder(const QString& sourcePath, const QByteArray& data, const QString& folder,
                                    const QString& extension, qint64 limit, const Operation* operation,
                                    const ProgressBlock& progress, Error* error);
};
