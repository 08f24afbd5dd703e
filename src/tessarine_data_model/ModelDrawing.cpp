#include "tessarine_data_model/ModelDrawing.h"

#include "tessarine_data_model/AttachedTextView.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <list>
#include <mutex>
#include <utility>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QPaintEngine>
#include <QPainter>
#include <QSet>
#include <QUrl>

#include "elements/images/AudioElementDrawing.h"
#include "elements/images/ImageUtils.h"
#include "elements/images/QVRShapeUtils.h"
#include "elements/images/UNIImage.h"
#include "platform/FreedMemory.h"
#include "platform/MainThread.h"
#include "tessarine_data_model/ObjectPicture.h"
#include "tessarine_data_model/TessarineDataModelLogging.h"
#include "tessarine_data_model/TextLayout.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Audio.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

namespace {

struct CacheEntry {
    QString key;
    QImage image;
};

// A file being decoded by one thread, which the others asking for it wait for rather than decode it again.
struct Decoding {
    QImage image;
    bool done = false;
};

struct ImageCacheState {
    std::mutex mutex;
    std::condition_variable decoded;
    std::list<CacheEntry> entries; // most recently used first
    QHash<QString, std::list<CacheEntry>::iterator> index;
    QHash<QString, std::shared_ptr<Decoding>> decoding;
    qint64 bytes = 0;
};

// What an entry counts against the capacity; failed files count a little so that they cannot pile up forever.
qint64 entryCost(const QImage& image)
{
    return image.isNull() ? 1024 : image.sizeInBytes();
}

ImageCacheState& cacheState()
{
    // Never destroyed: the shared workers finish their queued decodes while the process exits, after static
    // objects are gone, and those decodes still read and fill the cache.
    static ImageCacheState* const state = new ImageCacheState;
    return *state;
}

void removeCacheEntries(const std::function<bool(const QString& key)>& matches)
{
    // The pictures are freed after the lock is let go: drawing threads need not wait for thousands of frees.
    std::list<CacheEntry> removed;
    {
        ImageCacheState& state = cacheState();
        std::lock_guard lock(state.mutex);
        for (auto it = state.entries.begin(); it != state.entries.end();) {
            const auto next = std::next(it);
            if (matches(it->key)) {
                state.bytes -= entryCost(it->image);
                state.index.remove(it->key);
                removed.splice(removed.end(), state.entries, it);
            }
            it = next;
        }
    }
}

QRectF scaled(const QRectF& rect, double scale)
{
    return {rect.x() * scale, rect.y() * scale, rect.width() * scale, rect.height() * scale};
}

bool isDrawable(const QRectF& rect)
{
    return std::isfinite(rect.x()) && std::isfinite(rect.y()) && std::isfinite(rect.width()) &&
           std::isfinite(rect.height()) && rect.width() > 0 && rect.height() > 0;
}

bool mayDecodeImages(bool ignoreThreadSafety)
{
    return ignoreThreadSafety || !MainThread::isMainThread();
}

// Whether the painter makes a document (a PDF file, a printout) rather than pixels: such a device keeps the image
// data it is handed, so pictures go to it at their own resolution instead of the cropped picture's.
bool keepsPictureData(const QPainter& context)
{
    const QPaintEngine* engine = context.paintEngine();
    if (engine && engine->type() == QPaintEngine::Pdf)
        return true;
    const QPaintDevice* device = context.device();
    return device && device->devType() == QInternal::Printer;
}

// Draws the object's original picture the way its cropped picture shows it (turned by its quarter turns, scaled
// by its zoom, shifted by its zoom offset, clipped to the frame), handing the painter only the part of the
// original that shows, at the original's resolution. False when the original cannot be read.
bool drawOriginalPicture(QPainter* context, const ZERI_MixedMediaObject& object, const QString& path,
                         const QRectF& target, double scale, bool mayDecode)
{
    if (path.isEmpty())
        return false;
    // The decoded size (turned as the file says) is known without decoding: a picture that goes into the output
    // as its own file is never decoded.
    // The zoom is measured in the file's pixels, whatever size it is decoded at (a large photo comes reduced).
    PictureFileSink* const sink = PictureFileSink::forThisThread();
    QImage original;
    QSize pixels;
    {
        QImageReader reader(path);
        reader.setAutoTransform(true);
        pixels = reader.size();
        if (reader.transformation() & QImageIOHandler::TransformationRotate90)
            pixels.transpose();
    }
    if (!pixels.isValid() || pixels.isEmpty()) {
        original = ModelImageCache::imageForFile(path, mayDecode);
        if (original.isNull())
            return false;
        pixels = original.size();
    }
    // The same quarter turns the cropped picture is made with: original pixels to turned pixels.
    const QTransform turn =
        QImage::trueMatrix(QTransform().rotate(90.0 * (object.rotation() % 4)), pixels.width(), pixels.height());
    const QRectF turned = turn.mapRect(QRectF(QPointF(0, 0), QSizeF(pixels)));
    const QSizeF frame = object.frame().size();
    const double zoom =
        object.zoomScale().value_or(std::max(frame.width() / turned.width(), frame.height() / turned.height()));
    if (!(zoom > 0) || !std::isfinite(zoom))
        return false;
    const QSizeF offset = object.zoomOffset();
    // The part of the turned picture inside the frame, taken back to whole pixels of the original.
    const QRectF shown =
        QRectF(offset.width() / zoom, offset.height() / zoom, frame.width() / zoom, frame.height() / zoom)
            .intersected(turned);
    const QRect whole(QPoint(0, 0), pixels);
    const QRect source = turn.inverted().mapRect(shown).toAlignedRect().intersected(whole);
    if (source.isEmpty())
        return true;
    // Shown whole and unturned: the output may take the file itself.
    QImage standIn;
    if (sink && source == whole && object.rotation() % 4 == 0)
        standIn = sink->standInForFile(path, ImageUtils::decodedSize(pixels));
    if (standIn.isNull() && original.isNull()) {
        // Shared with every other object, screen and window that draws the same file.
        original = ModelImageCache::imageForFile(path, mayDecode);
        if (original.isNull() || (original.size() != pixels && original.size() != ImageUtils::decodedSize(pixels)))
            return false;
    }
    context->save();
    context->setClipRect(target, Qt::IntersectClip);
    context->translate(target.topLeft());
    context->scale(scale, scale);
    context->translate(-offset.width(), -offset.height());
    context->scale(zoom, zoom);
    context->setTransform(turn, true);
    context->setRenderHint(QPainter::SmoothPixmapTransform, true);
    if (!standIn.isNull()) {
        // Kept as it is, so that the output can tell it from every other picture.
        context->setRenderHint(QPainter::LosslessImageRendering, true);
        context->drawImage(QRectF(whole), standIn);
    } else {
        // The same part of a picture decoded at a reduced size.
        const QTransform toDecoded = QTransform::fromScale(double(original.width()) / pixels.width(),
                                                           double(original.height()) / pixels.height());
        context->drawImage(QRectF(source), original, toDecoded.mapRect(QRectF(source)));
    }
    context->restore();
    return true;
}

thread_local PictureFileSink* threadPictureFileSink = nullptr;
std::atomic<int> s_decodes{0};

// Theme sample documents show where their empty placeholders are: a 1-point grey outline inside the frame.
void drawBlankBorder(QPainter* context, const QRectF& target, double scale)
{
    context->save();
    QPen pen(QColor(128, 128, 128));
    pen.setWidthF(scale);
    context->setPen(pen);
    context->setBrush(Qt::NoBrush);
    context->drawRect(target.adjusted(scale / 2, scale / 2, -scale / 2, -scale / 2));
    context->restore();
}

// The object's text with attributes: its attributed text, or one run made of the plain-text properties.
AttributedText effectiveText(const ZERI_MMObject_Text& text)
{
    if (text.hasAttributedString())
        return text.attributedString();
    TextAttributes attributes;
    attributes.fontName = text.fontName();
    attributes.fontSize = text.fontSize();
    attributes.foregroundColor = text.textColor();
    attributes.alignment = text.textAlignment();
    return AttributedText(text.text(), attributes);
}

} // namespace

