#include "creator/interaction/QVR_InteractionModelUtils.h"

#include <cmath>

#include <QGraphicsItem>
#include <QPixmap>
#include <QTransform>

#include "creator/canvas/QVR_Interactable.h"
#include "elements/images/UNIImage.h"
#include "platform/UserDefaults.h"

const QString QVR_InteractionModelUtils::kClickDetectionTimeDelayKey =
    QStringLiteral("UserSpecifiedClickDetectionTimeDelay");

namespace {
double g_clickDelayCache = 0.0;

QCursor centredCursor(const QPixmap& pixmap)
{
    if (pixmap.isNull())
        return QCursor(Qt::ArrowCursor);
    return QCursor(pixmap, pixmap.width() / 2, pixmap.height() / 2);
}
} // namespace

double QVR_InteractionModelUtils::clickDetectionTimeDelay()
{
    if (g_clickDelayCache > 0.0)
        return g_clickDelayCache;
    const double stored = UserDefaults::standard().doubleValue(kClickDetectionTimeDelayKey);
    g_clickDelayCache = stored > 0.0 && std::isfinite(stored) ? stored : 1.0;
    return g_clickDelayCache;
}

void QVR_InteractionModelUtils::setClickDetectionTimeDelay(double seconds)
{
    UserDefaults::standard().setValue(kClickDetectionTimeDelayKey, seconds);
    g_clickDelayCache = 0.0;
    clickDetectionTimeDelay();
}

void QVR_InteractionModelUtils::resetClickDetectionTimeDelayCache()
{
    g_clickDelayCache = 0.0;
}

QString QVR_InteractionModelUtils::resizeCursorNameForPosition(int position)
{
    switch (position) {
    case 0:
    case 2:
        return QStringLiteral("left_right_cursor");
    case 1:
    case 3:
        return QStringLiteral("right_left_cursor");
    case 4:
    case 5:
        return QStringLiteral("side_to_side_cursor");
    default:
        return QStringLiteral("up_down_cursor");
    }
}

QCursor QVR_InteractionModelUtils::resizeCursorForPosition(int position)
{
    return centredCursor(
        QPixmap::fromImage(UNIImage::imageNamed(resizeCursorNameForPosition(position), 1.0).CGImage()));
}

int QVR_InteractionModelUtils::rotateCursorQuarterTurns(int position)
{
    static constexpr int kTurns[] = {2, 3, 0, 1};
    return position >= 0 && position < 4 ? kTurns[position] : 0;
}

QCursor QVR_InteractionModelUtils::rotateCursor(int position)
{
    QPixmap picture = QPixmap::fromImage(UNIImage::imageNamed(QStringLiteral("rotate-cursor"), 1.0).CGImage());
    if (!picture.isNull())
        picture = picture.transformed(QTransform().rotate(90.0 * rotateCursorQuarterTurns(position)));
    return centredCursor(picture);
}

int QVR_InteractionModelUtils::oppositeCursorPosition(int position)
{
    switch (position) {
    case 0:
        return 2;
    case 1:
        return 3;
    case 2:
        return 0;
    case 3:
        return 1;
    case 4:
        return 5;
    case 5:
        return 4;
    case 6:
        return 7;
    case 7:
        return 6;
    default:
        return 0;
    }
}

QPointF QVR_InteractionModelUtils::pointOnFrame(const QRectF& r, int position)
{
    switch (position) {
    case 0:
        return r.topLeft();
    case 1:
        return r.topRight();
    case 2:
        return r.bottomRight();
    case 3:
        return r.bottomLeft();
    case 4:
        return {r.left(), r.top() + r.height() / 2};
    case 5:
        return {r.right(), r.top() + r.height() / 2};
    case 6:
        return {r.left() + r.width() / 2, r.top()};
    case 7:
        return {r.left() + r.width() / 2, r.bottom()};
    default:
        return {};
    }
}

namespace {
constexpr int kMouseTransparentKey = 0x4d54;
} // namespace

void QVR_InteractionModelUtils::setMouseTransparent(QGraphicsItem* item)
{
    if (item)
        item->setData(kMouseTransparentKey, true);
}

bool QVR_InteractionModelUtils::isMouseTransparent(const QGraphicsItem* item)
{
    return item && item->data(kMouseTransparentKey).toBool();
}

QVR_Interactable* QVR_InteractionModelUtils::interactable(QGraphicsItem* item)
{
    return item ? dynamic_cast<QVR_Interactable*>(item) : nullptr;
}

bool QVR_InteractionModelUtils::isHoverable(QGraphicsItem* item)
{
    const auto* target = interactable(item);
    return target && target->hoverable();
}

bool QVR_InteractionModelUtils::isSelectable(QGraphicsItem* item)
{
    const auto* target = interactable(item);
    return target && target->selectable();
}

bool QVR_InteractionModelUtils::isTranslatable(QGraphicsItem* item)
{
    const auto* target = interactable(item);
    return target && target->translatable();
}
