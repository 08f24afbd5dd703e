#include <gtest/gtest.h>

#include <cstring>

#include <QVideoFrame>
#include <QVideoFrameFormat>

#include "elements/players/VideoFrameConverter.h"

namespace {

// A frame of one colour given as limited-range Y, Cb, Cr, in a planar or semi-planar layout.
QVideoFrame solidFrame(QVideoFrameFormat::PixelFormat pixelFormat, const QSize& size, int y, int cb, int cr,
                       QVideoFrameFormat::ColorSpace space = QVideoFrameFormat::ColorSpace_BT601)
{
    QVideoFrameFormat format(size, pixelFormat);
    format.setColorSpace(space);
    format.setColorRange(QVideoFrameFormat::ColorRange_Video);
    QVideoFrame frame(format);
    if (!frame.map(QVideoFrame::WriteOnly))
        return {};
    const int chromaRows = size.height() / 2;
    for (int row = 0; row < size.height(); ++row)
        std::memset(frame.bits(0) + row * frame.bytesPerLine(0), y, size_t(size.width()));
    if (pixelFormat == QVideoFrameFormat::Format_NV12) {
        for (int row = 0; row < chromaRows; ++row) {
            uchar* line = frame.bits(1) + row * frame.bytesPerLine(1);
            for (int column = 0; column < size.width() / 2; ++column) {
                line[2 * column] = uchar(cb);
                line[2 * column + 1] = uchar(cr);
            }
        }
    } else {
        const bool swapped = pixelFormat == QVideoFrameFormat::Format_YV12;
        for (int row = 0; row < chromaRows; ++row) {
            std::memset(frame.bits(swapped ? 2 : 1) + row * frame.bytesPerLine(swapped ? 2 : 1), cb,
                        size_t(size.width() / 2));
            std::memset(frame.bits(swapped ? 1 : 2) + row * frame.bytesPerLine(swapped ? 1 : 2), cr,
                        size_t(size.width() / 2));
        }
    }
    frame.unmap();
    return frame;
}

void expectColour(const QImage& image, const QColor& expected)
{
    ASSERT_FALSE(image.isNull());
    const QColor centre = image.pixelColor(image.rect().center());
    EXPECT_NEAR(centre.red(), expected.red(), 4);
    EXPECT_NEAR(centre.green(), expected.green(), 4);
    EXPECT_NEAR(centre.blue(), expected.blue(), 4);
}

} // namespace

TEST(VideoFrameConverter, YuvLayoutsConvertToTheRightColourFittedInsideTheTarget)
{
    VideoFrameConverter converter;
    // Limited-range BT.601 red, and BT.709 red.
    for (auto format :
         {QVideoFrameFormat::Format_YUV420P, QVideoFrameFormat::Format_YV12, QVideoFrameFormat::Format_NV12}) {
        const QImage red = converter.convert(solidFrame(format, QSize(320, 240), 81, 90, 240), QSize(100, 100));
        EXPECT_EQ(red.size(), QSize(100, 75)) << int(format);
        expectColour(red, QColor(255, 0, 0));
    }
    const QImage red709 = converter.convert(
        solidFrame(QVideoFrameFormat::Format_YUV420P, QSize(64, 36), 63, 102, 240, QVideoFrameFormat::ColorSpace_BT709),
        QSize());
    EXPECT_EQ(red709.size(), QSize(64, 36)) << "no target: the frame's own size";
    expectColour(red709, QColor(255, 0, 0));
    const QImage white =
        converter.convert(solidFrame(QVideoFrameFormat::Format_NV12, QSize(64, 64), 235, 128, 128), QSize(1000, 10));
    EXPECT_EQ(white.size(), QSize(10, 10));
    expectColour(white, QColor(255, 255, 255));

    EXPECT_TRUE(converter.convert(QVideoFrame(), QSize(10, 10)).isNull());
}