PictureFileSink* PictureFileSink::forThisThread()
{
    return threadPictureFileSink;
}

void PictureFileSink::setForThisThread(PictureFileSink* sink)
{
    threadPictureFileSink = sink;
}

QImage ModelImageCache::imageForAsset(const ZERI_ContentAsset& asset, bool mayDecode)
{
    const QString path = asset.storedFilePath();
    return path.isEmpty() ? QImage() : imageForFile(path, mayDecode);
}

QImage ModelImageCache::imageForFile(const QString& path, bool mayDecode, bool keep)
{
    // stat() rather than QFileInfo's times: those go through local-time conversion, which is slower and not
    // free of shared state across threads.
    struct stat status {};
    const QString absolutePath = QFileInfo(path).absoluteFilePath();
    if (::stat(QFile::encodeName(absolutePath).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return {};
    const QString key = QStringLiteral("%1|%2|%3|%4.%5")
                            .arg(absolutePath)
                            .arg(qint64(status.st_size))
                            .arg(quint64(status.st_ino))
                            .arg(qint64(status.st_mtim.tv_sec))
                            .arg(qint64(status.st_mtim.tv_nsec));
    ImageCacheState& state = cacheState();
    std::shared_ptr<Decoding> decoding;
    {
        std::unique_lock lock(state.mutex);
        if (const auto found = state.index.constFind(key); found != state.index.constEnd()) {
            state.entries.splice(state.entries.begin(), state.entries, found.value());
            return state.entries.front().image;
        }
        if (!mayDecode)
            return {};
        if (!keep) {
            lock.unlock();
            s_decodes.fetch_add(1);
            return UNIImage::imageWithContentsOfFile(path).CGImage();
        }
        // The same file asked for by many objects at once (a picture used a thousand times) is decoded once.
        if (const auto running = state.decoding.value(key)) {
            state.decoded.wait(lock, [&running] { return running->done; });
            return running->image;
        }
        decoding = std::make_shared<Decoding>();
        state.decoding.insert(key, decoding);
    }
    const QImage image = UNIImage::imageWithContentsOfFile(path).CGImage();
    s_decodes.fetch_add(1);

    // A file that is no picture is remembered too (as a null image), so it is read and reported once, not at
    // every drawing of its screen; a new version of the file has a new key.
    std::lock_guard lock(state.mutex);
    decoding->image = image;
    decoding->done = true;
    state.decoding.remove(key);
    state.decoded.notify_all();
    if (image.sizeInBytes() <= capacityBytes && !state.index.contains(key)) {
        state.entries.push_front({key, image});
        state.index.insert(key, state.entries.begin());
        state.bytes += entryCost(image);
        const qint64 capacity = FreedMemory::memoryIsScarce() ? capacityBytes / 4 : capacityBytes;
        while (state.bytes > capacity && !state.entries.empty()) {
            state.bytes -= entryCost(state.entries.back().image);
            state.index.remove(state.entries.back().key);
            state.entries.pop_back();
        }
    }
    return image;
}

int ModelImageCache::decodesForTesting()
{
    return s_decodes.load();
}

void ModelImageCache::clear()
{
    ImageCacheState& state = cacheState();
    std::lock_guard lock(state.mutex);
    state.entries.clear();
    state.index.clear();
    state.bytes = 0;
}

std::function<void()> ModelImageCache::removalOfAssetsOf(const TessarineDataModelItem& item)
{
    // Only the assets' addresses are taken here; the paths are made where the removal runs.
    QList<std::pair<QString, QString>> addresses;
    for (const auto& asset : item.getAllContentAssets()) {
        if (asset)
            addresses.append({asset->externalURLText(), asset->remoteURLText()});
    }
    const auto document = item.tessarineModel();
    return [addresses = std::move(addresses), folders = document ? document->documentAssetFolders() : QStringList()] {
        // Every place a picture may be read from counts, without asking the disk which holds it: a document closing
        // names thousands of assets.
        QSet<QString> files;
        for (const auto& [external, remote] : addresses) {
            for (const QString& path : ZERI_ContentAsset::candidateFiles(external, remote, folders))
                files.insert(QDir::isAbsolutePath(path) ? QDir::cleanPath(path) : QFileInfo(path).absoluteFilePath());
        }
        if (files.isEmpty())
            return;
        // Keys are "<absolute path>|<size>|<inode>|<time>".
        removeCacheEntries(
            [&files](const QString& key) { return files.contains(key.section(QLatin1Char('|'), 0, -4)); });
    };
}

void ZERI_MixedMediaObject::drawOnContext(QPainter* context, double scale, const QSizeF&,
                                          bool drawBordersForBlankObjects, bool ignoreThreadSafety) const
{
    if (!context || !context->isActive() || !std::isfinite(scale) || scale <= 0)
        return;
    const QRectF target = scaled(frame(), scale);
    if (!isDrawable(target))
        return;
    // A document output takes the original picture itself, as cropped and turned, at its own resolution; any
    // other takes the cropped picture when there is one on disk, else the original, as the canvas shows it.
    const bool mayDecode = mayDecodeImages(ignoreThreadSafety);
    const bool originalFirst = mayDecode && keepsPictureData(*context);
    ObjectPicture::Source source = ObjectPicture::choose(*this, scale, originalFirst);
    bool drawn = false;
    if (source.kind == ObjectPicture::Source::Original) {
        drawn = drawOriginalPicture(context, *this, source.path, target, scale, mayDecode);
        // An original that cannot be read leaves the cropped picture to the document output.
        if (!drawn && originalFirst)
            source = ObjectPicture::choose(*this, scale);
    }
    if (!drawn && source.kind == ObjectPicture::Source::Cropped) {
        // The cropped picture already holds the crop, zoom and quarter turns at the frame's size.
        const QImage picture = ModelImageCache::imageForFile(source.path, mayDecode);
        if (!picture.isNull()) {
            ImageUtils::addImageToContext(context, target, picture);
            drawn = true;
        }
    }
    if (!drawn && drawBordersForBlankObjects)
        drawBlankBorder(context, target, scale);
}

void ZERI_MMObject_Shape::drawIntoContext(QPainter* context, const QRectF& frame) const
{
    if (!context)
        return;
    const int shape = shapeType();
    if (shape < Rectangle || shape > Arrow45Degree) {
        qCWarning(lcTessarineDataModel) << "drawIntoContext invoked for a shape with no shapeType!!!!";
        return;
    }
    if (!color().isValid() || !isDrawable(frame))
        return;
    context->save();
    context->setPen(Qt::NoPen);
    context->setBrush(color());
    switch (shape) {
    case Rectangle:
        context->drawRect(frame);
        break;
    case Ellipse:
        context->drawEllipse(frame);
        break;
    case RoundedRectangle: {
        const double radius = 0.1 * std::min(frame.width(), frame.height());
        context->drawRoundedRect(frame, radius, radius);
        break;
    }
    default:
        // The lists are in the y-up space of the unit square; flipping the painter about the frame's middle
        // shows them the right way up in this y-down one.
        context->translate(0, 2 * frame.y() + frame.height());
        context->scale(1, -1);
        QVRShapeUtils::fillRelativePaths(relativePaths(), context, frame);
        break;
    }
    context->restore();
}

void ZERI_MMObject_Shape::drawOnContext(QPainter* context, double scale, const QSizeF&, bool, bool) const
{
    if (!context || !context->isActive() || !std::isfinite(scale) || scale <= 0)
        return;
    // Shapes are drawn without antialiasing everywhere, as on the canvas, so that previews, PDF pages and the
    // editor show the same pixels.
    const bool antialiased = context->testRenderHint(QPainter::Antialiasing);
    context->setRenderHint(QPainter::Antialiasing, false);
    drawIntoContext(context, scaled(frame(), scale));
    context->setRenderHint(QPainter::Antialiasing, antialiased);
}

void ZERI_MMObject_Audio::drawOnContext(QPainter* context, double scale, const QSizeF&, bool, bool) const
{
    if (!context || !context->isActive() || !std::isfinite(scale) || scale <= 0)
        return;
    const QRectF target = scaled(frame(), scale);
    if (!isDrawable(target))
        return;
    // Drawn in points and scaled, as the element view draws it: the icon's whole-point steps and line widths
    // depend on the size in points, not in pixels.
    context->save();
    context->translate(target.topLeft());
    context->scale(scale, scale);
    AudioElementDrawing::drawAtRest(context, QRectF(QPointF(0, 0), frame().size()));
    context->restore();
}

void ZERI_MMObject_Text::drawOnContext(QPainter* context, double scale, const QSizeF&, bool drawBordersForBlankObjects,
                                       bool ignoreThreadSafety) const
{
    if (!context || !context->isActive() || !std::isfinite(scale) || scale <= 0)
        return;
    const QRectF target = scaled(frame(), scale);
    if (!isDrawable(target))
        return;
    if (croppedImageAsset() || retinaCroppedImageAsset()) {
        const ObjectPicture::Source source = ObjectPicture::choose(*this, scale);
        const QImage picture =
            source.kind == ObjectPicture::Source::Cropped
                ? ModelImageCache::imageForFile(source.path, mayDecodeImages(ignoreThreadSafety), false)
                : QImage();
        if (!picture.isNull()) {
            ImageUtils::addImageToContext(context, target, picture);
            return;
        }
    }
    const AttributedText string = effectiveText(*this);
    const TextLayout layout(string, frame().width() - 2 * textContainerInsetWidth());
    drawTextLayout(context, target, scale, backgroundColor(), layout);
    // A text object without text is a blank placeholder like any other.
    if (string.length() == 0 && drawBordersForBlankObjects)
        drawBlankBorder(context, target, scale);
}

void ZERI_MMObject_Text::drawTextLayout(QPainter* context, const QRectF& target, double scale, const QColor& background,
                                        const TextLayout& layout, const QRectF& exposed)
{
    if (!context || !context->isActive() || !std::isfinite(scale) || scale <= 0)
        return;
    // As the text view shows it: the background over the frame, the text inset inside it, nothing outside it.
    context->save();
    const QRectF area = exposed.isValid() ? target.intersected(exposed) : target;
    context->setClipRect(area, Qt::IntersectClip);
    if (background.isValid())
        context->fillRect(area, background);
    context->translate(target.topLeft());
    context->scale(scale, scale);
    context->setRenderHint(QPainter::TextAntialiasing, true);
    const QRectF clip =
        exposed.isValid()
            ? QRectF(QPointF((area.x() - target.x()) / scale, (area.y() - target.y()) / scale), area.size() / scale)
            : QRectF();
    layout.draw(context, QPointF(textContainerInsetWidth(), textContainerInsetHeight()), clip);
    context->restore();
}

QRectF ZERI_MMObject_Text::layoutManagerUsedRectForWidth(float width) const
{
    // An attached view has the text laid out already; it answers from its own layout.
    if (AttachedTextView* view = currentAttachedTextView()) {
        QRectF used = view->usedRectForWidth(double(width));
        if (used.width() < 1)
            return QRectF();
        used.setHeight(double(float(used.height()) * 1.1f));
        return used;
    }
    const TextLayout layout(effectiveText(*this), double(width) - 2 * textContainerInsetWidth());
    const QRectF used = layout.usedRect();
    return used.width() < 1 ? QRectF() : used;
}

QRectF ZERI_MMObject_Text::suggestedFrameConstrainedToWidth(double width, const TextFrameAttributes& attributes) const
{
    if (!std::isfinite(width) || width <= 0)
        return QRectF(frame().topLeft(), QSizeF(0, 0));
    const TextLayout layout(effectiveText(*this), width, attributes);
    return QRectF(frame().topLeft(), QSizeF(width, layout.usedRect().height()));
}

void ModelDrawing::drawScreen(QPainter* painter, const ZERI_FlowScreenModel& screen, double scale,
                              bool drawBordersForBlankObjects, bool drawTextObjects, bool ignoreThreadSafety,
                              const std::function<bool()>& shouldStop)
{
    if (!painter || !painter->isActive() || !std::isfinite(scale) || scale <= 0)
        return;
    const QSizeF size = screen.screenSize() * scale;
    const QColor background = screen.backgroundColor();
    painter->fillRect(QRectF(QPointF(0, 0), size), background.isValid() ? background : QColor(Qt::white));
    // A copy of the list: the walk holds its objects even if the screen drops them meanwhile.
    const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> objects = screen.mixedMediaObjects();
    for (const auto& proxy : objects) {
        if (shouldStop && shouldStop())
            return;
        const std::shared_ptr<ZERI_MixedMediaObject> object = proxy ? proxy->object() : nullptr;
        if (!object || (!drawTextObjects && object->type() == ZERI_MixedMediaObject::Text))
            continue;
        object->drawOnContext(painter, scale, size, drawBordersForBlankObjects, ignoreThreadSafety);
    }
}

QImage ModelDrawing::renderScreen(const ZERI_FlowScreenModel& screen, double scale, bool drawBordersForBlankObjects,
                                  bool drawTextObjects)
{
    const QSizeF size = screen.screenSize() * scale;
    // Refused while still floating point: a document's size of 1e22 points has no integer to become.
    const double largest = double(ImageUtils::maximumPixelCount);
    if (!std::isfinite(size.width()) || !std::isfinite(size.height()) || size.width() < 1 || size.height() < 1 ||
        size.width() > largest || size.height() > largest)
        return {};
    QImage bitmap = ImageUtils::createCGBitmapContextWithWidth(quint64(size.width()), quint64(size.height()));
    if (bitmap.isNull())
        return {};
    QPainter painter(&bitmap);
    drawScreen(&painter, screen, scale, drawBordersForBlankObjects, drawTextObjects, /*ignoreThreadSafety=*/true);
    painter.end();
    return bitmap;
}
