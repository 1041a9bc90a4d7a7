#ifndef ANIMATIONMODEL_SRC_CLIPCOMPILER_H
#define ANIMATIONMODEL_SRC_CLIPCOMPILER_H

// Compiling the phases of an animation into a clip's arrays.

#include <animationmodel/animation.h>
#include <animationmodel/cliparrays.h>

#include "runtime/cliplayout.h"

#include <array>
#include <cstdint>
#include <memory>

namespace Korva {

// The three phases to compile, any of them may be null (no entry).
using PhaseMaps = std::array<const LayerMap*, 3>;

// The sizes of the clip of `phases`; throws `std::length_error` for 2^32 channels or more.
ClipSizes clipSizesOf(const PhaseMaps& phases);

// Fills `arrays`, pointed into `block` for `sizes` (the sizes of `phases`).
void compileInto(const PhaseMaps& phases, const ClipSizes& sizes, std::uint64_t* block, ClipArrays& arrays) noexcept;

} // namespace Korva

#endif
