#include "viewer/previews/QVRScreenPreviewGenerator.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QJsonObject>
#include <QMutex>
#include <QPainter>
#include <QThread>
#include <QUrl>

#include "elements/images/ImageUtils.h"
#include "foundation/Tessutils.h"
#include "platform/MainThread.h"
#include "platform/WorkerThreads.h"
#include "storage/AssetFileReferences.h"
#include "storage/ContentAssetStorage.h"
#include "storage/PackageFileGuard.h"
#include "storage/PictureFetch.h"
#include "storage/ZERI_WebDownloader.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/ModelDrawing.h"
#include "tessarine_data_model/ObjectPicture.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/previews/PreviewRenderThread.h"
#include "viewer/previews/PreviewsLogging.h"

const QSizeF QVRScreenPreviewGenerator::kDefaultViewSize(1024, 748);

// What a generator shares with its running request. Everything here is read and written under `mutex`.
struct QVRScreenPreviewGenerator::State {
    QMutex mutex;
    std::weak_ptr<ZERI_FlowScreenModel> screen;
    std::vector<PreviewAssetsBlock> pending;
    bool generating = false;
    bool cancelled = false;
    bool askedWhileGenerating = false; // a request came in while a picture was being made
    bool storedOlderState = false;     // the picture stored was of the screen before an edit made meanwhile
    // Main thread: the pictures the last stored preview lacked, being fetched; it is drawn again once any came.
    std::shared_ptr<PictureFetch> fetch;

    bool isCancelled()
    {
        QMutexLocker lock(&mutex);
        return cancelled;
    }
};

