#pragma once

#include <QImage>
#include <QSize>

class QVideoFrame;
struct SwsContext;

// Turns decoded video frames into RGB images fitted inside a pixel size (keeping the aspect ratio), converting
// and scaling the common YUV layouts in one pass; other layouts go through QVideoFrame::toImage. One converter is
// used by one thread at a time; it keeps its scaler between frames of the same size and layout.
class VideoFrameConverter {
public:
    VideoFrameConverter() = default;
    ~VideoFrameConverter();
    VideoFrameConverter(const VideoFrameConverter&) = delete;
    VideoFrameConverter& operator=(const VideoFrameConverter&) = delete;

    // A Format_RGB32 image of the frame fitted inside `target` (the frame's own size for an empty target); null
    // for a frame that cannot be read.
    QImage convert(const QVideoFrame& frame, const QSize& target);

private:
    QImage convertWithScaler(QVideoFrame& frame, const QSize& output);

    SwsContext* m_scaler = nullptr;
};
