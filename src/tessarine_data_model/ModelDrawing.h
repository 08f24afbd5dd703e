#pragma once

#include <functional>
#include <memory>

#include <QImage>
#include <QSizeF>
#include <QString>

class QPainter;
class TessarineDataModelItem;
class ZERI_ContentAsset;
class ZERI_FlowScreenModel;

// Decoded pictures of asset files (cropped pictures, originals, backgrounds), shared by every object, screen, window
// and thread that draws or crops the same file. Keyed by path, size and modification time, so a file replaced on disk
// is read again; the least recently used pictures are dropped beyond capacityBytes, or beyond a quarter of it while
// the system is short of memory. Decoding happens outside the lock; a file asked for while another thread decodes it
// waits for that one decoding instead of making its own, so a picture used a thousand times is decoded once.
class ModelImageCache {
public:
    static constexpr qint64 capacityBytes = 256LL * 1024 * 1024;

    // The asset's picture, read from ZERI_ContentAsset::storedFilePath (where ZERI_ContentAsset::locate finds it). With
    // `mayDecode` false only a picture already decoded is returned (the main thread must not stall on a large
    // file). Null when there is no such file or it is no image (logged once per version of the file).
    static QImage imageForAsset(const ZERI_ContentAsset& asset, bool mayDecode);
    // With `keep` false a picture not decoded yet is read for this one use and not kept: a text's picture is small,
    // quick to read and made anew at each edit of its text, so that an hour of typing would otherwise fill the
    // cache with pictures drawn once.
    static QImage imageForFile(const QString& path, bool mayDecode, bool keep = true);
    static void clear();
    // Files decoded since the process began, for tests that check sharing.
    static int decodesForTesting();
    // Main thread: takes what dropping the pictures of every asset of `item` (a closed document's) needs, and
    // returns the dropping, to run on any thread (thousands of pictures are found and freed on a worker).
    static std::function<void()> removalOfAssetsOf(const TessarineDataModelItem& item);
};

// A document output that can take a picture's own file instead of its pixels (a PDF writer embedding JPEG files as
// they are). While one is set for a thread, a picture that thread draws whole and unturned from its original file
// asks it for a stand-in to draw in the picture's place; the output later puts the file where the stand-in went.
class PictureFileSink {
public:
    virtual ~PictureFileSink() = default;
    // A small picture to draw over the whole of the picture in `path`, whose decoded size is `pixels`; null when
    // the file cannot go in as it is (the picture is then drawn from its pixels).
    virtual QImage standInForFile(const QString& path, const QSize& pixels) = 0;

    // The sink of the calling thread, or null. Set it only around drawing into the output that takes the files.
    static PictureFileSink* forThisThread();
    static void setForThisThread(PictureFileSink* sink);
};

// Drawing a whole screen from the model, as previews, PDF pages, printing and the render tool do. The painter's
// coordinates are the screen's points times `scale` (origin top-left, y down).
namespace ModelDrawing {

// Background colour (white when the screen has none), then each object back to front with
// drawOnContext(painter, scale, screen size × scale, drawBordersForBlankObjects, ignoreThreadSafety); text
// objects are skipped when `drawTextObjects` is false. Safe on any thread while nobody edits the screen.
// `shouldStop`, when given, is asked before each object; once it answers true no further object is drawn.
void drawScreen(QPainter* painter, const ZERI_FlowScreenModel& screen, double scale, bool drawBordersForBlankObjects,
                bool drawTextObjects, bool ignoreThreadSafety, const std::function<bool()>& shouldStop = {});

// The screen drawn into a new standard bitmap of its size × scale; null when that size is refused.
QImage renderScreen(const ZERI_FlowScreenModel& screen, double scale = 1.0, bool drawBordersForBlankObjects = false,
                    bool drawTextObjects = true);

} // namespace ModelDrawing