namespace {

using State = QVRScreenPreviewGenerator::State;

QMutex& hooksMutex()
{
    static QMutex mutex;
    return mutex;
}

QVRScreenPreviewGenerator::StoreFunction& storeHook()
{
    static QVRScreenPreviewGenerator::StoreFunction hook;
    return hook;
}

std::function<void(bool)>& drawProbe()
{
    static std::function<void(bool)> probe;
    return probe;
}

void probeDrawing(bool started)
{
    std::function<void(bool)> probe;
    {
        QMutexLocker lock(&hooksMutex());
        probe = drawProbe();
    }
    if (probe)
        probe(started);
}

bool hasStoreHook()
{
    QMutexLocker lock(&hooksMutex());
    return bool(storeHook());
}

bool storeData(ZERI_ContentAsset& asset, const QByteArray& data, const QString& folder, const QString& fileName,
               Error* error)
{
    QVRScreenPreviewGenerator::StoreFunction hook;
    {
        QMutexLocker lock(&hooksMutex());
        hook = storeHook();
    }
    if (hook)
        return hook(asset, data, folder, fileName, error);
    return ContentAssetStorage::storeData(asset, data, folder, fileName, error);
}

QSizeF viewSizeOf(const ZERI_FlowScreenModel& screen)
{
    if (const auto flow = std::dynamic_pointer_cast<ZERI_FlowModel>(screen.parent()))
        return flow->viewSize();
    return QVRScreenPreviewGenerator::kDefaultViewSize;
}

bool isThemeDocument(const ZERI_FlowScreenModel& screen)
{
    const auto document = screen.tessarineModel();
    return document && document->isThemeTessarine();
}

// Threads of their own for screenshots drawn on request, made on first use (on the main thread) and stopped with
// the application object: a screenshot not started by then is dropped, one being drawn is waited for (the main
// thread's inbox is closed first, so it never waits for the main thread in turn), and none is drawn once the
// application is gone.
WorkerThreads& directScreenshotThreads()
{
    Q_ASSERT(MainThread::isMainThread());
    static const bool prepared = (PreviewRenderThread::prepareThreadsToDrawText(), true);
    Q_UNUSED(prepared);
    static WorkerThreads threads(std::max(2, QThread::idealThreadCount()), QStringLiteral("screenshots"),
                                 WorkerThreads::AtApplicationEnd::Stop);
    return threads;
}

struct DrawnPictures {
    QImage normal;
    QImage textless;
};

// Both pictures of a screen copy: normal (borders per `borders`, text drawn) and text-less (no text objects;
// borders for blank objects only when `textlessBorders`). Null pictures when stopped.
DrawnPictures drawPictures(const ZERI_FlowScreenModel& copy, const QSize& pixels, double scale, bool borders,
                           bool textlessBorders, const std::function<bool()>& shouldStop)
{
    DrawnPictures pictures;
    QImage normal = ImageUtils::createCGBitmapContextWithWidth(quint64(pixels.width()), quint64(pixels.height()));
    QImage textless = ImageUtils::createCGBitmapContextWithWidth(quint64(pixels.width()), quint64(pixels.height()));
    if (normal.isNull() || textless.isNull())
        return pictures;
    {
        QPainter painter(&normal);
        ModelDrawing::drawScreen(&painter, copy, scale, borders, true, true, shouldStop);
    }
    if (shouldStop && shouldStop())
        return pictures;
    {
        QPainter painter(&textless);
        ModelDrawing::drawScreen(&painter, copy, scale, textlessBorders, false, true, shouldStop);
    }
    if (shouldStop && shouldStop())
        return pictures;
    pictures.normal = std::move(normal);
    pictures.textless = std::move(textless);
    return pictures;
}

void runRequest(const std::shared_ptr<State>& state);

// Main thread: calls every pending block with the screen's current assets and ends the request.
void finishRequest(const std::shared_ptr<State>& state)
{
    std::vector<QVRScreenPreviewGenerator::PreviewAssetsBlock> blocks;
    std::shared_ptr<ZERI_FlowScreenModel> screen;
    PreviewRenderThread::Key again;
    {
        QMutexLocker lock(&state->mutex);
        screen = state->screen.lock();
        // A request made after an edit that came while the picture was being made is not answered with the
        // picture of the screen before it: the screen is drawn again, and every request waiting is answered then.
        const bool drawAgain = screen && !state->cancelled && state->askedWhileGenerating && state->storedOlderState;
        state->askedWhileGenerating = false;
        state->storedOlderState = false;
        if (drawAgain) {
            again = state->screen;
        } else {
            state->generating = false;
            state->cancelled = false;
            std::swap(blocks, state->pending);
        }
    }
    if (screen && !again.expired()) {
        PreviewRenderThread::shared().request(again, [state] { runRequest(state); });
        return;
    }
    const auto preview = screen ? screen->previewScreenShotAsset() : nullptr;
    const auto textless = screen ? screen->previewScreenShotAsset_textless() : nullptr;
    for (const auto& block : blocks) {
        if (block)
            block(preview, textless);
    }
}

// What a request decides on, read on the main thread.
struct RequestFacts {
    bool screenGone = true;
    bool mustDraw = false;
    std::shared_ptr<ZERI_ContentAsset> preview;
    QString previewPath;
};

RequestFacts readFacts(const std::shared_ptr<State>& state)
{
    RequestFacts facts;
    std::shared_ptr<ZERI_FlowScreenModel> screen;
    {
        QMutexLocker lock(&state->mutex);
        screen = state->screen.lock();
    }
    if (!screen)
        return facts;
    facts.screenGone = false;
    facts.preview = screen->previewScreenShotAsset();
    if (screen->previewInvalidated() || !facts.preview) {
        facts.mustDraw = true;
        return facts;
    }
    const auto downloader = ContentAssetStorage::downloader(*facts.preview);
    const QString localPath = facts.preview->localFilePath();
    facts.previewPath = downloader ? downloader->filepath() : localPath;
    // A document kept in a package of its own asks for previews of its own: the server's preview is only what it
    // brought along, shown by the views from its download until then. Once the screen is edited its preview is
    // replaced and the download leaves the folder; an undo that names the server's preview again, or a view that
    // found no picture, gets a drawing of the screen as it is, stored as a file of the package.
    const auto document = screen->tessarineModel();
    if (!facts.preview->externalURL().isLocalFile() && !facts.preview->isBakedAsset() && document &&
        !document->dontSave() && std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage())) {
        facts.mustDraw = true;
        return facts;
    }
    if (facts.preview->externalURL().isLocalFile()) {
        const bool onDisk = downloader ? downloader->fileExists() : QFileInfo(localPath).isFile();
        if (!onDisk && !facts.preview->isBakedAsset())
            facts.mustDraw = true;
        // A baked asset is read from where it lies.
        if (!onDisk && facts.preview->isBakedAsset())
            facts.previewPath = localPath;
    }
    return facts;
}

