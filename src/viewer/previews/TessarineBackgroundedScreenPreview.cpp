#include "viewer/previews/TessarineBackgroundedScreenPreview.h"

#include <cmath>
#include <utility>

#include <QFileInfo>
#include <QPainter>

#include "foundation/BlockTimer.h"
#include "platform/MainThread.h"
#include "platform/WorkerThreads.h"
#include "storage/ContentAssetStorage.h"
#include "storage/ZERI_WebDownloader.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "viewer/previews/PreviewRenderThread.h"
#include "viewer/previews/PreviewsLogging.h"
#include "viewer/previews/QVRScreenPreviewGenerator.h"

namespace {

const QString kNormalImageKey = QStringLiteral("PreviewScreenImageRef");
const QString kTextlessImageKey = QStringLiteral("PreviewScreenImageRef_textless");

// Keys whose changes say nothing new about what the screen looks like: the request itself and the results it
// stores. Reacting to them would make every finished request ask for another.
bool onlyPreviewBookkeeping(const QSet<QString>& keys)
{
    static const QSet<QString> ignored{QStringLiteral("gettingScreenPreview"), QStringLiteral("previewScreenShot"),
                                       QStringLiteral("previewScreenShot_textless"),
                                       QStringLiteral("previewInvalidated")};
    for (const QString& key : keys) {
        if (!ignored.contains(key))
            return false;
    }
    return true;
}

// Threads of their own for decoding stored pictures, made on first use (on the main thread); decodings not yet
// started when the application object goes are dropped.
WorkerThreads& storedPictureThreads()
{
    Q_ASSERT(MainThread::isMainThread());
    static WorkerThreads threads(2, QStringLiteral("stored previews"), WorkerThreads::AtApplicationEnd::Stop);
    return threads;
}

} // namespace

TessarineBackgroundedScreenPreview::TessarineBackgroundedScreenPreview(
    const QRect& frame, const std::shared_ptr<ZERI_FlowScreenModel>& screen, double /*scale*/, bool drawText,
    QWidget* parent)
    : TessarineBackgroundedScreenPreview(frame, screen, drawText, StoredPicture::DecodeNow, parent)
{
}

TessarineBackgroundedScreenPreview::TessarineBackgroundedScreenPreview(
    const QRect& frame, const std::shared_ptr<ZERI_FlowScreenModel>& screen, bool drawText, StoredPicture storedPicture,
    QWidget* parent)
    : QWidget(parent)
    , m_drawText(drawText)
{
    setGeometry(frame);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    m_decodeWhenShown = storedPicture == StoredPicture::DecodeWhenShown;
    setScreenModel(screen);
    if (m_decodeWhenShown)
        return;
    if (storedPicture == StoredPicture::DecodeInBackground) {
        decodeStoredPictureInBackground();
        return;
    }
    const QImage picture = attemptToCreateCachedPreviewImageFromModel();
    if (!picture.isNull())
        showPicture(picture);
}

TessarineBackgroundedScreenPreview::TessarineBackgroundedScreenPreview(
    const QRect& frame, const std::shared_ptr<ZERI_FlowScreenModel>& screen, QWidget* parent)
    : TessarineBackgroundedScreenPreview(frame, screen, 1.0, true, parent)
{
}

TessarineBackgroundedScreenPreview::TessarineBackgroundedScreenPreview(
    const QRect& frame, const std::shared_ptr<ZERI_FlowScreenModel>& screen, double /*scale*/, QWidget* parent)
    : TessarineBackgroundedScreenPreview(frame, screen, parent)
{
}

TessarineBackgroundedScreenPreview::TessarineBackgroundedScreenPreview(
    const QRect& frame, const std::shared_ptr<ZERI_FlowScreenModel>& screen, double /*scale*/, const QString& /*theme*/,
    QWidget* parent)
    : TessarineBackgroundedScreenPreview(frame, screen, parent)
{
}

TessarineBackgroundedScreenPreview::~TessarineBackgroundedScreenPreview()
{
    setShownAsCurrent(false);
    delete m_updateTimer.data();
}

void TessarineBackgroundedScreenPreview::setShownAsCurrent(bool current)
{
    const auto screen = m_weakScreenModel.obj();
    const bool marks = current && screen;
    const bool sameScreen = !m_currentKey.owner_before(screen) && !screen.owner_before(m_currentKey);
    if (marks == m_marksCurrent && (!marks || sameScreen))
        return;
    if (m_marksCurrent)
        PreviewRenderThread::shared().setCurrent(m_currentKey, false);
    m_marksCurrent = marks;
    m_currentKey = marks ? std::weak_ptr<const void>(screen) : std::weak_ptr<const void>();
    if (m_marksCurrent)
        PreviewRenderThread::shared().setCurrent(m_currentKey, true);
}

