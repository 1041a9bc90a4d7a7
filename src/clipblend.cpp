#include <animationmodel/clipblend.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Korva {

namespace {

constexpr float infinity = std::numeric_limits<float>::infinity();

// The blend of two values of which at least one is a number, for 0 < weight < 1;
// written as selections that the compiler turns into vector blends.
inline float blendInside(float a, float b, float weight) noexcept
{
    const float ramp = a + weight * (b - a);
    const bool aInfinite = std::fabs(a) == infinity;
    const bool bInfinite = std::fabs(b) == infinity;
    const float opposite = std::numeric_limits<float>::quiet_NaN();
    const float infinite = aInfinite ? (bInfinite && a != b ? opposite : a) : b;
    float value = (aInfinite | bInfinite) ? infinite : ramp;
    value = b != b ? a : value;
    return a != a ? b : value;
}

// One side's value, or the other's where it is NaN.
inline float held(float side, float other) noexcept
{
    return side != side ? other : side;
}

} // namespace

float ClipBlend::value(float a, float b, float weight) noexcept
{
    if (weight == 0.0f) {
        return held(a, b);
    }
    if (weight == 1.0f) {
        return held(b, a);
    }
    return blendInside(a, b, weight);
}

bool ClipBlend::samples(const ClipSampleBuffers& a, const ClipSampleBuffers& b, float weight, std::size_t count,
                        const ClipSampleBuffers& out) noexcept
{
    const ClipSampleBuffers& side = takesSecond(weight) ? b : a;
    const bool missing = (a.values == nullptr || b.values == nullptr || out.values == nullptr)
        || (out.effects != nullptr && side.effects == nullptr) || (out.keyed != nullptr && side.keyed == nullptr);
    if (!(weight >= 0.0f && weight <= 1.0f) || (missing && count != 0)) {
        return false;
    }
    const float* first = a.values;
    const float* second = b.values;
    float* values = out.values;
    if (weight == 0.0f) {
        for (std::size_t i = 0; i < count; ++i) {
            values[i] = held(first[i], second[i]);
        }
    } else if (weight == 1.0f) {
        for (std::size_t i = 0; i < count; ++i) {
            values[i] = held(second[i], first[i]);
        }
    } else {
        for (std::size_t i = 0; i < count; ++i) {
            values[i] = blendInside(first[i], second[i], weight);
        }
    }
    if (out.effects != nullptr && out.effects != side.effects && count != 0) {
        std::copy(side.effects, side.effects + count, out.effects);
    }
    if (out.keyed != nullptr && out.keyed != side.keyed && count != 0) {
        std::copy(side.keyed, side.keyed + count, out.keyed);
    }
    return true;
}

} // namespace Korva