// Render thread: true when the stored normal preview is there and decodes as what its name says.
bool loadStoredPreview(const RequestFacts& facts)
{
    if (facts.previewPath.isEmpty() || !QFileInfo(facts.previewPath).isFile()) {
        // A remote preview: the storage downloads it, while this thread waits.
        ContentAssetStorage::getImage(facts.preview);
        if (facts.previewPath.isEmpty() || !QFileInfo(facts.previewPath).isFile())
            return false;
    }
    Error error;
    if (QVRScreenPreviewGenerator::decodePreviewFile(facts.previewPath, QSize(), &error).isNull()) {
        qCWarning(lcPreviews).noquote() << "stored preview" << facts.previewPath
                                        << "is unreadable, drawing it anew:" << error.message;
        return false;
    }
    return true;
}

// What the render thread draws from, taken on the main thread.
struct DrawingSource {
    bool screenGone = true;
    std::shared_ptr<ZERI_FlowScreenModel> copy;
    QSizeF size;
    bool isTheme = false;
    QJsonObject screenJson; // the screen as copied, to tell later whether it changed meanwhile
    QString folder;         // where the screen's assets go
};

DrawingSource takeDrawingSource(const std::shared_ptr<State>& state)
{
    DrawingSource source;
    std::shared_ptr<ZERI_FlowScreenModel> screen;
    {
        QMutexLocker lock(&state->mutex);
        screen = state->screen.lock();
    }
    if (!screen)
        return source;
    source.screenGone = false;
    source.size = viewSizeOf(*screen);
    source.isTheme = isThemeDocument(*screen);
    if (!QVRScreenPreviewGenerator::isDrawableSize(source.size))
        return source;
    source.screenJson = screen->jsonDictionary();
    source.copy = screen->drawingCopy();
    source.folder = screen->assetStoragePath();
    return source;
}

// A picture file the render thread wrote into the screen's asset folder, for the main thread to make an asset of.
struct WrittenPicture {
    QString folder;
    QString fileName;
    QString path; // empty when the write failed
    Error error;
};

QString newPictureFileName()
{
    return QStringLiteral("%1.jpg").arg(Tessutils::generateUniversalID());
}

// Render thread: the file is written whole (made durable and renamed into place), so the main thread only names it.
// It is counted before it has its name, so that a cleaning of the folder never takes it for a stray file before an
// asset names it; the main thread lets go of that count (WrittenPictures::release()).
WrittenPicture writePicture(const QByteArray& data, const QString& folder)
{
    WrittenPicture picture{folder, newPictureFileName(), QString(), Error()};
    const QString path = QDir::cleanPath(QFileInfo(QDir(folder).filePath(picture.fileName)).absoluteFilePath());
    AssetFileReferences::retainFile(path);
    Error error;
    if (PackageFileGuard::writeFileInPreparedFolder(path, data, &error)) {
        picture.path = path;
    } else {
        AssetFileReferences::releaseFile(path);
        picture.error = error;
    }
    return picture;
}

struct WrittenPictures {
    std::optional<WrittenPicture> normal;
    std::optional<WrittenPicture> textless;

    // Main thread, once the assets name the files (or nothing will).
    void release() const
    {
        for (const auto& picture : {normal, textless}) {
            if (picture && !picture->path.isEmpty())
                AssetFileReferences::releaseFile(picture->path);
        }
    }
    // Main thread: the files go, as nothing will name them.
    void removeFiles() const
    {
        for (const auto& picture : {normal, textless}) {
            if (picture && !picture->path.isEmpty())
                QFile::remove(picture->path);
        }
    }
    void remove() const
    {
        removeFiles();
        release();
    }
};

std::shared_ptr<ZERI_ContentAsset> storePicture(const QByteArray& data, const QString& folder,
                                                const QString& failureFormat,
                                                const std::optional<WrittenPicture>& written)
{
    if (written && written->folder == folder) {
        if (written->path.isEmpty()) {
            qCWarning(lcPreviews).noquote() << failureFormat.arg(written->fileName) << written->error.message;
            return nullptr;
        }
        auto asset = ZERI_ContentAsset::create();
        asset->setExternalURL(QUrl::fromLocalFile(written->path));
        return asset;
    }
    if (written && !written->path.isEmpty())
        QFile::remove(written->path); // written where the screen's assets no longer go
    auto asset = ZERI_ContentAsset::create();
    const QString fileName = newPictureFileName();
    Error error;
    if (data.isEmpty() || folder.isEmpty() || !storeData(*asset, data, folder, fileName, &error)) {
        qCWarning(lcPreviews).noquote() << failureFormat.arg(fileName) << error.message;
        return nullptr;
    }
    return asset;
}

