#include "gestures/LeapScreenList.h"

#include <functional>
#include <limits>

#include "gestures/LeapPointable.h"

namespace {

// `hit(screen, clampRatio)` answers the screen point to measure to.
std::shared_ptr<LeapScreen> closest(const std::vector<std::shared_ptr<LeapScreen>>& screens, const LeapVector& from,
                                    const std::function<LeapVector(const LeapScreen&, float)>& hit)
{
    std::shared_ptr<LeapScreen> best;
    float bestClamped = std::numeric_limits<float>::max();
    float bestWide = std::numeric_limits<float>::max();
    for (const auto& screen : screens) {
        if (!screen)
            continue;
        const float clamped = hit(*screen, 1.0f).minus(from).magnitudeSquared();
        const float wide = hit(*screen, 1000.0f).minus(from).magnitudeSquared();
        if (clamped < bestClamped || (clamped - bestClamped < 0.000001f && wide < bestWide)) {
            best = screen;
            bestClamped = clamped;
            bestWide = wide;
        }
    }
    return best ? best : LeapScreen::invalid();
}

} // namespace

std::shared_ptr<LeapScreen> LeapScreenList::closestScreenHit(const std::vector<std::shared_ptr<LeapScreen>>& screens,
                                                             const std::shared_ptr<LeapPointable>& pointable)
{
    if (!pointable)
        return LeapScreen::invalid();
    return closestScreenHit(screens, pointable->tipPosition(), pointable->direction());
}

std::shared_ptr<LeapScreen> LeapScreenList::closestScreenHit(const std::vector<std::shared_ptr<LeapScreen>>& screens,
                                                             const LeapVector& position, const LeapVector& direction)
{
    return closest(screens, position, [&](const LeapScreen& screen, float clampRatio) {
        return screen.intersect(position, direction, false, clampRatio);
    });
}

std::shared_ptr<LeapScreen> LeapScreenList::closestScreen(const std::vector<std::shared_ptr<LeapScreen>>& screens,
                                                          const LeapVector& position)
{
    return closest(screens, position, [&](const LeapScreen& screen, float clampRatio) {
        return screen.project(position, false, clampRatio);
    });
}
