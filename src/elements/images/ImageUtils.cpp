#include "elements/images/ImageUtils.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QTransform>

#include "elements/images/ImagesLogging.h"
#include "platform/AtomicFile.h"

namespace {

QImage fail(ImageUtils::ErrorCode code, const QString& message, bool log, Error* error)
{
    if (log)
        qCWarning(lcImages).noquote() << message;
    setError(error, Error(QString::fromLatin1(ImageUtils::errorDomain), code, message));
    return {};
}

bool tooManyPixels(qint64 width, qint64 height)
{
    return width > 0 && height > 0 && width * height > ImageUtils::maximumPixelCount;
}

// A JPEG decoder fills a picture that was cut short with grey and reports success. A complete file has an
// end-of-image marker after its last start-of-scan marker (entropy-coded data never holds either byte pair, and
// data appended after the picture, such as a second image, ends with its own end-of-image marker).
bool jpegLooksComplete(const QByteArray& data)
{
    const qsizetype lastScan = data.lastIndexOf("\xFF\xDA");
    if (lastScan < 0)
        return false;
    return data.indexOf("\xFF\xD9", lastScan + 2) >= 0;
}

QImage inStandardLayout(QImage image)
{
    const QImage::Format target = image.hasAlphaChannel() ? ImageUtils::standardFormat : QImage::Format_RGB32;
    if (image.format() != target)
        image.convertTo(target);
    return image;
}

// The pixel rows of the QImage a painter draws on; 0 for any other device.
double bitmapHeight(const QPainter* context)
{
    if (context && context->device() && context->device()->devType() == QInternal::Image)
        return static_cast<const QImage*>(context->device())->height();
    return 0;
}

bool isFinite(const QRectF& rect)
{
    return std::isfinite(rect.x()) && std::isfinite(rect.y()) && std::isfinite(rect.width()) &&
           std::isfinite(rect.height());
}

// Radii of three successive box blurs that together approximate a Gaussian of standard deviation `sigma`.
std::array<int, 3> boxRadiiForGaussian(double sigma)
{
    constexpr int passes = 3;
    const double variance12 = 12.0 * sigma * sigma;
    int lower = int(std::floor(std::sqrt(variance12 / passes + 1)));
    if (lower % 2 == 0)
        --lower;
    const int upper = lower + 2;
    const double idealLowerCount =
        (variance12 - passes * lower * lower - 4.0 * passes * lower - 3.0 * passes) / (-4.0 * lower - 4.0);
    const long lowerCount = std::lround(idealLowerCount);
    std::array<int, 3> radii{};
    for (int i = 0; i < passes; ++i)
        radii[size_t(i)] = ((i < lowerCount ? lower : upper) - 1) / 2;
    return radii;
}

// Box blur of radius `radius` along every row of a premultiplied ARGB image; pixels beyond the row's ends count
// as transparent, so the window always divides by its full width and the edges fade out. A running sum slides
// along a copy of each row.
void boxBlurRows(QImage& image, int radius, std::vector<QRgb>& row)
{
    if (radius <= 0)
        return;
    const int width = image.width();
    const quint64 window = quint64(2) * quint64(radius) + 1;
    // sum × reciprocal >> 32 divides by the window with rounding; sums stay below 256 × window, so the product
    // fits in 64 bits.
    const quint64 reciprocal = ((quint64(1) << 32) + window / 2) / window;
    constexpr quint64 half = quint64(1) << 31;
    row.resize(size_t(width));
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::copy_n(line, width, row.begin());
        quint64 a = 0, r = 0, g = 0, b = 0;
        for (int x = 0; x < std::min(width, radius + 1); ++x) {
            a += qAlpha(row[size_t(x)]);
            r += qRed(row[size_t(x)]);
            g += qGreen(row[size_t(x)]);
            b += qBlue(row[size_t(x)]);
        }
        for (int x = 0; x < width; ++x) {
            line[x] = qRgba(int((r * reciprocal + half) >> 32), int((g * reciprocal + half) >> 32),
                            int((b * reciprocal + half) >> 32), int((a * reciprocal + half) >> 32));
            const qint64 entering = qint64(x) + radius + 1;
            if (entering < width) {
                const QRgb p = row[size_t(entering)];
                a += qAlpha(p);
                r += qRed(p);
                g += qGreen(p);
                b += qBlue(p);
            }
            const qint64 leaving = qint64(x) - radius;
            if (leaving >= 0) {
                const QRgb p = row[size_t(leaving)];
                a -= qAlpha(p);
                r -= qRed(p);
                g -= qGreen(p);
                b -= qBlue(p);
            }
        }
    }
}

