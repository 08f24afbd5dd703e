#include "elements/text/QVB_CoreTextHelper.h"

#include <cmath>

#include <QPainter>

#include "tessarine_data_model/ZERI_MMObject_Text.h"

namespace {

// Larger images than this are not a text object's: refuse rather than allocate gigabytes.
constexpr double kMaximumSide = 16384;

} // namespace

QImage QVB_CoreTextHelper::createTextImageReferenceFromMixedMediaObject(const ZERI_MMObject_Text& object,
                                                                        QPainter* context, double scale)
{
    const QRectF frame = object.frame();
    if (context && std::isfinite(scale)) {
        const QRectF scaled(frame.x() * scale, frame.y() * scale, frame.width() * scale, frame.height() * scale);
        if (scaled.isValid())
            context->fillRect(scaled, object.backgroundColor());
    }
    const double width = std::ceil(frame.width());
    const double height = std::ceil(frame.height());
    if (!(width >= 1 && height >= 1 && width <= kMaximumSide && height <= kMaximumSide))
        return QImage();
    QImage image(int(width), int(height), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}
