#include "controls/ControlsArtwork.h"

#include <cmath>

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

#include "controls/ControlsLogging.h"

namespace ControlsArtwork {

QPixmap pixmap(const QString& name, const QSize& pointSize, double devicePixelRatio)
{
    if (devicePixelRatio <= 0)
        devicePixelRatio = qApp ? qApp->devicePixelRatio() : 1.0;
    QSvgRenderer renderer(QStringLiteral(":/controls/%1.svg").arg(name));
    if (!renderer.isValid() || pointSize.isEmpty()) {
        qCWarning(lcControls) << "no artwork named" << name;
        return {};
    }
    const QSize pixels(int(std::ceil(pointSize.width() * devicePixelRatio)),
                       int(std::ceil(pointSize.height() * devicePixelRatio)));
    QPixmap result(pixels);
    result.fill(Qt::transparent);
    {
        QPainter painter(&result);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    }
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

} // namespace ControlsArtwork
