#include "creator/addition/NewObjectPlacement.h"

#include <algorithm>

#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

namespace {
double keptCoordinate(double origin, double length, double limit)
{
    if (length > limit)
        return (limit - length) / 2;
    return std::clamp(origin, 0.0, limit - length);
}
} // namespace

QRectF NewObjectPlacement::keptInside(QRectF frame, const QSizeF& screenSize)
{
    if (!(screenSize.width() > 0) || !(screenSize.height() > 0))
        return frame;
    frame.moveTopLeft(QPointF(keptCoordinate(frame.x(), frame.width(), screenSize.width()),
                              keptCoordinate(frame.y(), frame.height(), screenSize.height())));
    return frame;
}

double NewObjectPlacement::hiddenShare(const QRectF& frame, const QRectF& other)
{
    const double area = std::min(other.width() * other.height(), frame.width() * frame.height());
    if (!(area > 0) || !(other.width() * other.height() > 0))
        return 0.0;
    const QRectF common = frame.intersected(other);
    return common.width() * common.height() / area;
}

double NewObjectPlacement::backdropHiddenShare(const QRectF& frame, const QRectF& backdrop)
{
    const double area = backdrop.width() * backdrop.height();
    if (!(area > 0))
        return 0.0;
    const QRectF common = frame.intersected(backdrop);
    return common.width() * common.height() / area;
}

QRectF NewObjectPlacement::placedFrame(const QRectF& frame, const ZERI_FlowScreenModel& screen, bool stepClear,
                                       const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& ignoring)
{
    const QSizeF screenSize = screen.screenSize();
    QRectF candidate = keptInside(frame, screenSize);
    if (!stepClear)
        return candidate;
    std::vector<QRectF> others;
    for (const auto& object : screen.mixedMediaObjects()) {
        if (!object || !object->object() || std::find(ignoring.begin(), ignoring.end(), object) != ignoring.end())
            continue;
        others.push_back((*object)->frame());
    }
    const double screenArea = screenSize.width() * screenSize.height();
    const auto worstHidden = [&others, screenArea](const QRectF& spot) {
        double worst = 0.0;
        for (const QRectF& other : others) {
            const bool backdrop = other.width() * other.height() >= kBackdropShareOfScreen * screenArea;
            worst = std::max(worst, backdrop ? backdropHiddenShare(spot, other) : hiddenShare(spot, other));
        }
        return worst;
    };
    QRectF best = candidate;
    double bestHidden = worstHidden(candidate);
    // The cascade ends where the screen's bottom right corner stops it.
    for (int step = 1; bestHidden > kHiddenShareAllowed && step < 100; ++step) {
        const QRectF next = keptInside(candidate.translated(kStep, kStep), screenSize);
        if (next.topLeft() == candidate.topLeft())
            break;
        candidate = next;
        const double hidden = worstHidden(candidate);
        if (hidden < bestHidden) {
            best = candidate;
            bestHidden = hidden;
        }
    }
    return best;
}
