#ifndef ANIMATIONMODEL_TESTS_RUNTIME_EXACTRAMP_H
#define ANIMATIONMODEL_TESTS_RUNTIME_EXACTRAMP_H

// Exact reference of a Linear key's value at a (possibly fractional) offset:
// delta = fl(end - start), scaled = fl(offset × delta), share = fl(scaled ÷
// duration), value = fl(start + share), each rounded once from its exact
// result, the product and the quotient computed with 128-bit integers
// (subnormal results included).

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace Korva {

__extension__ typedef unsigned __int128 Wide;

/// magnitude × 2^exponent, plus a sticky fraction below it when `sticky`, rounded to float
/// (to nearest, ties to even, subnormals and overflow included).
inline float roundToFloat(Wide magnitude, int exponent, bool sticky, bool negative)
{
    magnitude = (magnitude << 1) | (sticky ? 1 : 0);
    exponent -= 1;
    if (magnitude == 0) {
        return negative ? -0.0f : 0.0f;
    }
    int top = 127;
    while (((magnitude >> top) & 1) == 0) {
        --top;
    }
    const int quantum = std::max(top + exponent - 23, -149);
    const int shift = quantum - exponent;
    Wide kept = 0;
    if (shift <= 0) {
        kept = magnitude << -shift;
    } else if (shift < 128) {
        kept = magnitude >> shift;
        const Wide rest = magnitude & ((Wide{1} << shift) - 1);
        const Wide half = Wide{1} << (shift - 1);
        kept += rest > half || (rest == half && (kept & 1) != 0) ? 1 : 0;
    }
    const float value = std::ldexp(static_cast<float>(static_cast<std::uint32_t>(kept)), quantum);
    return negative ? -value : value;
}

/// A finite non-zero double as m × 2^e with an integer m.
inline void splitDouble(double value, Wide& magnitude, int& exponent)
{
    int e = 0;
    const double fraction = std::frexp(std::fabs(value), &e);
    magnitude = static_cast<Wide>(static_cast<std::uint64_t>(std::ldexp(fraction, 64)));
    exponent = e - 64;
}

/// fl(offset × delta), exactly (offset > 0 and delta finite).
inline float exactProductOf(double offset, float delta)
{
    if (delta == 0.0f) {
        return delta * static_cast<float>(offset);
    }
    Wide a = 0;
    Wide b = 0;
    int ea = 0;
    int eb = 0;
    splitDouble(offset, a, ea);
    splitDouble(delta, b, eb);
    // a < 2^64 and b < 2^24 after dropping b's zero low bits.
    b >>= 40;
    eb += 40;
    return roundToFloat(a * b, ea + eb, false, delta < 0.0f);
}

/// fl(value ÷ count), exactly (count > 0, value finite).
inline float exactQuotientOf(float value, std::uint64_t count)
{
    if (value == 0.0f) {
        return value;
    }
    Wide m = 0;
    int e = 0;
    splitDouble(value, m, e);
    const Wide dividend = m << 60; // m < 2^64: the dividend stays below 2^124
    return roundToFloat(dividend / count, e - 60, dividend % count != 0, value < 0.0f);
}

/// The value of Linear [start, end] of `duration` frames at `offset` (0 < offset < duration), exactly,
/// for finite ends; when a step overflows, the documented fallback: start + offset × (end - start) ÷
/// duration in double, kept between the ends, rounded to float once.
inline float exactRampValue(float start, float end, double offset, std::uint64_t duration)
{
    const float delta = end - start;
    if (std::isfinite(delta)) {
        const float product = exactProductOf(offset, delta);
        const float value = std::isfinite(product) ? start + exactQuotientOf(product, duration) : product;
        if (std::isfinite(value)) {
            return value;
        }
    }
    const double ramp = start + offset * (static_cast<double>(end) - start) / static_cast<double>(duration);
    return static_cast<float>(
        std::clamp(ramp, static_cast<double>(std::min(start, end)), static_cast<double>(std::max(start, end))));
}

} // namespace Korva

#endif
