#pragma once

#include <functional>
#include <vector>
#include <memory>

#include <QImage>
#include <QSize>
#include <QSizeF>

#include "storage/ContentAssetStorage.h"

class QVRDataItem;
class ZERI_ContentAsset;
class ZERI_MixedMediaObject;
class ZERI_MixedMediaObjectProxy;

// What a mixed-media object does with files: taking its content from a data item, the size of its original
// image, making its cropped images, replacing and removing its assets, and temporary copies for the clipboard.
//
// Threads: call on the main thread. File work (copying, checking the content, decoding and encoding pictures)
// runs on workers; the model is changed, and completion blocks run, on the main thread.
class MixedMediaObjectStorage {
public:
    using DoneBlock = ContentAssetStorage::DoneBlock;
    using ProgressBlock = ContentAssetStorage::ProgressBlock;

    // Stores the item's content into the document's asset folder and sets the matching asset: an image becomes
    // the original image; a video the video asset (with the item's re-encoding preset) plus its poster frame as the
    // original image; a PDF the PDF asset plus its first page as the original image; audio the audio asset; a
    // streaming video points the video asset at the site link and the original image at the thumbnail. With
    // `shouldOverrideType` the object takes the item's type (image 2, video and streaming video 1, PDF 6,
    // audio 9). `onDone` runs once on the main thread, with a "ZERI_ContentAssetErrorDomain" error on failure
    // (too large, unreadable, not the media it claims to be, cancelled); the object then keeps its previous media
    // and no new file is left behind. A set-up already running for the object is cancelled first.
    static void setupUsingDataItem(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                   const std::shared_ptr<QVRDataItem>& item, bool shouldOverrideType, DoneBlock onDone,
                                   ProgressBlock onProgress = {});
    static void setupUsingDataItem(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                   const std::shared_ptr<QVRDataItem>& item, DoneBlock onDone,
                                   ProgressBlock onProgress = {})
    {
        setupUsingDataItem(object, item, false, std::move(onDone), std::move(onProgress));
    }
    static void cancelSetupUsingDataItem(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    static bool isSettingUp(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);

    // Pixel size of the original image file as shown (orientation applied); zero when unknown or not on disk.
    static QSizeF originalImageSize(const ZERI_MixedMediaObject& object);
    // The zoom scale the object's picture is drawn at: its own, or, without one, the scale at which the original
    // (turned by the object's quarter turns) fills the frame; 0 when neither is known.
    static double shownZoomScale(const ZERI_MixedMediaObject& object);
    // Pixel size of an image file as shown (orientation applied), read from its header; zero (logged, and not
    // remembered) when the file cannot be read. Sizes read are remembered per path. Any thread.
    static QSizeF imageSizeOfFile(const QString& path);

    // When the original image's file is on disk: renders the regular cropped image (scale factor 1) and, when
    // the zoom scale is at most 0.5, the retina one (scale factor 2) on a worker, then sets them as
    // croppedImageAsset and retinaCroppedImageAsset (no retina asset otherwise). Each is a new file named by a new
    // universal id, JPEG when the original is a "jpg"/"jpeg" file that covers the frame at its zoom, else PNG.
    // False when nothing was started (no original on disk, no document folder). `onDone` runs on the main thread.
    // A result is set only while it is the object's newest request and the object's frame size, zoom scale, zoom
    // offset and rotation still equal those it was made from; otherwise its files are removed and `onDone` gets
    // ContentAssetStorage::Cancelled. When an undo or a redo restores a flow, the pictures dropped that way for its
    // objects are made again.
    static bool
    makeAndSetCroppedImageAssetFromOriginalImageAsset(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                                      DoneBlock onDone = {});
    // Tests: while held, finished cropped pictures wait on the main thread; releasing lands them in order.
    static void setCroppedImageResultsHeldForTesting(bool held);
    // Pixel size of a cropped image for a frame: each side times the scale factor, rounded up to a whole pixel
    // (997.33 × 748 gives 998 × 748 at 1 and 1995 × 1496 at 2). Rounding up never cuts a partly covered pixel.
    static QSize croppedPixelSize(const QSizeF& frame, double scaleFactor);
    // The original turned by `rotation` quarter turns, scaled by `zoomScale` points per pixel, shifted by
    // `zoomOffset` points, drawn into croppedPixelSize(frame, scaleFactor). Null for a null original or frame.
    static QImage renderCroppedImage(const QImage& original, const QSizeF& frame, double zoomScale,
                                     const QSizeF& zoomOffset, int rotation, double scaleFactor);

    // Replace the object's cropped (retina cropped) image asset. The old asset's file is deleted unless another
    // asset or an undo step still uses it; its server copy is not deleted now but noted with the document's
    // package, which queues the deletion once nothing can reach the asset any more.
    static void setCroppedImageAsset(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                     const std::shared_ptr<ZERI_ContentAsset>& asset);
    static void setRetinaCroppedImageAsset(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                           const std::shared_ptr<ZERI_ContentAsset>& asset);
    // Deletes the files of all the object's assets (under the same rules) and clears the assets.
    static void removeAllAssets(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);

    // A copy of the object (same ids) whose asset files are duplicated into "<temporary folder>/mmObjectCopies/",
    // for the clipboard; clearTempDirectoryForCopies() deletes that folder's files, each file held in
    // AssetFileReferences (a paste importing it) only once it is let go.
    static std::shared_ptr<ZERI_MixedMediaObjectProxy>
    getCopyForTempDirectory(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    static void clearTempDirectoryForCopies();
    // Copies of `objects` (same ids, same order) for the clipboard, their asset files hard-linked into the same
    // folder on a worker thread (copied where linking fails). The files named at the call are held in
    // AssetFileReferences until then, so one replaced meanwhile is still copied as it was. A copy never names a
    // file of this computer outside the folder: a cropped picture whose file is gone is dropped (a paste makes it
    // again from the original), and an object with any other file gone is left out. `done` runs later on the main
    // thread. With `replaceEarlierCopies` the folder's other files then go as clearTempDirectoryForCopies() removes
    // them, on the worker once the new files are handed over. Calls are served one at a time in order, so the
    // clean-up of one never removes the files of a later one.
    static void
    getCopiesForTempDirectory(const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& objects,
                              std::function<void(std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>)> done,
                              bool replaceEarlierCopies = false);
    // Tests: while held, the file work of getCopiesForTempDirectory() waits to start; releasing starts it in order.
    static void setClipboardCopiesHeldForTesting(bool held);
    static QString tempDirectoryForCopies();
};
