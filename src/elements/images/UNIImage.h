#pragma once

#include <functional>

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
//
// Named images come from a provider that a later layer registers (the controls serve their artwork): this
// folder cannot see the resources. The provider is called on whichever thread asks, so it must be thread-safe.
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

    // Gives the image called `name` (no extension) with `scale` pixels per point, or the null image.
    using NamedImageProvider = std::function<UNIImage(const QString& name, double scale)>;
    // Replaces the provider (an empty function restores the default, which knows no name). Safe from any
    // thread; a lookup already running finishes with the provider it started with.
    static void setNamedImageProvider(NamedImageProvider provider);
    // The application's image called `name`, at its largest representation: twice as many pixels as points,
    // so it stays crisp on a high-density screen while size() gives the point size to lay it out with.
    static UNIImage imageNamed(const QString& name);
    // The same at `scale` pixels per point (1 to 8; anything else gives the null image).
    static UNIImage imageNamed(const QString& name, double scale);

    bool isNull() const { return m_image.isNull(); }

    // Size in points.
    QSizeF size() const { return m_size; }
    // Lays the pixels out over another point size (a 2x picture of a 16-point icon has 32 pixels and size 16).
    // Ignored for the null image, which stays without size.
    void setSize(const QSizeF& size);
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