// Sets the new asset. The old one's file (or the download of the server's preview it stood for) leaves a package's
// folder once the draft naming the new one is written (the screen tells its package): undo steps do not keep
// earlier previews, a screen whose preview file is gone is drawn anew. Its server copy is noted for deletion once
// nothing reaches it. A document that does not save (a read-only copy resolving its files in another document's
// package) touches neither.
void replacePreview(ZERI_FlowScreenModel& screen, const std::shared_ptr<ZERI_TessarineModel>& document,
                    const std::shared_ptr<ZERI_ContentAsset>& asset, bool textless)
{
    const auto old = textless ? screen.previewScreenShotAsset_textless() : screen.previewScreenShotAsset();
    if (textless)
        screen.setPreviewScreenShotAsset_textless(asset);
    else
        screen.setPreviewScreenShotAsset(asset);
    if (!old || old == asset || !document || document->dontSave() || !document->filePackage())
        return;
    const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
    if (!package) {
        ContentAssetStorage::deleteFile(old, document);
        return;
    }
    if (package->ownedByCurrentUser())
        package->noteReplacedAsset(*old);
}

// Main thread: a preview drawn while some of the screen's pictures were not on this computer stays marked as not
// current (also in the saved document, for its next opening), and those pictures are fetched; once any came, the
// screen asks for its previews again.
void fetchLackingPictures(const std::shared_ptr<State>& state, ZERI_FlowScreenModel& screen)
{
    screen.setPreviewInvalidated(true);
    if (state->fetch && state->fetch->isRunning())
        return;
    std::weak_ptr<TessarineDataModelItem> weakScreen = screen.weak_from_this();
    state->fetch = PictureFetch::start(
        PictureFetch::missingPicturesOf(screen), {}, [weakScreen](const PictureFetch::Result& result) {
            if (result.arrived == 0)
                return;
            if (const auto alive = std::static_pointer_cast<ZERI_FlowScreenModel>(weakScreen.lock()))
                alive->getScreenPreviewImages();
        });
}

// Main thread: stores both pictures as new assets of the screen.
void storeNewPreviews(const std::shared_ptr<State>& state, const QByteArray& normalData, const QByteArray& textlessData,
                      const QJsonObject& drawnJson, const WrittenPictures& written, bool lackedPictures)
{
    std::shared_ptr<ZERI_FlowScreenModel> screen;
    {
        QMutexLocker lock(&state->mutex);
        if (!state->cancelled)
            screen = state->screen.lock();
    }
    if (!screen) {
        written.removeFiles();
        return;
    }
    const auto document = screen->tessarineModel();
    const QString folder = screen->assetStoragePath();
    const bool editedMeanwhile = screen->jsonDictionary() != drawnJson;
    const auto normal =
        storePicture(normalData, folder, QStringLiteral("storeData failed for asset:%1"), written.normal);
    const auto textless =
        storePicture(textlessData, folder, QStringLiteral("storeData failed for textless screen preview asset:%1"),
                     written.textless);
    if (normal) {
        replacePreview(*screen, document, normal, false);
        // A picture of an older state of the screen must not pass for a current one.
        if (editedMeanwhile) {
            screen->setPreviewInvalidated(true);
            QMutexLocker lock(&state->mutex);
            state->storedOlderState = true;
        }
    }
    if (textless)
        replacePreview(*screen, document, textless, true);
    if (normal && lackedPictures)
        fetchLackingPictures(state, *screen);
    if ((normal || textless) && document)
        document->setNeedsSaveToFile();
}

