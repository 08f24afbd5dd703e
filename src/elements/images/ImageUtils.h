#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include "elements/images/UNIImage.h"
#include "platform/Error.h"

class QPainter;

// Everyday bitmap work: decoding, the standard drawing bitmap, drawing an image into a rectangle, quarter turns,
// writing PNG and JPEG, and the blur, darkening and pixellation effects. Stateless; every operation may run on
// any thread on images and painters that the calling thread alone uses (previews and PDF pages are drawn on
// worker threads). Nothing here touches QPixmap or a widget.
//
// Coordinates: a QPainter on a QImage has its origin at the top-left with y down, as the model has. The
// "yInversionCorrect" forms take rectangles measured from the bottom-left, y up (the flipped convention some
// callers compute in), and flip them against the context height before drawing.
class ImageUtils {
public:
    // Decoded images and bitmaps above this many pixels are refused: 32 Mi pixels (8192 × 4096, a 33-megapixel
    // photo) is 128 MiB of 32-bit pixels, Qt's own default decoding limit. It is far more than a 1024 × 748-point
    // screen shows and keeps a hostile header ("40000 × 40000") from making the program allocate gigabytes.
    static constexpr qint64 maximumPixelCount = 32LL * 1024 * 1024;
    // A JPEG above maximumPixelCount (a real photo: 45, 61, 100 megapixels) is decoded at a reduced size instead,
    // decodedSize(): its decoder scales while it decodes, so the memory stays that of the reduced picture. Up to
    // this many pixels in the file; a larger one is refused as too large.
    static constexpr qint64 maximumReducedSourcePixelCount = 4 * maximumPixelCount;
    // The size a picture of `pixels` is decoded at: itself within maximumPixelCount, else halved (each side rounded
    // up) until it fits, as the JPEG decoder reduces while it decodes.
    static QSize decodedSize(const QSize& pixels);
    // Whether a picture of `pixels` in the file format `format` ("jpeg", "png", …) can be decoded: within
    // maximumPixelCount, or a JPEG within maximumReducedSourcePixelCount.
    static bool isDecodable(const QSize& pixels, const QByteArray& format);
    // Files above this size are not read at all.
    static constexpr qint64 maximumFileSize = 256LL * 1024 * 1024;
    // The standard bitmap's layout: 32 bits per pixel, premultiplied alpha first (0xAARRGGBB in native order).
    static constexpr QImage::Format standardFormat = QImage::Format_ARGB32_Premultiplied;

    // Decoding. Null for data of another kind, corrupt or truncated data, an empty picture or one too large to
    // decode (isDecodable; error TooLarge); the reason is logged. A large JPEG comes at decodedSize().
    static QImage createCGImageFromNSDATA_PNG(const QByteArray& data);
    static QImage createCGImageFromNSDATA_JPEG(const QByteArray& data);
    // Null for a missing file. "png" and "jpg" (any case) are decoded as such; any other extension, or a file
    // that does not decode as its extension says, is read as whatever image format its content is.
    static QImage createCGImageFromFilePath(const QString& path);
    // The reader behind every decoder: `format` empty = decide from the content; `name` names the source in
    // messages; `logFailure` false leaves logging to a caller that will try another way.
    static QImage readImage(const QByteArray& data, const QByteArray& format, const QString& name,
                            bool logFailure = true, Error* error = nullptr);
    // The whole file, or empty (reason logged and in `error`) when it is missing, unreadable or above
    // maximumFileSize.
    static QByteArray readFile(const QString& path, Error* error = nullptr);
    static constexpr const char* errorDomain = "ImageUtilsErrorDomain";
    enum ErrorCode { NotAnImage = 1, TooLarge = 2, CannotRead = 3, CannotWrite = 4 };

    // Encoding. JPEG at the encoder's default quality; empty for a null image.
    static QByteArray createJPEGCFDataFromCGImage(const QImage& image);
    // Writes the image as JPEG (`jpegOk`) or PNG, atomically: the file appears whole or not at all, and nothing is
    // created when the folder does not exist. False for a null image or any failure (logged).
    static bool writeImage(const QImage& image, const QString& path, bool jpegOk = false, Error* error = nullptr);

