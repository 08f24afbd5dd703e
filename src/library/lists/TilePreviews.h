#pragma once

#include <memory>

#include <QString>

class ZERI_qvdFilePackage;

// The My Documents picture of a document kept on this computer: its first screen drawn by the screen preview
// generator and stored as a JPEG in the package's assets folder, whose path the package's metadata keeps
// ("previewScreenshotFilePath"). A package needs one while it has a draft and no picture at least as new as that
// draft: new, edited and imported documents alike; not a document just as it came from the service, which shows
// the service's picture ("previewScreenshotURLString") until it is edited here, or until that picture cannot be had
// (serviceFailed). A picture drawn while some of the screen's pictures were not on this computer fetches them and is
// drawn again once any came.
//
// Requests are served one at a time, one per turn of the main event loop, newest request last. A document that
// is not open is read into a copy of its own (never into its package, whose loaded document belongs to its
// windows); drawing, encoding and writing run off the main thread. Main thread only.
class TilePreviews {
public:
    static constexpr int kPictureWidth = 464; // twice a tile's width

    static bool needsPreview(const ZERI_qvdFilePackage& package);
    // The picture of the package on this computer, as its tile shows it: the one drawn here, else the service's
    // once downloaded. Empty when there is neither (yet).
    static QString pictureOnDisk(ZERI_qvdFilePackage& package);
    // Queues the package unless it is queued already or has an up-to-date picture. One asked for again while its
    // picture is being made is looked at once more when that is done: a picture carries the modification time of
    // the draft it was made from, so one made from a draft since replaced is not up to date.
    static void request(const std::shared_ptr<ZERI_qvdFilePackage>& package);
    // The service's picture of the package could not be had (an error status, no answer, offline): the package is
    // drawn here.
    static void serviceFailed(const std::shared_ptr<ZERI_qvdFilePackage>& package);
    // Requests queued or running.
    static int pendingCount();
};
