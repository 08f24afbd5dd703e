#include "controls/ControlsArtwork.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include <QDirIterator>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

#include "controls/ControlsLogging.h"

namespace ControlsArtwork {

namespace {

const QString kArtworkPrefix = QStringLiteral(":/controls/");
const QString kDoubleDensitySuffix = QStringLiteral("@2x");

QImage render(QSvgRenderer& renderer, const QSize& pixels)
{
    QImage result(pixels, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    return result;
}

QSize pixelSize(const QSizeF& points, double scale)
{
    return QSize(int(std::ceil(points.width() * scale)), int(std::ceil(points.height() * scale)));
}

bool isImageFile(const QString& path)
{
    static const QStringList kSuffixes = {QStringLiteral("svg"), QStringLiteral("png"), QStringLiteral("jpg"),
                                          QStringLiteral("jpeg")};
    return kSuffixes.contains(QFileInfo(path).suffix().toLower());
}

QString imageName(const QString& path)
{
    QString name = QFileInfo(path).completeBaseName();
    if (name.endsWith(kDoubleDensitySuffix))
        name.chop(kDoubleDensitySuffix.size());
    return name;
}

// Every image file among the resources by name, the controls' artwork first, then in path order. Built on first
// use: all resources are registered by static initialisers, before any lookup can run.
const QHash<QString, QStringList>& resourceImages()
{
    static const QHash<QString, QStringList> index = [] {
        QStringList paths;
        QDirIterator it(QStringLiteral(":/"), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            // Qt's own resources (its style icons and the like) are not the application's images.
            if (!path.startsWith(QLatin1String(":/qt-project.org/")) && isImageFile(path))
                paths.append(path);
        }
        paths.sort();
        QHash<QString, QStringList> result;
        for (const QString& path : std::as_const(paths))
            result[imageName(path)].append(path);
        for (QStringList& candidates : result)
            std::stable_partition(candidates.begin(), candidates.end(),
                                  [](const QString& path) { return path.startsWith(kArtworkPrefix); });
        return result;
    }();
    return index;
}

UNIImage vectorImage(const QString& path, double scale)
{
    QSvgRenderer renderer(path);
    const QSize points = renderer.defaultSize();
    if (!renderer.isValid() || points.isEmpty()) {
        qCWarning(lcControls) << "cannot draw the image" << path;
        return {};
    }
    UNIImage result = UNIImage::imageWithCGImage(render(renderer, pixelSize(points, scale)));
    result.setSize(points);
    return result;
}

UNIImage bitmapImage(const QStringList& candidates, double scale)
{
    const QString* chosen = nullptr;
    int chosenDensity = 0;
    for (const QString& path : candidates) {
        if (QFileInfo(path).suffix().compare(QLatin1String("svg"), Qt::CaseInsensitive) == 0)
            continue;
        const int density = QFileInfo(path).completeBaseName().endsWith(kDoubleDensitySuffix) ? 2 : 1;
        const bool better =
            !chosen || (chosenDensity < scale ? density > chosenDensity : density >= scale && density < chosenDensity);
        if (better) {
            chosen = &path;
            chosenDensity = density;
        }
    }
    if (!chosen)
        return {};
    UNIImage result = UNIImage::imageWithContentsOfFile(*chosen);
    result.setSize(QSizeF(result.realSize()) / chosenDensity);
    return result;
}

struct ImageCache {
    std::mutex mutex;
    QHash<QPair<QString, double>, UNIImage> images;
};

ImageCache& cache()
{
    static ImageCache s_cache;
    return s_cache;
}

} // namespace

QPixmap pixmap(const QString& name, const QSize& pointSize, double devicePixelRatio)
{
    if (devicePixelRatio <= 0)
        devicePixelRatio = qApp ? qApp->devicePixelRatio() : 1.0;
    QSvgRenderer renderer(kArtworkPrefix + name + QLatin1String(".svg"));
    if (!renderer.isValid() || pointSize.isEmpty()) {
        qCWarning(lcControls) << "no artwork named" << name;
        return {};
    }
    QPixmap result = QPixmap::fromImage(render(renderer, pixelSize(pointSize, devicePixelRatio)));
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

QIcon icon(const QString& name, const QSize& pointSize)
{
    QIcon result;
    for (double ratio : {1.0, 2.0}) {
        const QPixmap image = pixmap(name, pointSize, ratio);
        if (!image.isNull())
            result.addPixmap(image);
    }
    return result;
}

UNIImage image(const QString& name, double scale)
{
    if (!(scale > 0 && scale <= 8)) {
        qCWarning(lcControls) << "no image named" << name << "at scale" << scale;
        return {};
    }
    const QPair<QString, double> key(name, scale);
    {
        const std::lock_guard lock(cache().mutex);
        if (const auto found = cache().images.constFind(key); found != cache().images.cend())
            return *found;
    }
    const QStringList candidates = resourceImages().value(name);
    UNIImage result;
    if (!candidates.isEmpty()) {
        result = candidates.first().endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)
                     ? vectorImage(candidates.first(), scale)
                     : bitmapImage(candidates, scale);
    }
    if (result.isNull()) {
        qCWarning(lcControls) << "no image named" << name;
        return {};
    }
    // Two threads asking for the same new image both draw it; either copy is the same picture.
    const std::lock_guard lock(cache().mutex);
    cache().images.insert(key, result);
    return result;
}

void registerNamedImages()
{
    UNIImage::setNamedImageProvider(&ControlsArtwork::image);
}

} // namespace ControlsArtwork