// The same along every column, from `source` into `target` (same size and format). Running sums for all columns
// move down one row at a time, so memory is read row by row.
void boxBlurColumns(const QImage& source, QImage& target, int radius, std::vector<quint64>& sums)
{
    const int width = source.width();
    const int height = source.height();
    const quint64 window = quint64(2) * quint64(radius) + 1;
    const quint64 reciprocal = ((quint64(1) << 32) + window / 2) / window;
    constexpr quint64 half = quint64(1) << 31;
    sums.assign(size_t(width) * 4, 0);
    auto add = [&](int y, int sign) {
        const auto* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        quint64* sum = sums.data();
        for (int x = 0; x < width; ++x, sum += 4) {
            const QRgb p = line[x];
            sum[0] += quint64(qint64(sign * qAlpha(p)));
            sum[1] += quint64(qint64(sign * qRed(p)));
            sum[2] += quint64(qint64(sign * qGreen(p)));
            sum[3] += quint64(qint64(sign * qBlue(p)));
        }
    };
    for (int y = 0; y < std::min(height, radius + 1); ++y)
        add(y, 1);
    for (int y = 0; y < height; ++y) {
        auto* out = reinterpret_cast<QRgb*>(target.scanLine(y));
        const quint64* sum = sums.data();
        for (int x = 0; x < width; ++x, sum += 4) {
            auto divided = [&](int channel) { return int((sum[channel] * reciprocal + half) >> 32); };
            out[x] = qRgba(divided(1), divided(2), divided(3), divided(0));
        }
        if (qint64(y) + radius + 1 < height)
            add(y + radius + 1, 1);
        if (qint64(y) - radius >= 0)
            add(y - radius, -1);
    }
}

// Multiplies the picture by an opaque grey, as a multiply blend of the grey over it: where the picture is
// transparent the grey shows, and the result is opaque.
void multiplyByGrey(QImage& image, double grey)
{
    const int factor = int(std::lround(grey * 256));
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            const int uncovered = 255 - qAlpha(p);
            auto channel = [&](int value) { return ((value + uncovered) * factor + 128) >> 8; };
            line[x] = qRgba(channel(qRed(p)), channel(qGreen(p)), channel(qBlue(p)), 255);
        }
    }
}

constexpr double kBlurOverlayGrey = 0.8;
constexpr double kPixellateOverlayGrey = 0.7;
constexpr double kLargestBlurRadius = 4096;
constexpr int kLongestUprightSide = 2048;

} // namespace

QByteArray ImageUtils::readFile(const QString& path, Error* error)
{
    const QFileInfo info(path);
    if (!info.isFile()) {
        fail(CannotRead, QStringLiteral("cannot read image \"%1\": no such file").arg(path), true, error);
        return {};
    }
    if (info.size() > maximumFileSize) {
        fail(TooLarge,
             QStringLiteral("cannot read image \"%1\": %2 bytes is more than the %3 allowed")
                 .arg(path)
                 .arg(info.size())
                 .arg(maximumFileSize),
             true, error);
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(CannotRead, QStringLiteral("cannot read image \"%1\": %2").arg(path, file.errorString()), true, error);
        return {};
    }
    const QByteArray data = file.readAll();
    if (data.isEmpty())
        fail(NotAnImage, QStringLiteral("cannot read image \"%1\": the file is empty").arg(path), true, error);
    return data;
}

