#pragma once

#include <algorithm>
#include <cmath>
#include <concepts>
#include <limits>
#include <optional>

// Numbers read from documents, packages and the service become integers only through these. Converting a
// floating-point number the integer type cannot hold (1e300, -3e9 for an int, NaN) is undefined behaviour, so the
// range is checked while the number is still floating point, as frame sizes are: out of range is refused (the
// reader falls back or reports the value), or clamped where a bound is the sensible meaning.
namespace CheckedNumbers {

// The first value past the type's largest: 2^31 for int, 2^63 for qint64. Exact as a double.
template <std::integral Int> double integerLimit()
{
    return std::ldexp(1.0, std::numeric_limits<Int>::digits);
}

// The number's whole part (towards zero) when it is finite and `Int` holds it; nullopt otherwise.
template <std::integral Int> std::optional<Int> wholeNumber(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double whole = std::trunc(value);
    const double lowest = std::numeric_limits<Int>::is_signed ? -integerLimit<Int>() : 0.0;
    if (whole < lowest || whole >= integerLimit<Int>())
        return std::nullopt;
    return static_cast<Int>(whole);
}

// The number's whole part within [low, high]; NaN gives `low`.
template <std::integral Int> Int clampedWholeNumber(double value, Int low, Int high)
{
    if (std::isnan(value) || value <= double(low))
        return low;
    if (value >= double(high))
        return high;
    // Strictly between the bounds (each at most 2^digits away from zero), so the type holds it.
    return std::clamp(static_cast<Int>(std::trunc(value)), low, high);
}

} // namespace CheckedNumbers
