#pragma once

#include <functional>
#include <limits>
#include <memory>
#include <type_traits>
#include <vector>

#include "gestures/LeapHand.h"
#include "gestures/LeapPointable.h"

// Picks from a list of hands (by palm position) or pointables (by tip position): the leftmost (smallest x),
// the rightmost (largest x) or the frontmost (smallest z, nearest the screen). On ties the earlier element
// wins; an empty list, or one whose positions are all NaN, gives null.
namespace LeapPointableOrHandList {

namespace detail {

template <class T> LeapVector position(const T& item)
{
    if constexpr (std::is_base_of_v<LeapHand, T>)
        return item.palmPosition();
    else
        return item.tipPosition();
}

template <class T, class Key, class Better>
std::shared_ptr<T> pick(const std::vector<std::shared_ptr<T>>& items, float start, Key key, Better better)
{
    std::shared_ptr<T> best;
    float bestValue = start;
    for (const auto& item : items) {
        if (!item)
            continue;
        const float value = key(position(*item));
        if (better(value, bestValue)) {
            best = item;
            bestValue = value;
        }
    }
    return best;
}

} // namespace detail

template <class T> std::shared_ptr<T> leftmost(const std::vector<std::shared_ptr<T>>& items)
{
    return detail::pick(
        items, std::numeric_limits<float>::max(), [](const LeapVector& p) { return p.x(); }, std::less<float>());
}

template <class T> std::shared_ptr<T> rightmost(const std::vector<std::shared_ptr<T>>& items)
{
    return detail::pick(
        items, std::numeric_limits<float>::lowest(), [](const LeapVector& p) { return p.x(); }, std::greater<float>());
}

template <class T> std::shared_ptr<T> frontmost(const std::vector<std::shared_ptr<T>>& items)
{
    return detail::pick(
        items, std::numeric_limits<float>::max(), [](const LeapVector& p) { return p.z(); }, std::less<float>());
}

} // namespace LeapPointableOrHandList
