#pragma once

#include <memory>

#include <QImage>
#include <QWidget>

class QVideoSink;
class SerialDispatchQueue;
struct VideoPlayerLayerFrames;

// The picture of the full-window video player: the newest frame of a video sink, turned by the clip's quarter
// turns (setQuarterTurns), fitted inside the widget keeping its aspect ratio and centred on black. Each frame is
// converted to an RGB image at the widget's pixel size on a conversion queue of the layer's own (frames that come
// faster are dropped, oldest first), so the main thread only paints a ready image. It is an ordinary widget, so
// grabbing the window shows the picture.
class VideoPlayerLayer : public QWidget {
    Q_OBJECT
public:
    explicit VideoPlayerLayer(QWidget* parent = nullptr);
    ~VideoPlayerLayer() override;

    // Shows the frames of `sink` from now on (none: shows black). The sink must outlive the layer or be detached
    // first.
    void attachToSink(QVideoSink* sink);
    // Forgets the frame shown and waits for a new first frame (a new source).
    void resetFrames();
    // Frames are shown turned clockwise by this many quarter turns: the display matrix of a clip filmed with a
    // phone held upright.
    void setQuarterTurns(int turns);
    int quarterTurns() const { return m_quarterTurns; }

    // Whether a frame arrived since the last reset: the picture can be shown.
    bool hasFrame() const;
    // The size of the last frame as decoded, and the image painted.
    QSize frameSize() const;
    QImage currentImage() const;
    // Frames painted since creation, and their mean paint time in milliseconds.
    quint64 paintedFrames() const { return m_paintedFrames; }
    double meanPaintMilliseconds() const;

signals:
    // The first frame after a reset has arrived (main thread).
    void readyForDisplay();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    Q_INVOKABLE void frameArrived();
    void updateTargetSize();

    std::shared_ptr<VideoPlayerLayerFrames> m_frames;
    std::unique_ptr<SerialDispatchQueue> m_conversionQueue;
    QMetaObject::Connection m_sinkConnection;
    bool m_announcedReady = false;
    quint64 m_paintedFrames = 0;
    quint64 m_paintedSerial = 0;
    double m_totalPaintMilliseconds = 0;
    int m_quarterTurns = 0;
};
