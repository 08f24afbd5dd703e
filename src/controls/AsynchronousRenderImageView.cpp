#include "controls/AsynchronousRenderImageView.h"

#include <algorithm>
#include <cmath>

#include <QCoreApplication>
#include <QImageReader>
#include <QMutex>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include "controls/ControlsLogging.h"
#include "controls/ViewUtils.h"
#include "platform/WorkerThreads.h"
#include "platform/MainThread.h"

namespace {

// The renderer's serial queue.
WorkerThreads& renderQueue()
{
    static WorkerThreads queue(1, QStringLiteral("image render"), WorkerThreads::AtApplicationEnd::Stop);
    return queue;
}

QMutex& observerMutex()
{
    static QMutex mutex;
    return mutex;
}

std::function<void(bool)>& decodeObserver()
{
    static std::function<void(bool)> observer;
    return observer;
}

} // namespace

AsynchronousRenderImageView::AsynchronousRenderImageView(QWidget* parent)
    : QWidget(parent)
    , m_generation(std::make_shared<std::atomic<quint64>>(0))
{
    setAttribute(Qt::WA_TranslucentBackground);
}

AsynchronousRenderImageView::AsynchronousRenderImageView(const QRect& frame, QWidget* parent)
    : AsynchronousRenderImageView(parent)
{
    setGeometry(frame);
}

AsynchronousRenderImageView::~AsynchronousRenderImageView()
{
    ++*m_generation; // queued work for this view becomes stale and stops early
}

void AsynchronousRenderImageView::setDecodeObserverForTesting(std::function<void(bool onMainThread)> observer)
{
    QMutexLocker lock(&observerMutex());
    decodeObserver() = std::move(observer);
}

void AsynchronousRenderImageView::setImagePath(const QString& path)
{
    m_imagePath = path;
    if (path.isEmpty()) {
        ++*m_generation;
        m_rendered = QImage();
        update();
        return;
    }
    scheduleRender();
}

void AsynchronousRenderImageView::setContentMode(int mode)
{
    if (mode == m_contentMode)
        return;
    m_contentMode = mode;
    ViewUtils::setContentMode(this, mode);
    scheduleRender();
}

void AsynchronousRenderImageView::redrawContents()
{
    scheduleRender();
}

void AsynchronousRenderImageView::showImageNow(const QImage& image)
{
    ++*m_generation;
    const qreal dpr = devicePixelRatioF();
    const QSize pixels(int(std::ceil(width() * dpr)), int(std::ceil(height() * dpr)));
    m_rendered = renderForContentMode(image, pixels, m_contentMode);
    m_rendered.setDevicePixelRatio(dpr);
    update();
}

void AsynchronousRenderImageView::scheduleRender()
{
    // Several changes in one turn (path, mode, size) make one render.
    if (m_renderScheduled)
        return;
    m_renderScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_renderScheduled = false;
        startRender();
    });
}

void AsynchronousRenderImageView::startRender()
{
    if (m_imagePath.isEmpty())
        return;
    const quint64 generation = ++*m_generation;
    const qreal dpr = devicePixelRatioF();
    const QSize pixels(int(std::ceil(width() * dpr)), int(std::ceil(height() * dpr)));
    const QString path = m_imagePath;
    const int mode = m_contentMode;
    auto generationCounter = m_generation;
    QPointer<AsynchronousRenderImageView> self(this);

    renderQueue().post([=] {
        if (generationCounter->load() != generation)
            return;
        {
            QMutexLocker lock(&observerMutex());
            QCoreApplication* app = QCoreApplication::instance();
            if (decodeObserver() && app)
                decodeObserver()(QThread::currentThread() == app->thread());
        }
        QImageReader reader(path);
        reader.setAutoTransform(true);
        QImage source = reader.read();
        if (source.isNull())
            qCWarning(lcControls) << "cannot read image" << path << reader.errorString();
        QImage result;
        if (!source.isNull() && generationCounter->load() == generation) {
            result = renderForContentMode(source, pixels, mode);
            result.setDevicePixelRatio(dpr);
        }
        QCoreApplication* app = QCoreApplication::instance();
        if (!app || generationCounter->load() != generation)
            return;
        // `self` is only dereferenced on the main thread.
        MainThread::run(
            [self, generation, result] {
                if (self)
                    self->takeResult(generation, result);
            },
            false);
    });
}

void AsynchronousRenderImageView::takeResult(quint64 generation, const QImage& image)
{
    if (generation != m_generation->load())
        return;
    m_rendered = image;
    update();
    emit contentsRendered();
}

QImage AsynchronousRenderImageView::renderForContentMode(const QImage& source, const QSize& pixelSize, int contentMode)
{
    if (source.isNull() || pixelSize.isEmpty())
        return {};
    QImage canvas(pixelSize, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSizeF sourceSize = source.size();
    QRectF target(QPointF(0, 0), QSizeF(pixelSize));
    if (contentMode == ViewUtils::ContentModeScaleAspectFit || contentMode == ViewUtils::ContentModeScaleAspectFill) {
        const QSizeF scaled = sourceSize.scaled(QSizeF(pixelSize), contentMode == ViewUtils::ContentModeScaleAspectFit
                                                                       ? Qt::KeepAspectRatio
                                                                       : Qt::KeepAspectRatioByExpanding);
        target = QRectF(
            QPointF((pixelSize.width() - scaled.width()) / 2.0, (pixelSize.height() - scaled.height()) / 2.0), scaled);
    }
    painter.drawImage(target, source);
    return canvas;
}

void AsynchronousRenderImageView::setCornerRadius(qreal radius, bool topCornersOnly)
{
    m_cornerRadius = std::max<qreal>(0, radius);
    m_topCornersOnly = topCornersOnly;
    update();
}

void AsynchronousRenderImageView::setBorderColor(const QColor& color)
{
    m_borderColor = color;
    update();
}

void AsynchronousRenderImageView::paintEvent(QPaintEvent*)
{
    if (m_rendered.isNull() && !m_borderColor.isValid())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF bounds(rect());
    if (m_cornerRadius > 0) {
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath clip;
        clip.addRoundedRect(bounds, m_cornerRadius, m_cornerRadius);
        if (m_topCornersOnly) {
            // Square below the corners' height: only the top two are rounded.
            QPainterPath lower;
            lower.addRect(bounds.adjusted(0, std::min(m_cornerRadius, bounds.height()), 0, 0));
            clip = clip.united(lower);
        }
        painter.setClipPath(clip);
    }
    // Until the render for a new size arrives, the old result is stretched over the bounds.
    if (!m_rendered.isNull())
        painter.drawImage(bounds, m_rendered);
    if (m_borderColor.isValid()) {
        painter.setClipping(false);
        painter.setPen(QPen(m_borderColor, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5));
    }
}

void AsynchronousRenderImageView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!m_imagePath.isEmpty())
        scheduleRender();
}
