#include "elements/images/UNIImage.h"

#include <algorithm>
#include <cmath>

#include <memory>
#include <mutex>

#include <QBuffer>
#include <QImageWriter>

#include "elements/images/ImageUtils.h"
#include "elements/images/ImagesLogging.h"

UNIImage UNIImage::imageWithCGImage(const QImage& image)
{
    UNIImage result;
    if (image.isNull())
        return result;
    result.m_image = image;
    result.m_size = QSizeF(image.size());
    return result;
}

UNIImage UNIImage::imageWithContentsOfFile(const QString& path)
{
    const QByteArray data = ImageUtils::readFile(path);
    if (data.isEmpty())
        return {};
    return imageWithCGImage(ImageUtils::readImage(data, {}, path));
}

UNIImage UNIImage::imageWithData(const QByteArray& data)
{
    return imageWithCGImage(ImageUtils::readImage(data, {}, QStringLiteral("image data")));
}

void UNIImage::setSize(const QSizeF& size)
{
    if (!isNull())
        m_size = size;
}

namespace {

// Held through a shared_ptr so a lookup can call its copy outside the lock while another thread replaces it.
std::mutex s_providerMutex;
std::shared_ptr<const UNIImage::NamedImageProvider> s_namedImageProvider;

} // namespace

void UNIImage::setNamedImageProvider(NamedImageProvider provider)
{
    auto held = provider ? std::make_shared<const NamedImageProvider>(std::move(provider)) : nullptr;
    const std::lock_guard lock(s_providerMutex);
    s_namedImageProvider = std::move(held);
}

UNIImage UNIImage::imageNamed(const QString& name)
{
    return imageNamed(name, 2.0);
}

UNIImage UNIImage::imageNamed(const QString& name, double scale)
{
    if (name.isEmpty() || !(scale >= 1.0 && scale <= 8.0)) {
        qCWarning(lcImages) << "no named image" << name << "at scale" << scale;
        return {};
    }
    std::shared_ptr<const NamedImageProvider> provider;
    {
        const std::lock_guard lock(s_providerMutex);
        provider = s_namedImageProvider;
    }
    if (!provider) {
        qCWarning(lcImages) << "no named images are registered; cannot give" << name;
        return {};
    }
    return (*provider)(name, scale);
}

UNIImage UNIImage::resizedImage(const QSize& pixelSize, InterpolationQuality quality) const
{
    if (isNull() || pixelSize.width() <= 0 || pixelSize.height() <= 0 ||
        qint64(pixelSize.width()) * pixelSize.height() > ImageUtils::maximumPixelCount) {
        qCWarning(lcImages) << "cannot resize an image to" << pixelSize;
        return {};
    }
    const Qt::TransformationMode mode =
        quality == InterpolationQuality::None ? Qt::FastTransformation : Qt::SmoothTransformation;
    UNIImage result = imageWithCGImage(m_image.scaled(pixelSize, Qt::IgnoreAspectRatio, mode));
    result.m_orientation = m_orientation;
    return result;
}

namespace {

QByteArray encode(const QImage& image, const char* format, int quality)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(image)) {
        qCWarning(lcImages).noquote() << "cannot encode" << format << "image:" << writer.errorString();
        return {};
    }
    return data;
}

} // namespace

QByteArray UNIImagePNGRepresentation(const UNIImage& image)
{
    if (image.isNull() || image.realSize().isEmpty())
        return {};
    return encode(image.CGImage(), "png", -1);
}

QByteArray UNIImageJPEGRepresentation(const UNIImage& image, double compressionQuality)
{
    if (image.isNull() || image.realSize().isEmpty())
        return {};
    const double factor = std::isfinite(compressionQuality) ? std::clamp(compressionQuality, 0.0, 1.0) : 0.75;
    return encode(image.CGImage(), "jpeg", int(std::lround(factor * 100)));
}