void TessarineBackgroundedScreenPreview::setScreenModel(const std::shared_ptr<ZERI_FlowScreenModel>& screen)
{
    if (m_weakScreenModel.obj() == screen)
        return;
    const bool current = shownAsCurrent();
    setShownAsCurrent(false);
    m_screenModelObserver.reset();
    m_objectObservers.clear();
    m_previewObservation.reset();
    delete m_updateTimer.data();
    if (m_decodingStoredPicture) {
        ++m_storedPictureDecoding;
        m_decodingStoredPicture = false;
        emit storedPictureDecoded();
    }
    m_weakScreenModel = ZeroingWeakReference<ZERI_FlowScreenModel>::referenceWithObject(screen);
    if (!screen)
        return;
    setShownAsCurrent(current);
    QPointer<TessarineBackgroundedScreenPreview> self(this);
    m_screenModelObserver =
        screen->updateNotifier().addObservationBlock([self](const void*, const QSet<QString>& keys) {
            if (self)
                self->screenChanged(keys);
        });
    observeObjects();
    if (m_wasShown)
        m_previewObservation = NotificationObservation(ZERI_FlowScreenModel::kPreviewScreenshotGetNotification,
                                                       screen.get(), [self](const Notification& notification) {
                                                           if (self)
                                                               self->previewScreenshotGotten(notification);
                                                       });
}

void TessarineBackgroundedScreenPreview::observeObjects()
{
    m_objectObservers.clear();
    const auto screen = m_weakScreenModel.obj();
    if (!screen)
        return;
    // The screen reports its own properties; its objects report theirs (moves, resizes, edits).
    QPointer<TessarineBackgroundedScreenPreview> self(this);
    for (const auto& proxy : screen->mixedMediaObjects()) {
        if (!proxy || !proxy->object())
            continue;
        m_objectObservers.push_back(
            proxy->object()->updateNotifier().addObservationBlock([self](const void*, const QSet<QString>& keys) {
                if (self)
                    self->screenChanged(keys);
            }));
    }
}

void TessarineBackgroundedScreenPreview::screenChanged(const QSet<QString>& changedKeys)
{
    if (changedKeys.contains(QStringLiteral("mixedMediaObjects")))
        observeObjects();
    if (onlyPreviewBookkeeping(changedKeys) || !m_weakScreenModel.obj())
        return;
    // Each change restarts the wait: a burst of changes costs one request.
    delete m_updateTimer.data();
    QPointer<TessarineBackgroundedScreenPreview> self(this);
    m_updateTimer = new BlockTimer(
        [self] {
            if (!self)
                return;
            if (self->m_updateTimer)
                self->m_updateTimer->deleteLater();
            self->m_updateTimer = nullptr;
            self->requestPreviews();
        },
        1, 0, kUpdateDelaySeconds, this);
}

void TessarineBackgroundedScreenPreview::requestPreviews()
{
    const auto screen = m_weakScreenModel.obj();
    if (!screen)
        return;
    // A request already under way drew the screen as it was before these changes, and the screen takes no
    // second one meanwhile: ask again once its result is in.
    if (screen->gettingScreenPreview()) {
        m_requestAgainWhenDone = true;
        return;
    }
    screen->getScreenPreviewImages();
}

void TessarineBackgroundedScreenPreview::requestPendingPreviews()
{
    if (!m_updateTimer)
        return;
    delete m_updateTimer.data();
    requestPreviews();
}

QString TessarineBackgroundedScreenPreview::storedPicturePath()
{
    const auto screen = m_weakScreenModel.obj();
    if (!screen)
        return {};
    auto asset = m_drawText ? screen->previewScreenShotAsset() : screen->previewScreenShotAsset_textless();
    if (!asset && !m_drawText) {
        asset = screen->previewScreenShotAsset();
        m_drewNormalPreviewWhenTextlessPreviewWasRequested = asset != nullptr;
    }
    if (!asset) {
        m_drewNormalPreviewWhenTextlessPreviewWasRequested = false;
        return {};
    }
    // A local file is read where it lies; a remote one from its downloader's file, once that is on disk.
    QString path = asset->localFilePath();
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        const auto downloader = ContentAssetStorage::downloader(*asset);
        path = downloader && downloader->fileExists() ? downloader->filepath() : QString();
    }
    return path;
}

QImage TessarineBackgroundedScreenPreview::attemptToCreateCachedPreviewImageFromModel()
{
    const QString path = storedPicturePath();
    if (path.isEmpty())
        return {};
    Error error;
    const QImage picture = QVRScreenPreviewGenerator::decodePreviewFile(path, pictureSize(), &error);
    if (picture.isNull())
        qCWarning(lcPreviews).noquote() << QStringLiteral("error!? grabbing file: %1").arg(error.message);
    return picture;
}