// The render thread's part of one request.
void runRequest(const std::shared_ptr<State>& state)
{
    const auto finish = [&state] { MainThread::run([state] { finishRequest(state); }, true); };

    RequestFacts facts;
    MainThread::run([&] { facts = readFacts(state); }, true);
    if (facts.screenGone) {
        finish();
        return;
    }
    if (!facts.mustDraw && loadStoredPreview(facts)) {
        MainThread::run([preview = std::move(facts.preview)]() mutable { preview.reset(); }, true);
        finish();
        return;
    }
    DrawingSource source;
    MainThread::run(
        [&] {
            facts.preview.reset(); // model objects are let go on the main thread
            source = takeDrawingSource(state);
        },
        true);
    if (source.screenGone) {
        finish();
        return;
    }
    if (!source.copy) {
        qCWarning(lcPreviews) << "screen previews not drawn: the view size" << source.size << "cannot be drawn";
        finish();
        return;
    }
    const QSize pixels(int(source.size.width()), int(source.size.height()));
    probeDrawing(true);
    const DrawnPictures pictures =
        drawPictures(*source.copy, pixels, 1.0, source.isTheme, false, [&state] { return state->isCancelled(); });
    probeDrawing(false);
    const bool lackedPictures = ObjectPicture::screenLacksPictures(*source.copy);
    QByteArray normalData;
    QByteArray textlessData;
    if (!pictures.normal.isNull() && !state->isCancelled()) {
        normalData = QVRScreenPreviewGenerator::encodeJpeg(pictures.normal);
        textlessData = QVRScreenPreviewGenerator::encodeJpeg(pictures.textless);
    }
    // The copy belongs to the main thread's model code: it is let go there.
    MainThread::run([copy = std::move(source.copy)]() mutable { copy.reset(); }, false);
    // The main thread stores the pictures and ends the request; the render thread does not wait for that: the next
    // request's first step queues up on the main thread meanwhile.
    auto store = [state, normalData, textlessData, lackedPictures,
                  json = std::move(source.screenJson)](WrittenPictures written) {
        MainThread::run(
            [state, normalData, textlessData, lackedPictures, json, written = std::move(written)] {
                if (!normalData.isEmpty()) {
                    storeNewPreviews(state, normalData, textlessData, json, written, lackedPictures);
                    written.release();
                } else {
                    written.remove();
                }
                finishRequest(state);
            },
            false);
    };
    if (normalData.isEmpty() || source.folder.isEmpty() || hasStoreHook() || state->isCancelled()) {
        store(WrittenPictures());
        return;
    }
    // The files are written off the main thread (a durable write waits for the disk), and off this one, which
    // gives way to every other thread and goes on to the next screen; the main thread only makes the assets that
    // name them.
    auto write = [store, normalData, textlessData, folder = source.folder]() mutable {
        WrittenPictures written;
        written.normal = writePicture(normalData, folder);
        if (!textlessData.isEmpty())
            written.textless = writePicture(textlessData, folder);
        store(std::move(written));
    };
    if (!WorkerThreads::shared().post(write))
        write();
}

} // namespace

QVRScreenPreviewGenerator::QVRScreenPreviewGenerator(const std::shared_ptr<ZERI_FlowScreenModel>& screen)
    : m_state(std::make_shared<State>())
{
    m_state->screen = screen;
}

QVRScreenPreviewGenerator::~QVRScreenPreviewGenerator()
{
    std::vector<PreviewAssetsBlock> blocks;
    std::shared_ptr<ZERI_FlowScreenModel> screen;
    {
        QMutexLocker lock(&m_state->mutex);
        std::swap(blocks, m_state->pending);
        m_state->cancelled = true; // the running drawing, if any, stops and stores nothing
        screen = m_state->screen.lock();
    }
    const auto preview = screen ? screen->previewScreenShotAsset() : nullptr;
    const auto textless = screen ? screen->previewScreenShotAsset_textless() : nullptr;
    for (const auto& block : blocks) {
        if (block)
            block(preview, textless);
    }
    QMutexLocker lock(&m_state->mutex);
    m_state->screen.reset();
}

std::shared_ptr<ZERI_FlowScreenModel> QVRScreenPreviewGenerator::parentFlowScreen() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->screen.lock();
}

void QVRScreenPreviewGenerator::setParentFlowScreen(const std::shared_ptr<ZERI_FlowScreenModel>& screen)
{
    QMutexLocker lock(&m_state->mutex);
    if (m_state->screen.lock() != screen)
        m_state->screen = screen;
}

void QVRScreenPreviewGenerator::drawInContext(QPainter* context, double scale, const QSizeF& contextSize)
{
    const auto screen = parentFlowScreen();
    drawInContext(context, scale, contextSize, screen && isThemeDocument(*screen), true, false);
}

void QVRScreenPreviewGenerator::drawInContext(QPainter* context, double scale, const QSizeF& contextSize,
                                              bool bordersForBlankObjects)
{
    drawInContext(context, scale, contextSize, bordersForBlankObjects, true, false);
}