QImage ImageUtils::readImage(const QByteArray& data, const QByteArray& format, const QString& name, bool logFailure,
                             Error* error)
{
    auto failure = [&](ErrorCode code, const QString& reason) {
        return fail(code, QStringLiteral("cannot decode %1: %2").arg(name, reason), logFailure, error);
    };
    const QString kind = format.isEmpty() ? QStringLiteral("an image") : QStringLiteral("a %1 image").arg(format);
    if (data.isEmpty())
        return failure(NotAnImage, QStringLiteral("no data"));

    QByteArray bytes = data; // shares the bytes; QBuffer only wants a non-const array
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(format.isEmpty());
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return failure(NotAnImage, QStringLiteral("not %1").arg(kind));
    const QByteArray detectedFormat = reader.format(); // the reader forgets it once it has read

    // The header is checked before a single pixel is allocated; a large photo is decoded straight to its reduced
    // size.
    const QSize headerSize = reader.size();
    if (headerSize.isValid() && headerSize.isEmpty())
        return failure(NotAnImage, QStringLiteral("the picture is empty"));
    if (tooManyPixels(headerSize.width(), headerSize.height())) {
        if (!isDecodable(headerSize, detectedFormat))
            return failure(TooLarge, QStringLiteral("the picture is too large: %1 × %2 pixels")
                                         .arg(headerSize.width())
                                         .arg(headerSize.height()));
        reader.setScaledSize(decodedSize(headerSize));
    }

    const QImage image = reader.read();
    if (image.isNull())
        return failure(NotAnImage, QStringLiteral("%1 (%2)").arg(reader.errorString(), kind));
    if (tooManyPixels(image.width(), image.height()))
        return failure(
            TooLarge,
            QStringLiteral("the picture is too large: %1 × %2 pixels").arg(image.width()).arg(image.height()));
    if (detectedFormat == "jpeg" && !jpegLooksComplete(data))
        return failure(NotAnImage, QStringLiteral("the JPEG data is truncated"));
    return inStandardLayout(image);
}

QSize ImageUtils::decodedSize(const QSize& pixels)
{
    // Halved until it fits: the JPEG decoder scales by halves itself, so it never holds the full-size picture.
    QSize size = pixels;
    while (tooManyPixels(size.width(), size.height()))
        size = QSize((size.width() + 1) / 2, (size.height() + 1) / 2);
    return size;
}

bool ImageUtils::isDecodable(const QSize& pixels, const QByteArray& format)
{
    if (pixels.width() <= 0 || pixels.height() <= 0)
        return false;
    const qint64 count = qint64(pixels.width()) * pixels.height();
    return count <= maximumPixelCount || (format == "jpeg" && count <= maximumReducedSourcePixelCount);
}

QImage ImageUtils::createCGImageFromNSDATA_PNG(const QByteArray& data)
{
    return readImage(data, "png", QStringLiteral("PNG data"));
}

QImage ImageUtils::createCGImageFromNSDATA_JPEG(const QByteArray& data)
{
    return readImage(data, "jpeg", QStringLiteral("JPEG data"));
}

QImage ImageUtils::createCGImageFromFilePath(const QString& path)
{
    const QByteArray data = readFile(path);
    if (data.isEmpty())
        return {};
    const QString extension = QFileInfo(path).suffix().toLower();
    const QByteArray format = extension == QLatin1String("png")   ? QByteArray("png")
                              : extension == QLatin1String("jpg") ? QByteArray("jpeg")
                                                                  : QByteArray();
    if (!format.isEmpty()) {
        QImage image = readImage(data, format, path, /*logFailure=*/false);
        if (!image.isNull())
            return image;
    }
    // Any other extension, or content that is not what the extension says: whatever format the bytes are.
    return readImage(data, {}, path);
}

QByteArray ImageUtils::createJPEGCFDataFromCGImage(const QImage& image)
{
    return UNIImageJPEGRepresentation(UNIImage::imageWithCGImage(image), 0.75);
}

