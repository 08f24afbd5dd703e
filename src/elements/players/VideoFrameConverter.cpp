#include "elements/players/VideoFrameConverter.h"

#include <QVideoFrame>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace {

struct Layout {
    AVPixelFormat format = AV_PIX_FMT_NONE;
    int planeOrder[3] = {0, 1, 2}; // frame plane for each scaler plane
    int planes = 0;
};

Layout layoutOf(QVideoFrameFormat::PixelFormat format)
{
    switch (format) {
    case QVideoFrameFormat::Format_YUV420P:
        return {AV_PIX_FMT_YUV420P, {0, 1, 2}, 3};
    case QVideoFrameFormat::Format_YV12:
        return {AV_PIX_FMT_YUV420P, {0, 2, 1}, 3};
    case QVideoFrameFormat::Format_YUV422P:
        return {AV_PIX_FMT_YUV422P, {0, 1, 2}, 3};
    case QVideoFrameFormat::Format_NV12:
        return {AV_PIX_FMT_NV12, {0, 1, 0}, 2};
    case QVideoFrameFormat::Format_NV21:
        return {AV_PIX_FMT_NV21, {0, 1, 0}, 2};
    default:
        return {};
    }
}

int colorSpaceOf(QVideoFrameFormat::ColorSpace space)
{
    switch (space) {
    case QVideoFrameFormat::ColorSpace_BT709:
        return SWS_CS_ITU709;
    case QVideoFrameFormat::ColorSpace_BT2020:
        return SWS_CS_BT2020;
    default:
        return SWS_CS_ITU601;
    }
}

QSize fitted(const QSize& size, const QSize& target)
{
    if (target.width() <= 0 || target.height() <= 0)
        return size;
    const QSize result = size.scaled(target, Qt::KeepAspectRatio);
    return result.expandedTo(QSize(1, 1));
}

} // namespace

VideoFrameConverter::~VideoFrameConverter()
{
    sws_freeContext(m_scaler);
}

QImage VideoFrameConverter::convert(const QVideoFrame& source, const QSize& target)
{
    if (!source.isValid())
        return {};
    const QSize output = fitted(source.size(), target);
    if (layoutOf(source.pixelFormat()).format != AV_PIX_FMT_NONE) {
        QVideoFrame frame = source;
        if (frame.map(QVideoFrame::ReadOnly)) {
            QImage image = convertWithScaler(frame, output);
            frame.unmap();
            if (!image.isNull())
                return image;
        }
    }
    QImage image = source.toImage();
    if (image.isNull())
        return {};
    if (image.size() != output)
        image = image.scaled(output, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage VideoFrameConverter::convertWithScaler(QVideoFrame& frame, const QSize& output)
{
    const Layout layout = layoutOf(frame.pixelFormat());
    const QSize size = frame.size();
    if (frame.planeCount() < layout.planes || size.isEmpty() || output.isEmpty())
        return {};
    m_scaler = sws_getCachedContext(m_scaler, size.width(), size.height(), layout.format, output.width(),
                                    output.height(), AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!m_scaler)
        return {};
    const QVideoFrameFormat format = frame.surfaceFormat();
    const int sourceRange = format.colorRange() == QVideoFrameFormat::ColorRange_Full ? 1 : 0;
    sws_setColorspaceDetails(m_scaler, sws_getCoefficients(colorSpaceOf(format.colorSpace())), sourceRange,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);

    const uint8_t* planes[4] = {nullptr, nullptr, nullptr, nullptr};
    int strides[4] = {0, 0, 0, 0};
    for (int i = 0; i < layout.planes; ++i) {
        planes[i] = frame.bits(layout.planeOrder[i]);
        strides[i] = frame.bytesPerLine(layout.planeOrder[i]);
        if (!planes[i] || strides[i] <= 0)
            return {};
    }
    // Format_RGB32 is 0xffRRGGBB in native order: B, G, R, A in memory on little-endian machines.
    QImage image(output, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    uint8_t* destination[4] = {image.bits(), nullptr, nullptr, nullptr};
    const int destinationStrides[4] = {int(image.bytesPerLine()), 0, 0, 0};
    if (sws_scale(m_scaler, planes, strides, 0, size.height(), destination, destinationStrides) <= 0)
        return {};
    return image;
}