void QVRScreenPreviewGenerator::drawInContextDrawTextObjects(QPainter* context, double scale, const QSizeF& contextSize,
                                                             bool drawTextObjects)
{
    drawInContext(context, scale, contextSize, false, drawTextObjects, false);
}

void QVRScreenPreviewGenerator::drawInContext(QPainter* context, double scale, const QSizeF& contextSize,
                                              bool bordersForBlankObjects, bool drawTextObjects)
{
    drawInContext(context, scale, contextSize, bordersForBlankObjects, drawTextObjects, false);
}

void QVRScreenPreviewGenerator::drawInContextIgnoreThreadSafety(QPainter* context, double scale,
                                                                const QSizeF& contextSize, bool ignoreThreadSafety)
{
    drawInContext(context, scale, contextSize, false, true, ignoreThreadSafety);
}

void QVRScreenPreviewGenerator::drawInContext(QPainter* context, double scale, const QSizeF& /*contextSize*/,
                                              bool bordersForBlankObjects, bool drawTextObjects,
                                              bool ignoreThreadSafety)
{
    // A generator used for drawing stays marked busy: such generators are never asked for previews.
    std::shared_ptr<ZERI_FlowScreenModel> screen;
    {
        QMutexLocker lock(&m_state->mutex);
        m_state->generating = true;
        screen = m_state->screen.lock();
    }
    if (!screen)
        return;
    // The objects are drawn at the screen's size × scale, which is what the context is made for.
    const auto state = m_state;
    ModelDrawing::drawScreen(context, *screen, scale, bordersForBlankObjects, drawTextObjects, ignoreThreadSafety,
                             [state] { return state->isCancelled(); });
}

void QVRScreenPreviewGenerator::retreiveOrGenerateScreenPreviews(PreviewAssetsBlock block)
{
    PreviewRenderThread::Key key;
    {
        QMutexLocker lock(&m_state->mutex);
        m_state->pending.push_back(std::move(block));
        if (m_state->generating) {
            m_state->askedWhileGenerating = true;
            return;
        }
        m_state->generating = true;
        m_state->cancelled = false; // a cancel made while idle does not stop the next request
        key = m_state->screen;
    }
    // Ordered by the screen: the render threads take the screens in view first.
    PreviewRenderThread::shared().request(key, [state = m_state] { runRequest(state); });
}

void QVRScreenPreviewGenerator::generatePreviews(const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                                 std::function<void()> done)
{
    setParentFlowScreen(screen);
    retreiveOrGenerateScreenPreviews([done = std::move(done)](const auto&, const auto&) {
        if (!done)
            return;
        if (MainThread::isMainThread())
            done();
        else
            MainThread::run(done, false);
    });
}

void QVRScreenPreviewGenerator::cancelCurrentDraw()
{
    QMutexLocker lock(&m_state->mutex);
    m_state->cancelled = true;
}

void QVRScreenPreviewGenerator::generateScreenshotDirectly(ScreenshotBlock block)
{
    generateScreenshotDirectlyAtScale(1.0, std::move(block));
}

void QVRScreenPreviewGenerator::generateScreenshotDirectlyAtScale(double scale, ScreenshotBlock block)
{
    const auto screen = parentFlowScreen();
    generateScreenshotDirectlyAtScale(scale, screen && isThemeDocument(*screen), std::move(block));
}

void QVRScreenPreviewGenerator::generateScreenshotDirectlyAtScale(double scale, bool drawBlankObjects,
                                                                  ScreenshotBlock block)
{
    auto state = m_state;
    MainThread::run(
        [state, scale, drawBlankObjects, block = std::move(block)]() mutable {
            std::shared_ptr<ZERI_FlowScreenModel> screen;
            {
                QMutexLocker lock(&state->mutex);
                screen = state->screen.lock();
            }
            const QSizeF size = screen ? viewSizeOf(*screen) * scale : QSizeF();
            std::shared_ptr<ZERI_FlowScreenModel> copy;
            if (screen && std::isfinite(scale) && scale > 0 && isDrawableSize(size))
                copy = screen->drawingCopy();
            else if (screen)
                qCWarning(lcPreviews) << "screenshot not drawn: the size" << size << "cannot be drawn";
            // The drawing never waits for the main thread: the picture and the copy travel back with the block,
            // so a worker is never held while the main thread is busy (painting, or waiting for workers itself).
            directScreenshotThreads().post(
                [copy = std::move(copy), size, scale, drawBlankObjects, block = std::move(block)]() mutable {
                    DrawnPictures pictures;
                    if (copy)
                        pictures = drawPictures(*copy, QSize(int(size.width()), int(size.height())), scale,
                                                drawBlankObjects, drawBlankObjects, {});
                    MainThread::run(
                        [copy = std::move(copy), pictures = std::move(pictures), block = std::move(block)]() mutable {
                            copy.reset();
                            if (block)
                                block(pictures.normal, pictures.textless);
                            block = nullptr;
                        },
                        false);
                });
        },
        MainThread::isMainThread());
}