bool ImageUtils::writeImage(const QImage& image, const QString& path, bool jpegOk, Error* error)
{
    if (image.isNull() || image.width() == 0 || image.height() == 0) {
        fail(CannotWrite, QStringLiteral("cannot write \"%1\": there is no image").arg(path), true, error);
        return false;
    }
    const QByteArray data =
        jpegOk ? createJPEGCFDataFromCGImage(image) : UNIImagePNGRepresentation(UNIImage::imageWithCGImage(image));
    if (data.isEmpty()) {
        fail(CannotWrite, QStringLiteral("cannot write \"%1\": the image could not be encoded").arg(path), true, error);
        return false;
    }
    return AtomicFile::write(path, data, error); // logs its own failures
}

QRectF ImageUtils::scaleRect(const QRectF& rect, float scale)
{
    const double s = scale;
    return {rect.x() * s, rect.y() * s, rect.width() * s, rect.height() * s};
}

QRectF ImageUtils::correctRect(const QRectF& rect, QPainter*, double contextHeight)
{
    return {rect.x(), contextHeight - rect.y() - rect.height(), rect.width(), rect.height()};
}

QRectF ImageUtils::correctRect(const QRectF& rect, QPainter* context)
{
    return correctRect(rect, context, bitmapHeight(context));
}

double ImageUtils::scaleImageToFillSize(const UNIImage& image, const QSizeF& size)
{
    const QSize pixels = image.realSize();
    if (pixels.isEmpty())
        return 0;
    return pixels.height() > pixels.width() ? size.width() / pixels.width() : size.height() / pixels.height();
}

double ImageUtils::scaleImageToFitSize(const UNIImage& image, const QSizeF& size)
{
    const QSize pixels = image.realSize();
    if (pixels.isEmpty())
        return 0;
    return std::min({size.width() / pixels.width(), size.height() / pixels.height(), 1.0});
}

void ImageUtils::addImageToContext(QPainter* context, const QRectF& rect, const QImage& image, bool yInversionCorrect,
                                   double contextHeight)
{
    if (!context || !context->isActive() || image.isNull())
        return;
    const QRectF target = yInversionCorrect ? correctRect(rect, context, contextHeight) : rect;
    if (!isFinite(target) || target.isEmpty())
        return;
    const bool smooth = context->testRenderHint(QPainter::SmoothPixmapTransform);
    context->setRenderHint(QPainter::SmoothPixmapTransform, true);
    context->drawImage(target, image);
    context->setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}

void ImageUtils::addImageToContext(QPainter* context, const QRectF& rect, const QImage& image, bool yInversionCorrect)
{
    addImageToContext(context, rect, image, yInversionCorrect, bitmapHeight(context));
}

void ImageUtils::addImageToContext(QPainter* context, const QRectF& rect, const QImage& image)
{
    addImageToContext(context, rect, image, false, 0);
}

void ImageUtils::addTiledImageToContext(QPainter* context, const QRectF& rect, const QImage& image,
                                        bool yInversionCorrect, double contextHeight)
{
    if (!context || !context->isActive() || image.isNull())
        return;
    const QRectF tile = yInversionCorrect ? correctRect(rect, context, contextHeight) : rect;
    if (!isFinite(tile) || tile.isEmpty())
        return;
    QRectF area;
    if (context->hasClipping()) {
        area = context->clipBoundingRect();
    } else {
        const QPaintDevice* device = context->device();
        const QRectF deviceRect(QPointF(0, 0), QSizeF(device->width(), device->height()) / device->devicePixelRatioF());
        area = context->worldTransform().inverted().mapRect(deviceRect);
    }
    QBrush brush(image); // a texture brush over the QImage: no pixmap, so any thread may draw it
    brush.setTransform(QTransform::fromTranslate(tile.x(), tile.y())
                           .scale(tile.width() / image.width(), tile.height() / image.height()));
    context->save();
    context->setRenderHint(QPainter::SmoothPixmapTransform, true);
    context->fillRect(area, brush);
    context->restore();
}

void ImageUtils::addTiledImageToContext(QPainter* context, const QRectF& rect, const QImage& image,
                                        bool yInversionCorrect)
{
    addTiledImageToContext(context, rect, image, yInversionCorrect, bitmapHeight(context));
}