void TessarineBackgroundedScreenPreview::decodeStoredPictureInBackground()
{
    const QString path = storedPicturePath();
    if (path.isEmpty())
        return;
    m_decodingStoredPicture = true;
    QPointer<TessarineBackgroundedScreenPreview> self(this);
    const QSize size = pictureSize();
    const quint64 decoding = ++m_storedPictureDecoding;
    // The worker sees only the path and the size; the picture comes back through the main thread's queue.
    const bool posted = storedPictureThreads().post([self, path, size, decoding] {
        Error error;
        QImage picture = QVRScreenPreviewGenerator::decodePreviewFile(path, size, &error);
        MainThread::run(
            [self, picture = std::move(picture), problem = error.message, decoding] {
                // A picture of a screen the view no longer shows is dropped.
                if (self && self->m_storedPictureDecoding == decoding)
                    self->storedPictureArrived(picture, problem);
            },
            false);
    });
    if (!posted)
        storedPictureArrived(attemptToCreateCachedPreviewImageFromModel(), QString());
}

void TessarineBackgroundedScreenPreview::storedPictureArrived(const QImage& picture, const QString& problem)
{
    m_decodingStoredPicture = false;
    if (picture.isNull() && !problem.isEmpty())
        qCWarning(lcPreviews).noquote() << QStringLiteral("error!? grabbing file: %1").arg(problem);
    // A picture the screen sent meanwhile is newer than the stored one; a view out of sight that holds pictures
    // only in sight keeps none and reads it again when painted.
    if (!picture.isNull() && m_picture.isNull()) {
        if (m_holdsPictureOnlyInSight && outOfSight())
            m_pictureSetAside = true;
        else
            showPicture(picture);
    }
    // A shown view without a usable stored picture asks its screen for one, as it would have on showing.
    const auto screen = m_weakScreenModel.obj();
    if (m_wasShown && screen && ((m_picture.isNull() && !m_pictureSetAside) || screen->previewInvalidated()))
        screen->getScreenPreviewImages();
    emit storedPictureDecoded();
}

void TessarineBackgroundedScreenPreview::previewScreenshotGotten(const Notification& notification)
{
    const QVariant value = notification.userInfo.value(m_drawText ? kNormalImageKey : kTextlessImageKey);
    const QImage picture = value.value<QImage>();
    if (m_drewNormalPreviewWhenTextlessPreviewWasRequested && !m_drawText && !picture.isNull()) {
        qCInfo(lcPreviews) << "Replacing a normal preview with a textless preview.";
        m_drewNormalPreviewWhenTextlessPreviewWasRequested = false;
        showPicture(picture);
    }
    if (!picture.isNull()) {
        // Outside a window an empty view stays empty; out of sight, one that holds pictures only in sight reads
        // the stored picture when it is painted.
        if (mayLetPictureGo())
            setPictureAside();
        else if (isVisible() || !m_picture.isNull())
            showPicture(picture);
    }
    if (m_delegate)
        m_delegate->previewFinishedGenerating(this);
    if (m_requestAgainWhenDone) {
        m_requestAgainWhenDone = false;
        requestPreviews();
    }
}

QRectF TessarineBackgroundedScreenPreview::cleanupBounds(const QRectF& bounds, const QRectF& bitmapContextBounds)
{
    const double w = std::floor(bounds.width());
    const double h = std::floor(bounds.height());
    if (!(w > 0) || !(h > 0) || !(bitmapContextBounds.height() > 0) || !std::isfinite(w) || !std::isfinite(h))
        return bounds;
    const double ratio = bitmapContextBounds.width() / bitmapContextBounds.height();
    if (w / h == ratio)
        return bounds;
    const double orig = w / h - ratio;
    const double plus1 = (w + 1) / (h + 1) - ratio;
    const bool canShrink = w > 1 && h > 1;
    const double minus1 = canShrink ? (w - 1) / (h - 1) - ratio : INFINITY;
    const double lowest = std::min({std::abs(orig), std::abs(plus1), std::abs(minus1)});
    qCInfo(lcPreviews).noquote() << QString::asprintf(
        "attempting to get better ratio!!!\norig:%f\nplus1:%f\nminus1:%f\nlowest:%f", orig, plus1, minus1, lowest);
    if (std::abs(plus1) < std::abs(orig) && std::abs(plus1) <= std::abs(minus1))
        return QRectF(0, 0, w + 1, h + 1);
    if (std::abs(minus1) < std::abs(orig))
        return QRectF(0, 0, w - 1, h - 1);
    return bounds;
}

