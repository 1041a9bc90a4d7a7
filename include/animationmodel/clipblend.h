#ifndef ANIMATIONMODEL_CLIPBLEND_H
#define ANIMATIONMODEL_CLIPBLEND_H

#include <cstddef>

#include <animationmodel/animationmodel_export.h>
#include <animationmodel/clipcursor.h>

namespace Korva {

/// A crossfade of two samples by a weight w in [0, 1]: w = 0 is all of the
/// first (a), w = 1 all of the second (b).
///
/// Value by value, in single precision, each step rounded once (to nearest, ties to even):
///  - where one side is NaN (no value yet), the other side's value (NaN when both are);
///  - else w = 0 gives a and w = 1 gives b, bit for bit (-0 included);
///  - else, when a or b is infinite: an infinite side whose weight is not 0 wins,
///    two infinities of the same sign give it, of opposite signs NaN;
///  - else fl(a + fl(w × fl(b − a))); where b − a overflows, its infinity goes
///    on (a = -FLT_MAX, b = FLT_MAX, w = 0.5 give +inf).
/// Effects and key flags come whole from the side whose weight is greater:
/// b's when w > 0.5, a's when w <= 0.5.
class ClipBlend {
public:
    /// The blend of a and b by `weight` (which must be in [0, 1]).
    ANIMATIONMODEL_EXPORT static float value(float a, float b, float weight) noexcept;
    /// True when effects and key flags come from b: `weight` > 0.5.
    static bool takesSecond(float weight) noexcept { return weight > 0.5f; }

    /// Blends `count` entries of `a` and `b` into `out`: values always; effects
    /// and key flags where `out` has them (from the side chosen, which must have
    /// them too). `out` may be `a` or `b` itself; no other overlap. Returns false,
    /// writing nothing, unless `weight` is in [0, 1] (or when a buffer that is
    /// needed is null); allocates nothing.
    ANIMATIONMODEL_EXPORT static bool samples(const ClipSampleBuffers& a, const ClipSampleBuffers& b, float weight,
                                              std::size_t count, const ClipSampleBuffers& out) noexcept;
};

} // namespace Korva

#endif