QImage ImageUtils::createCGBitmapContextWithWidth(quint64 width, quint64 height)
{
    if (width == 0 || height == 0 || width > quint64(maximumPixelCount) || height > quint64(maximumPixelCount) ||
        width * height > quint64(maximumPixelCount)) {
        qCWarning(lcImages) << "refusing a bitmap of" << width << "×" << height << "pixels";
        return {};
    }
    QImage bitmap(int(width), int(height), standardFormat);
    if (bitmap.isNull()) {
        qCWarning(lcImages) << "cannot allocate a bitmap of" << width << "×" << height << "pixels";
        return {};
    }
    bitmap.fill(Qt::transparent);
    return bitmap;
}

QImage ImageUtils::createCGImageFromCGBitmapContext(const QImage& context)
{
    return context;
}

QImage ImageUtils::rotateImage(const UNIImage& image, int times)
{
    int quarterTurns = times % 4;
    if (quarterTurns < 0)
        quarterTurns += 4;
    const QImage& pixels = image.CGImage();
    if (quarterTurns == 0 || pixels.isNull())
        return pixels;
    // In y-down coordinates a positive angle turns clockwise on screen; multiples of 90° take Qt's exact
    // pixel-moving path, with no filtering.
    return pixels.transformed(QTransform().rotate(90.0 * quarterTurns));
}

