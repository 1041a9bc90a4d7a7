#ifndef ANIMATIONMODEL_BENCH_RUNTIME_BENCH_H
#define ANIMATIONMODEL_BENCH_RUNTIME_BENCH_H

// What the runtime part of the suite reports beyond its timings.

namespace Korva {

/// The positions a playback benchmark samples.
enum class PositionKind { Whole, Fractional, Random };

/// Prints the clip's and the model's bytes per key, for the show and the realistic timelines.
void printClipMemory();

} // namespace Korva

#endif
