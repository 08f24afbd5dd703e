#include "elements/players/VideoPlayerLayer.h"

#include <utility>

#include <QElapsedTimer>
#include <QMutex>
#include <QPainter>
#include <QVideoFrame>
#include <QVideoSink>

#include "elements/players/VideoFrameConverter.h"
#include "elements/video/SerialDispatchQueue.h"
#include "platform/MainThread.h"

// What the delivering thread, the conversion queue and the main thread share, under the mutex.
struct VideoPlayerLayerFrames {
    QMutex mutex;
    VideoPlayerLayer* layer = nullptr;    // cleared by the layer's destructor
    SerialDispatchQueue* queue = nullptr; // the layer's; cleared before it is destroyed
    QSize targetPixels;
    QVideoFrame pendingFrame; // the newest frame not converted yet
    bool conversionQueued = false;
    QImage image;
    QSize frameSize;
    quint64 serial = 0; // frames converted since the last reset
    quint64 generation = 0;
    bool repaintQueued = false;
    VideoFrameConverter converter; // used on the conversion queue only
};

namespace {

// Runs on the conversion queue: converts the newest waiting frame, and again while newer ones came meanwhile.
// Frames that arrive faster than they are converted are dropped, oldest first.
void convertPendingFrames(const std::shared_ptr<VideoPlayerLayerFrames>& frames)
{
    for (;;) {
        QVideoFrame frame;
        QSize target;
        quint64 generation = 0;
        {
            QMutexLocker lock(&frames->mutex);
            if (!frames->layer || !frames->pendingFrame.isValid()) {
                frames->conversionQueued = false;
                frames->pendingFrame = QVideoFrame();
                return;
            }
            frame = std::exchange(frames->pendingFrame, QVideoFrame());
            target = frames->targetPixels;
            generation = frames->generation;
        }
        const QSize decoded = frame.size();
        QImage image = frames->converter.convert(frame, target);
        frame = QVideoFrame();
        if (image.isNull())
            continue;

        QMutexLocker lock(&frames->mutex);
        if (!frames->layer || frames->generation != generation)
            continue;
        frames->image = std::move(image);
        frames->frameSize = decoded;
        ++frames->serial;
        if (frames->repaintQueued)
            continue;
        frames->repaintQueued = true;
        // The layer cannot finish its destructor while the lock is held, so the context is alive here.
        VideoPlayerLayer* layer = frames->layer;
        MainThread::runAfter(0.0, layer, [layer] { QMetaObject::invokeMethod(layer, "frameArrived"); });
    }
}

// Runs on the thread that delivers the frame: only hands it over.
void frameDelivered(const std::shared_ptr<VideoPlayerLayerFrames>& frames, const QVideoFrame& frame)
{
    if (!frame.isValid())
        return;
    QMutexLocker lock(&frames->mutex);
    if (!frames->layer || !frames->queue)
        return;
    frames->pendingFrame = frame;
    if (frames->conversionQueued)
        return;
    frames->conversionQueued = true;
    frames->queue->async([frames] { convertPendingFrames(frames); });
}

} // namespace

VideoPlayerLayer::VideoPlayerLayer(QWidget* parent)
    : QWidget(parent)
    , m_frames(std::make_shared<VideoPlayerLayerFrames>())
    , m_conversionQueue(std::make_unique<SerialDispatchQueue>(QStringLiteral("video frame conversion")))
{
    m_frames->layer = this;
    m_frames->queue = m_conversionQueue.get();
    setAttribute(Qt::WA_OpaquePaintEvent);
    updateTargetSize();
}

VideoPlayerLayer::~VideoPlayerLayer()
{
    QObject::disconnect(m_sinkConnection);
    {
        QMutexLocker lock(&m_frames->mutex);
        m_frames->layer = nullptr;
        m_frames->queue = nullptr;
        m_frames->pendingFrame = QVideoFrame();
    }
    // Waits for a conversion in progress, which finds the layer gone.
    m_conversionQueue.reset();
}

void VideoPlayerLayer::attachToSink(QVideoSink* sink)
{
    QObject::disconnect(m_sinkConnection);
    if (!sink)
        return;
    const auto frames = m_frames;
    // Direct: the delivering thread (the main thread with some back ends) only hands the frame to the queue.
    m_sinkConnection = connect(
        sink, &QVideoSink::videoFrameChanged, sink,
        [frames](const QVideoFrame& frame) { frameDelivered(frames, frame); }, Qt::DirectConnection);
}

void VideoPlayerLayer::resetFrames()
{
    {
        QMutexLocker lock(&m_frames->mutex);
        ++m_frames->generation;
        m_frames->pendingFrame = QVideoFrame();
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
    // Laid out turned: the frame's sides swap with an odd number of quarter turns.
    const bool sideways = m_quarterTurns % 2 == 1;
    const QSizeF area = sideways ? QSizeF(size()).transposed() : QSizeF(size());
    QSizeF shown = QSizeF(image.size()) / ratio;
    shown = shown.scaled(area, Qt::KeepAspectRatio);
    painter.translate(width() / 2.0, height() / 2.0);
    painter.rotate(90.0 * m_quarterTurns);
    const QRectF target(QPointF(-shown.width() / 2, -shown.height() / 2), shown);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image);
    if (serial != m_paintedSerial) {
        m_paintedSerial = serial;
        ++m_paintedFrames;
        m_totalPaintMilliseconds += double(timer.nsecsElapsed()) / 1e6;
    }
}

void VideoPlayerLayer::setQuarterTurns(int turns)
{
    turns = ((turns % 4) + 4) % 4;
    if (turns == m_quarterTurns)
        return;
    m_quarterTurns = turns;
    updateTargetSize();
    QWidget::update();
}

void VideoPlayerLayer::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    updateTargetSize();
}

void VideoPlayerLayer::updateTargetSize()
{
    const double ratio = devicePixelRatioF() > 0 ? devicePixelRatioF() : 1.0;
    // Frames are converted for the area they are drawn into before they are turned.
    const QSize area = m_quarterTurns % 2 == 1 ? size().transposed() : size();
    QMutexLocker lock(&m_frames->mutex);
    m_frames->targetPixels = QSize(qRound(area.width() * ratio), qRound(area.height() * ratio));
}