    // Geometry.
    static QRectF scaleRect(const QRectF& rect, float scale);
    // (x, H − y − height, width, height): flips a rectangle between y-up and y-down measurements in a context of
    // height H. The painter is not used.
    static QRectF correctRect(const QRectF& rect, QPainter* context, double contextHeight);
    // H = the pixel rows of the painter's QImage (0 when it paints on anything else).
    static QRectF correctRect(const QRectF& rect, QPainter* context);
    // The factor that makes the image fill `size`: width ratio for images taller than wide, else height ratio
    // (the image's own shape decides, not the target's). 0 for a null image.
    static double scaleImageToFillSize(const UNIImage& image, const QSizeF& size);
    // The largest factor ≤ 1.0 at which the whole image fits into `size`. 0 for a null image.
    static double scaleImageToFitSize(const UNIImage& image, const QSizeF& size);

    // Drawing. The image is scaled into the rectangle (filtered); a null painter or image draws nothing. The
    // painter's state is left as it was.
    static void addImageToContext(QPainter* context, const QRectF& rect, const QImage& image, bool yInversionCorrect,
                                  double contextHeight);
    static void addImageToContext(QPainter* context, const QRectF& rect, const QImage& image, bool yInversionCorrect);
    static void addImageToContext(QPainter* context, const QRectF& rect, const QImage& image);
    // Copies of the image at the rectangle's size, the first at its origin, repeated over the whole clip area
    // (the whole device when the painter does not clip).
    static void addTiledImageToContext(QPainter* context, const QRectF& rect, const QImage& image,
                                       bool yInversionCorrect, double contextHeight);
    static void addTiledImageToContext(QPainter* context, const QRectF& rect, const QImage& image,
                                       bool yInversionCorrect);

    // The standard drawing bitmap: width × height pixels of standardFormat, cleared to transparent, 4 bytes per
    // pixel. Null for a zero side or more than maximumPixelCount pixels. Draw into it with a QPainter.
    static QImage createCGBitmapContextWithWidth(quint64 width, quint64 height);
    // The picture drawn so far into a bitmap. Shares the bitmap's pixels until either is drawn into again, so it
    // costs no copy; drawing into the bitmap later does not change it.
    static QImage createCGImageFromCGBitmapContext(const QImage& context);

    // The image turned clockwise by `times` quarter turns (negative counts turn counter-clockwise; five turns are
    // one). 0 (or a multiple of 4) returns the image's own pixels, uncopied.
    static QImage rotateImage(const UNIImage& image, int times);
    // The image drawn upright for its orientation, its longer side capped at 2048 pixels. Orientation 0 returns
    // the image itself; an orientation outside 0 to 7 gives the null image (logged).
    static UNIImage unDoImageOrientation(const UNIImage& image);
    // The image shown through a mask: each mask pixel's grey level, the mask scaled to the image, works as inverse
    // alpha (black shows the image, white hides it).
    static UNIImage maskImage(const UNIImage& image, const UNIImage& mask);
    // 1 × 1 image of the colour. The image owns its pixel.
    static UNIImage imageFromColor(const QColor& color);
    // 20 × 20: light grey top-right and bottom-left 10 × 10 squares, white top-left and bottom-right.
    static UNIImage checkerboard();

    // Effects; each returns a new image of the source's pixel size (null for a null source).
    // Gaussian blur with standard deviation `radius` pixels; outside the picture counts as transparent, so the
    // blurred edges fade out. The dark overlay multiplies each colour channel of the (then opaque) result by 0.8.
    static UNIImage blurryImageFromImage(const UNIImage& image, double radius, bool withDarkOverlay);
    static UNIImage blurryImageFromImage(const UNIImage& image, bool withDarkOverlay);
    // Squares of `pixelWidth` pixels (from the top-left corner), each the average colour of the pixels it covers.
    // The dark overlay multiplies by 0.7.
    static UNIImage pixelatedImageFromImage(const UNIImage& image, double pixelWidth, bool withDarkOverlay);
    static UNIImage pixelatedImageFromImage(const UNIImage& image, bool withDarkOverlay);

    static constexpr double defaultBlurRadius = 8.0;
    static constexpr double defaultPixelWidth = 20.0;
};