UNIImage ImageUtils::unDoImageOrientation(const UNIImage& image)
{
    const int orientation = image.imageOrientation();
    if (orientation == 0 || image.isNull())
        return image;
    if (orientation < 0 || orientation > 7) {
        qCWarning(lcImages) << "Invalid image orientation" << orientation;
        return {};
    }
    const QImage& source = image.CGImage();
    const int width = source.width();
    const int height = source.height();
    int targetWidth = width;
    int targetHeight = height;
    if (width > kLongestUprightSide || height > kLongestUprightSide) {
        const double ratio = double(width) / height;
        if (ratio > 1) {
            targetWidth = kLongestUprightSide;
            targetHeight = std::max(1, int(kLongestUprightSide / ratio));
        } else {
            targetHeight = kLongestUprightSide;
            targetWidth = std::max(1, int(kLongestUprightSide * ratio));
        }
    }
    QImage pixels = (targetWidth == width && targetHeight == height)
                        ? source
                        : source.scaled(targetWidth, targetHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // The orientations in their EXIF meaning (up = 1, up mirrored = 2, down = 3, down mirrored = 4, left mirrored
    // = 5, right = 6, right mirrored = 7, left = 8): mirror first, then turn clockwise.
    static constexpr struct {
        bool mirrorHorizontally;
        bool mirrorVertically;
        int clockwiseDegrees;
    } steps[8] = {{false, false, 0}, {false, false, 180}, {false, false, 270}, {false, false, 90},
                  {true, false, 0},  {false, true, 0},    {false, true, 90},   {true, false, 90}};
    const auto& step = steps[orientation];
    if (step.mirrorHorizontally || step.mirrorVertically)
        pixels = pixels.mirrored(step.mirrorHorizontally, step.mirrorVertically);
    if (step.clockwiseDegrees != 0)
        pixels = pixels.transformed(QTransform().rotate(step.clockwiseDegrees));
    return UNIImage::imageWithCGImage(pixels);
}

UNIImage ImageUtils::maskImage(const UNIImage& image, const UNIImage& mask)
{
    if (image.isNull() || mask.isNull())
        return image;
    QImage result = image.CGImage().convertToFormat(standardFormat);
    const QImage grey = mask.CGImage()
                            .scaled(result.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                            .convertToFormat(QImage::Format_Grayscale8);
    for (int y = 0; y < result.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        const uchar* maskLine = grey.constScanLine(y);
        for (int x = 0; x < result.width(); ++x) {
            const int keep = 255 - maskLine[x];
            const QRgb p = line[x];
            auto scaled = [&](int value) { return (value * keep + 127) / 255; };
            line[x] = qRgba(scaled(qRed(p)), scaled(qGreen(p)), scaled(qBlue(p)), scaled(qAlpha(p)));
        }
    }
    return UNIImage::imageWithCGImage(result);
}

UNIImage ImageUtils::imageFromColor(const QColor& color)
{
    QImage pixel = createCGBitmapContextWithWidth(1, 1);
    if (color.isValid())
        pixel.fill(color);
    return UNIImage::imageWithCGImage(pixel);
}

UNIImage ImageUtils::checkerboard()
{
    QImage board = createCGBitmapContextWithWidth(20, 20);
    const QColor lightGrey = QColor::fromRgbF(2.0f / 3, 2.0f / 3, 2.0f / 3); // the platform's light grey
    board.fill(Qt::white);
    QPainter painter(&board);
    painter.fillRect(QRect(10, 0, 10, 10), lightGrey);
    painter.fillRect(QRect(0, 10, 10, 10), lightGrey);
    painter.end();
    return UNIImage::imageWithCGImage(board);
}

UNIImage ImageUtils::blurryImageFromImage(const UNIImage& image, double radius, bool withDarkOverlay)
{
    if (image.isNull())
        return {};
    QImage pixels = image.CGImage().convertToFormat(standardFormat);
    const double sigma = std::isfinite(radius) ? std::clamp(radius, 0.0, kLargestBlurRadius) : 0.0;
    if (sigma > 0) {
        const std::array<int, 3> radii = boxRadiiForGaussian(sigma);
        std::vector<QRgb> row;
        for (int r : radii)
            boxBlurRows(pixels, r, row);
        QImage other(pixels.size(), standardFormat);
        std::vector<quint64> sums;
        for (int r : radii) {
            if (r <= 0)
                continue;
            boxBlurColumns(pixels, other, r, sums);
            std::swap(pixels, other);
        }
    }
    if (withDarkOverlay)
        multiplyByGrey(pixels, kBlurOverlayGrey);
    return UNIImage::imageWithCGImage(pixels);
}

UNIImage ImageUtils::blurryImageFromImage(const UNIImage& image, bool withDarkOverlay)
{
    return blurryImageFromImage(image, defaultBlurRadius, withDarkOverlay);
}

UNIImage ImageUtils::pixelatedImageFromImage(const UNIImage& image, double pixelWidth, bool withDarkOverlay)
{
    if (image.isNull())
        return {};
    QImage pixels = image.CGImage().convertToFormat(standardFormat);
    const int cell = std::isfinite(pixelWidth) && pixelWidth >= 1
                         ? int(std::min<double>(std::lround(pixelWidth), std::max(pixels.width(), pixels.height())))
                         : 1;
    if (cell > 1) {
        for (int top = 0; top < pixels.height(); top += cell) {
            const int bottom = std::min(pixels.height(), top + cell);
            for (int left = 0; left < pixels.width(); left += cell) {
                const int right = std::min(pixels.width(), left + cell);
                quint64 sum[4] = {0, 0, 0, 0};
                for (int y = top; y < bottom; ++y) {
                    const auto* line = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
                    for (int x = left; x < right; ++x) {
                        sum[0] += qAlpha(line[x]);
                        sum[1] += qRed(line[x]);
                        sum[2] += qGreen(line[x]);
                        sum[3] += qBlue(line[x]);
                    }
                }
                const quint64 count = quint64(bottom - top) * quint64(right - left);
                auto average = [&](int channel) { return int((sum[channel] + count / 2) / count); };
                const QRgb colour = qRgba(average(1), average(2), average(3), average(0));
                for (int y = top; y < bottom; ++y)
                    std::fill_n(reinterpret_cast<QRgb*>(pixels.scanLine(y)) + left, right - left, colour);
            }
        }
    }
    if (withDarkOverlay)
        multiplyByGrey(pixels, kPixellateOverlayGrey);
    return UNIImage::imageWithCGImage(pixels);
}

UNIImage ImageUtils::pixelatedImageFromImage(const UNIImage& image, bool withDarkOverlay)
{
    return pixelatedImageFromImage(image, defaultPixelWidth, withDarkOverlay);
}
