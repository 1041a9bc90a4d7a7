#ifndef ANIMATIONMODEL_SRC_FLOATROUNDING_H
#define ANIMATIONMODEL_SRC_FLOATROUNDING_H

// Single-precision results rounded once from the exact value of an operation
// whose exact result a double cannot always hold. A double product of a
// 32-bit frame count and a float has up to 56 significant bits, and a double
// quotient is itself rounded; rounding that double to float again is wrong
// exactly when the double lands on the midpoint between two floats although
// the exact value does not. These helpers detect that case and step off the
// midpoint towards the exact value, whose side they learn from the exact
// error of the double operation (an FMA), computed only then.

#include <algorithm>
#include <cmath>

namespace Korva {

// The float nearest to the exact value x, given `rounded`, the double nearest
// to x, and `error()`, a value of the sign of x - rounded (0 when exact).
template <class Error>
float roundOnce(double rounded, Error error) noexcept
{
    const auto nearest = static_cast<float>(rounded);
    const double gap = rounded - static_cast<double>(nearest); // exact
    if (gap == 0.0 || !std::isfinite(nearest)) {
        return nearest;
    }
    // `rounded` is a midpoint exactly when the same gap on its other side
    // reaches the other neighbouring float.
    const double other = rounded + gap; // exact
    if (static_cast<double>(static_cast<float>(other)) != other) {
        return nearest;
    }
    const double side = error();
    if (side == 0.0) {
        return nearest;
    }
    return static_cast<float>(std::nextafter(rounded, side > 0.0 ? HUGE_VAL : -HUGE_VAL));
}

// count × value, rounded to float once.
inline float productToFloat(double count, float value) noexcept
{
    const double rounded = count * static_cast<double>(value);
    return roundOnce(rounded, [&] { return std::fma(count, static_cast<double>(value), -rounded); });
}

// value ÷ count (count > 0), rounded to float once.
inline float quotientToFloat(float value, double count) noexcept
{
    const double rounded = static_cast<double>(value) / count;
    return roundOnce(rounded, [&] { return -std::fma(rounded, count, -static_cast<double>(value)); });
}

// start + position × (end - start) ÷ length, computed in double and rounded
// to float once, kept between start and end: the fallback for finite ends
// whose single-precision steps overflow.
inline float rampInDouble(float start, float end, double position, double length) noexcept
{
    const double from = start;
    const double to = end;
    const double value = from + position * (to - from) / length;
    return static_cast<float>(std::clamp(value, std::min(from, to), std::max(from, to)));
}

// The value of the ramp [start, end] of `duration` frames at `position`
// frames (0 < position < duration, both exact doubles): every step rounded
// to float once from its exact result, delta = fl(end - start), scaled =
// fl(position × delta), share = fl(scaled ÷ duration), value = fl(start +
// share); finite ends whose steps overflow take the value computed in double.
inline float rampValueAt(float start, float end, double position, double duration) noexcept
{
    const float delta = end - start;
    const float scaled = productToFloat(position, delta);
    const float share = quotientToFloat(scaled, duration);
    const float value = start + share;
    if (std::isfinite(value) || !std::isfinite(start) || !std::isfinite(end)) {
        return value;
    }
    return rampInDouble(start, end, position, duration);
}

} // namespace Korva

#endif
