#pragma once

#include <memory>
#include <vector>

#include "gestures/LeapScreen.h"
#include "gestures/LeapVector.h"

class LeapPointable;

// Picks from a list of located screens the one a ray points at (closestScreenHit) or a point is nearest
// (closestScreen): the smallest squared distance to the hit clamped to the screen, ties broken by the
// distance to the hit with a much wider border. With no screen, or none the ray meets, the invalid screen.
namespace LeapScreenList {

std::shared_ptr<LeapScreen> closestScreenHit(const std::vector<std::shared_ptr<LeapScreen>>& screens,
                                             const std::shared_ptr<LeapPointable>& pointable);
std::shared_ptr<LeapScreen> closestScreenHit(const std::vector<std::shared_ptr<LeapScreen>>& screens,
                                             const LeapVector& position, const LeapVector& direction);
std::shared_ptr<LeapScreen> closestScreen(const std::vector<std::shared_ptr<LeapScreen>>& screens,
                                          const LeapVector& position);

} // namespace LeapScreenList