QSizeF QVRScreenPreviewGenerator::getParentViewSizeForScale(double scale) const
{
    const auto screen = parentFlowScreen();
    return (screen ? viewSizeOf(*screen) : kDefaultViewSize) * scale;
}

bool QVRScreenPreviewGenerator::isCurrentlyGenerating() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->generating;
}

bool QVRScreenPreviewGenerator::cancelled() const
{
    return m_state->isCancelled();
}

bool QVRScreenPreviewGenerator::isDrawableSize(const QSizeF& size)
{
    const double width = size.width();
    const double height = size.height();
    if (!std::isfinite(width) || !std::isfinite(height) || width < 1 || height < 1)
        return false;
    // Whole pixels, by truncation.
    return std::floor(width) * std::floor(height) <= double(ImageUtils::maximumPixelCount);
}

QImage QVRScreenPreviewGenerator::decodePreviewFile(const QString& path, const QSize& scaledSize, Error* error)
{
    const QByteArray data = ImageUtils::readFile(path, error);
    if (data.isEmpty()) {
        if (error && error->message.isEmpty())
            *error = Error(ImageUtils::errorDomain, ImageUtils::CannotRead, QStringLiteral("%1 is empty").arg(path));
        return {};
    }
    const bool png = QFileInfo(path).suffix().compare(QLatin1String("png"), Qt::CaseInsensitive) == 0;
    const QByteArray format = png ? "png" : "jpeg";
    if (!scaledSize.isValid() || scaledSize.isEmpty()) {
        // The full check: content of the kind the name says, complete, within the pixel limit.
        Error readError;
        QImage image = ImageUtils::readImage(data, format, path, false, &readError);
        if (image.isNull() && error)
            *error = readError;
        return image;
    }
    const auto fail = [&](const QString& reason) {
        if (error)
            *error = Error(ImageUtils::errorDomain, ImageUtils::NotAnImage, QStringLiteral("%1: %2").arg(path, reason));
        return QImage();
    };
    // Decoding at the shown size lets the JPEG decoder skip detail it would throw away; the checks of the full
    // decoder are made here on the header and the data.
    QByteArray bytes = data;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    if (!reader.canRead())
        return fail(QStringLiteral("not a %1 image").arg(QString::fromLatin1(format)));
    const QSize header = reader.size();
    if (!header.isValid() || header.isEmpty() || !ImageUtils::isDecodable(header, format) ||
        qint64(scaledSize.width()) * scaledSize.height() > ImageUtils::maximumPixelCount)
        return fail(QStringLiteral("unusable picture size"));
    if (!png) {
        // A complete JPEG ends its last scan with an end-of-image marker.
        const qsizetype lastScan = data.lastIndexOf("\xFF\xDA");
        if (lastScan < 0 || data.indexOf("\xFF\xD9", lastScan + 2) < 0)
            return fail(QStringLiteral("the JPEG data is truncated"));
    }
    reader.setScaledSize(scaledSize);
    QImage image = reader.read();
    if (image.isNull())
        return fail(reader.errorString());
    return image;
}

QByteArray QVRScreenPreviewGenerator::encodeJpeg(const QImage& image)
{
    if (image.isNull())
        return {};
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(kJpegQuality);
    // The bitmaps are opaque: the writer reads their colour channels as they are.
    if (!writer.write(image)) {
        qCWarning(lcPreviews) << "cannot encode a screen preview:" << writer.errorString();
        return {};
    }
    return data;
}

void QVRScreenPreviewGenerator::setStoreDataForTesting(StoreFunction store)
{
    QMutexLocker lock(&hooksMutex());
    storeHook() = std::move(store);
}

void QVRScreenPreviewGenerator::setDrawProbeForTesting(std::function<void(bool)> probe)
{
    QMutexLocker lock(&hooksMutex());
    drawProbe() = std::move(probe);
}
