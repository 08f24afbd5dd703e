#include "elements/players/VideoPlayerLayer.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QPainter>
#include <QVideoFrame>
#include <QVideoSink>

#include "platform/MainThread.h"

// What the delivering thread and the main thread share, under the mutex.
struct VideoPlayerLayerFrames {
    QMutex mutex;
    VideoPlayerLayer* layer = nullptr; // cleared by the layer's destructor
    QSize targetPixels;
    QImage image;
    QSize frameSize;
    quint64 serial = 0; // frames converted since the last reset
    quint64 generation = 0;
    bool repaintQueued = false;
};

namespace {

// Runs on the thread that delivers the frame.
void convertFrame(const std::shared_ptr<VideoPlayerLayerFrames>& frames, const QVideoFrame& frame)
{
    if (!frame.isValid())
        return;
    QSize target;
    quint64 generation = 0;
    {
        QMutexLocker lock(&frames->mutex);
        if (!frames->layer)
            return;
        target = frames->targetPixels;
        generation = frames->generation;
    }
    QImage image = frame.toImage();
    if (image.isNull())
        return;
    const QSize decoded = image.size();
    if (target.width() > 0 && target.height() > 0 && image.size() != image.size().scaled(target, Qt::KeepAspectRatio))
        image = image.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    image = image.convertToFormat(QImage::Format_RGB32);

    QMutexLocker lock(&frames->mutex);
    if (!frames->layer || frames->generation != generation)
        return;
    frames->image = std::move(image);
    frames->frameSize = decoded;
    ++frames->serial;
    if (frames->repaintQueued)
        return;
    frames->repaintQueued = true;
    // The layer cannot finish its destructor while the lock is held, so the context is alive here.
    VideoPlayerLayer* layer = frames->layer;
    MainThread::runAfter(0.0, layer, [layer] { QMetaObject::invokeMethod(layer, "frameArrived"); });
}

} // namespace

VideoPlayerLayer::VideoPlayerLayer(QWidget* parent)
    : QWidget(parent)
    , m_frames(std::make_shared<VideoPlayerLayerFrames>())
{
    m_frames->layer = this;
    setAttribute(Qt::WA_OpaquePaintEvent);
    updateTargetSize();
}

VideoPlayerLayer::~VideoPlayerLayer()
{
    QObject::disconnect(m_sinkConnection);
    QMutexLocker lock(&m_frames->mutex);
    m_frames->layer = nullptr;
}

void VideoPlayerLayer::attachToSink(QVideoSink* sink)
{
    QObject::disconnect(m_sinkConnection);
    if (!sink)
        return;
    const auto frames = m_frames;
    // Direct: the conversion runs on the delivering thread, whichever it is.
    m_sinkConnection = connect(
        sink, &QVideoSink::videoFrameChanged, sink, [frames](const QVideoFrame& frame) { convertFrame(frames, frame); },
        Qt::DirectConnection);
}

void VideoPlayerLayer::resetFrames()
{
    {
        QMutexLocker lock(&m_frames->mutex);
        ++m_frames->generation;
        m_frames->image = QImage();
        m_frames->frameSize = QSize();
        m_frames->serial = 0;
    }
    m_announcedReady = false;
    m_paintedSerial = 0;
    QWidget::update();
}

bool VideoPlayerLayer::hasFrame() const
{
    QMutexLocker lock(&m_frames->mutex);
    return m_frames->serial > 0;
}

QSize VideoPlayerLayer::frameSize() const
{
    QMutexLocker lock(&m_frames->mutex);
    return m_frames->frameSize;
}

QImage VideoPlayerLayer::currentImage() const
{
    QMutexLocker lock(&m_frames->mutex);
    return m_frames->image;
}

double VideoPlayerLayer::meanPaintMilliseconds() const
{
    return m_paintedFrames ? m_totalPaintMilliseconds / double(m_paintedFrames) : 0.0;
}

void VideoPlayerLayer::frameArrived()
{
    bool first = false;
    {
        QMutexLocker lock(&m_frames->mutex);
        m_frames->repaintQueued = false;
        first = m_frames->serial > 0 && !m_announcedReady;
    }
    QWidget::update();
    if (first) {
        m_announcedReady = true;
        emit readyForDisplay();
    }
}

void VideoPlayerLayer::paintEvent(QPaintEvent*)
{
    QElapsedTimer timer;
    timer.start();
    QImage image;
    quint64 serial = 0;
    {
        QMutexLocker lock(&m_frames->mutex);
        image = m_frames->image;
        serial = m_frames->serial;
    }
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (image.isNull())
        return;
    const double ratio = devicePixelRatioF() > 0 ? devicePixelRatioF() : 1.0;
    QSizeF shown = QSizeF(image.size()) / ratio;
    shown = shown.scaled(QSizeF(size()), Qt::KeepAspectRatio);
    const QRectF target(QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image);
    if (serial != m_paintedSerial) {
        m_paintedSerial = serial;
        ++m_paintedFrames;
        m_totalPaintMilliseconds += double(timer.nsecsElapsed()) / 1e6;
    }
}

void VideoPlayerLayer::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    updateTargetSize();
}

void VideoPlayerLayer::updateTargetSize()
{
    const double ratio = devicePixelRatioF() > 0 ? devicePixelRatioF() : 1.0;
    QMutexLocker lock(&m_frames->mutex);
    m_frames->targetPixels = QSize(qRound(width() * ratio), qRound(height() * ratio));
}
