#include <animationmodel/clipblend.h>
#include <animationmodel/cliparrays.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace Korva {

namespace {

std::uint32_t blendBits(float value) noexcept
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

float blendFloat(std::uint32_t bits) noexcept
{
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

// fl(a + fl(weight × fl(b − a))).
inline float ramp(float a, float b, float weight) noexcept
{
    return a + weight * (b - a);
}

// `yes` where `mask` is all ones, `no` where it is 0.
inline std::uint32_t pick(std::uint32_t mask, std::uint32_t yes, std::uint32_t no) noexcept
{
    return (yes & mask) | (no & ~mask);
}

// All ones when `condition`, else 0.
inline std::uint32_t maskOf(bool condition) noexcept
{
    return 0u - static_cast<std::uint32_t>(condition);
}

// The blend of two values for 0 < weight < 1, given their ramp. The cases
// are told apart on the bits and chosen with masks, which the compiler turns
// into vector code (it keeps branches for floating-point comparisons, which
// might trap).
inline float settle(float a, float b, float ramped) noexcept
{
    constexpr std::uint32_t magnitude = 0x7FFFFFFFu;
    constexpr std::uint32_t infinite = 0x7F800000u;
    const std::uint32_t aBits = blendBits(a);
    const std::uint32_t bBits = blendBits(b);
    const std::uint32_t aInfinite = maskOf((aBits & magnitude) == infinite);
    const std::uint32_t bInfinite = maskOf((bBits & magnitude) == infinite);
    const std::uint32_t opposite = aInfinite & bInfinite & maskOf(aBits != bBits);
    std::uint32_t value = pick(bInfinite, bBits, blendBits(ramped));
    value = pick(aInfinite, aBits, value);
    value = pick(opposite, clipNoHeldBits, value);
    value = pick(maskOf((bBits & magnitude) > infinite), aBits, value);
    return blendFloat(pick(maskOf((aBits & magnitude) > infinite), bBits, value));
}

// The blend of count values for 0 < weight < 1 (out may be a or b). A
// ramp is finite only when both sides are: then it is the blend. So when
// `out` is apart from both, the ramps go first, and the cases are settled
// only where some ramp is not finite.
void blendInside(const float* a, const float* b, float weight, std::size_t count, float* out) noexcept
{
    if (out != a && out != b) {
        constexpr std::uint32_t exponent = 0x7F800000u;
        std::uint32_t notFinite = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const float ramped = ramp(a[i], b[i], weight);
            out[i] = ramped;
            notFinite |= maskOf((blendBits(ramped) & exponent) == exponent);
        }
        if (notFinite == 0) {
            return;
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = settle(a[i], b[i], ramp(a[i], b[i], weight));
    }
}

// One side's value, or the other's where it is NaN.
inline float held(float side, float other) noexcept
{
    return (blendBits(side) & 0x7FFFFFFFu) > 0x7F800000u ? other : side;
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
    return settle(a, b, ramp(a, b, weight));
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
        blendInside(first, second, weight, count, values);
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
