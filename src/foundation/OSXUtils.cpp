#include "foundation/OSXUtils.h"

QPointF OSXUtils::convertedTranslationToCurrentModel(const QPointF& translation, double viewScale)
{
    if (viewScale == 0.0)
        return QPointF(0, 0);
    return QPointF(translation.x() / viewScale, -translation.y() / viewScale);
}