void TessarineBackgroundedScreenPreview::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_wasShown)
        return;
    // The first time the view is shown it starts following its screen's previews.
    m_wasShown = true;
    const auto screen = m_weakScreenModel.obj();
    if (!screen)
        return;
    if (std::exchange(m_decodeWhenShown, false) && m_picture.isNull())
        decodeStoredPictureInBackground();
    QPointer<TessarineBackgroundedScreenPreview> self(this);
    m_previewObservation = NotificationObservation(ZERI_FlowScreenModel::kPreviewScreenshotGetNotification,
                                                   screen.get(), [self](const Notification& notification) {
                                                       if (self)
                                                           self->previewScreenshotGotten(notification);
                                                   });
    // A stored picture still being decoded asks, if need be, once it is in.
    if (!m_decodingStoredPicture && (m_picture.isNull() || screen->previewInvalidated()))
        screen->getScreenPreviewImages();
}

void TessarineBackgroundedScreenPreview::paintEvent(QPaintEvent* /*event*/)
{
    // Painted where it shows means in view: the screen's previews go ahead of those of screens out of view. (A
    // view the scroll area clips away may still be asked to paint with its parent.)
    if (const auto screen = m_weakScreenModel.obj(); screen && !outOfSight())
        PreviewRenderThread::shared().noteInSight(screen);
    if (m_picture.isNull() && m_pictureSetAside && !m_decodingStoredPicture) {
        // Back in sight: the picture set aside is read again.
        m_pictureSetAside = false;
        decodeStoredPictureInBackground();
        if (!m_decodingStoredPicture)
            requestPreviews();
    }
    const QSize target = pictureSize();
    if (m_picture.isNull() || target.isEmpty())
        return;
    if (m_scaledPicture.size() != target) {
        m_scaledPicture = m_picture.size() == target
                              ? m_picture
                              : m_picture.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    // Device pixel for device pixel: the picture is drawn into the view's logical rectangle.
    QPainter painter(this);
    painter.drawImage(QRectF(rect()), m_scaledPicture);
}

QSize TessarineBackgroundedScreenPreview::pictureSize() const
{
    return (QSizeF(size()) * devicePixelRatioF()).toSize();
}

bool TessarineBackgroundedScreenPreview::outOfSight() const
{
    return visibleRegion().isEmpty();
}

bool TessarineBackgroundedScreenPreview::mayLetPictureGo()
{
    return m_holdsPictureOnlyInSight && outOfSight() && !storedPicturePath().isEmpty();
}

void TessarineBackgroundedScreenPreview::setPictureAside()
{
    m_picture = QImage();
    m_scaledPicture = QImage();
    ++m_pictureScaling;
    m_pictureSetAside = true;
}

void TessarineBackgroundedScreenPreview::releasePictureOutOfSight()
{
    if (!m_picture.isNull() && mayLetPictureGo())
        setPictureAside();
}

void TessarineBackgroundedScreenPreview::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // A picture held smaller than the view now is asked for again at full size.
    const QSize target = pictureSize();
    if (m_pictureReduced && !m_picture.isNull() &&
        (m_picture.width() < target.width() || m_picture.height() < target.height()))
        requestPreviews();
    prepareScaledPicture();
}

void TessarineBackgroundedScreenPreview::showPicture(const QImage& picture)
{
    m_picture = picture;
    m_pictureReduced = false;
    m_pictureSetAside = false;
    m_scaledPicture = QImage();
    prepareScaledPicture();
    update();
}

void TessarineBackgroundedScreenPreview::prepareScaledPicture()
{
    const quint64 scaling = ++m_pictureScaling;
    const QSize target = pictureSize();
    if (m_picture.isNull() || target.isEmpty() || m_picture.size() == target || m_scaledPicture.size() == target)
        return;
    QPointer<TessarineBackgroundedScreenPreview> self(this);
    // The worker sees only a copy of the picture and the size; the result comes back through the main thread's
    // queue and is kept only while the view still shows that picture at that size. A picture larger than the
    // view is then held at the view's size only: a strip of many views keeps no full-size pictures.
    storedPictureThreads().post([self, picture = m_picture, target, scaling] {
        QImage scaled = picture.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        MainThread::run(
            [self, scaled = std::move(scaled), scaling] {
                if (!self || self->m_pictureScaling != scaling || self->pictureSize() != scaled.size())
                    return;
                self->m_scaledPicture = scaled;
                if (self->m_picture.width() > scaled.width() || self->m_picture.height() > scaled.height()) {
                    self->m_picture = scaled;
                    self->m_pictureReduced = true;
                }
            },
            false);
    });
}
