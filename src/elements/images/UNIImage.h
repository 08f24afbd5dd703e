#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QSizeF>
#include <QString>

// The program's image: a QImage (its pixels) with a size in points and an orientation tag. A value type that is
// cheap to copy (the pixels are shared until one copy changes them), so images travel between threads by value;
// a default-constructed image is the null image ("no image").
//
// Every decoder here runs in the calling thread, refuses images above ImageUtils::maximumPixelCount, applies
// the file's own orientation tag (a photo taken upright is upright in memory) and keeps the pixels in
// ImageUtils' standard format (premultiplied ARGB, or RGB32 for opaque pictures) so that drawing them needs no
// conversion.
class UNIImage {
public:
    // The rendering quality of resizedImage, as the platform's interpolation qualities: None takes the nearest
    // pixel, every other value filters.
    enum class InterpolationQuality { Default, None, Low, Medium, High };

    UNIImage() = default;

    // An image of `image`'s pixel size in points (one point per pixel); the null image for a null QImage.
    static UNIImage imageWithCGImage(const QImage& image);
    // Null when the file is missing or no readable image; the reason is logged.
    static UNIImage imageWithContentsOfFile(const QString& path);
    // Null when the data is empty or no readable image; the reason is logged.
    static UNIImage imageWithData(const QByteArray& data);

    bool isNull() const { return m_image.isNull(); }

    // Size in points.
    QSizeF size() const { return m_size; }
    // The pixels. Null for the null image.
    const QImage& CGImage() const { return m_image; }
    // Size in pixels; (0, 0) for the null image.
    QSize realSize() const { return m_image.isNull() ? QSize(0, 0) : m_image.size(); }

    // 0 to 7: up, down, left, right, up mirrored, down mirrored, left mirrored, right mirrored. Decoders have
    // already turned the pixels upright, so nothing but setImageOrientation gives an image anything but 0.
    int imageOrientation() const { return m_orientation; }
    void setImageOrientation(int orientation) { m_orientation = orientation; }

    // The image redrawn at `pixelSize` (its point size becomes that size too). Null for an empty or oversized
    // target or a null image.
    UNIImage resizedImage(const QSize& pixelSize, InterpolationQuality quality) const;

private:
    QImage m_image;
    QSizeF m_size;
    int m_orientation = 0;
};

// PNG data of the image at its full pixel size; empty for the null image or one of zero width or height.
QByteArray UNIImagePNGRepresentation(const UNIImage& image);
// JPEG data at `compressionQuality` (0.0 smallest file … 1.0 best picture); empty for the null image. JPEG has no
// alpha: transparent pixels come out black.
QByteArray UNIImageJPEGRepresentation(const UNIImage& image, double compressionQuality);
