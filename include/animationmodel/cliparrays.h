#ifndef ANIMATIONMODEL_CLIPARRAYS_H
#define ANIMATIONMODEL_CLIPARRAYS_H

#include <array>
#include <cstddef>
#include <cstdint>

#include <animationmodel/animationmodel_export.h>

namespace Korva {

/// Number of keys of a channel's phase that one entry of a clip's seek index covers.
inline constexpr std::uint64_t clipBlockKeys = 64;

/// Bit pattern of the value "no Linear key yet" in a clip's held-value arrays (a quiet NaN).
inline constexpr std::uint32_t clipNoHeldBits = 0x7FC00000u;

/// A read-only array of plain values: where it starts and how many elements it has.
template <class T>
struct ClipArray {
    /// First element; may be null when `size` is 0.
    const T* data = nullptr;
    /// Number of elements.
    std::uint64_t size = 0;

    /// Element `index` (< size).
    const T& operator[](std::uint64_t index) const noexcept { return data[index]; }
};

/// The flat data of a compiled clip (structure of arrays), as a view: the
/// arrays an `AnimationClip` samples from, which a binary file may store
/// verbatim. Channels are indexed 0..n-1 in name order; channel c's entry in
/// phase p (0 intro, 1 body, 2 outro) is "track" 3c + p, and the keys of all
/// tracks lie one after the other in track order, so a channel's keys of all
/// phases are contiguous. Effect 0 is `Linear`; its two arguments (start, end)
/// are in `linearArgs`, in key order; every other effect has none. Frames of
/// the seek index count from the first frame of the track's phase.
///
/// With n = channelCount, K = durations.size and L = the number of keys whose
/// effect is 0, a valid set of arrays satisfies (each is checkable in time
/// linear in the sizes, without allocating; `checkClipArrays` does it):
///  1. `fps` is finite and > 0.
///  2. phaseLengths[0] + phaseLengths[1] + phaseLengths[2] does not exceed 2^64 - 1.
///  3. n <= 2^32 - 1; nameOffsets.size == n + 1; nameOffsets[0] == 0;
///     nameOffsets is non-decreasing; nameOffsets[n] == names.size.
///  4. Channel names (names[nameOffsets[c] .. nameOffsets[c+1])) are strictly
///     increasing in byte-wise (unsigned char, lexicographic) order.
///  5. entries.size == 3n; each entry is 0 or 1; each channel has at least one 1.
///  6. trackKeys.size == 3n + 1; trackKeys[0] == 0; trackKeys is
///     non-decreasing; trackKeys[3n] == K; a track with keys has entries == 1.
///  7. effects.size == K; every duration is >= 1.
///  8. linearArgs.size == 2L.
///  9. trackFrames.size == 3n; trackFrames[t] is the sum (exact, 64-bit, not
///     overflowing) of the durations of track t's keys; phaseLengths[p] is the
///     largest trackFrames[3c + p] over all channels c (0 when n == 0).
/// 10. trackBlocks.size == 3n + 1; trackBlocks[0] == 0; trackBlocks[t+1] -
///     trackBlocks[t] == ceil((trackKeys[t+1] - trackKeys[t]) / 64); with B =
///     trackBlocks[3n], blockFrames, blockLinears and blockHeld have B elements.
/// 11. Block j of track t (index trackBlocks[t] + j) starts at key f =
///     trackKeys[t] + 64j; its blockFrames is the sum of the durations of
///     keys trackKeys[t] .. f - 1 (0 for j == 0).
/// 12. blockLinears of that block is the number of keys with effect 0 whose
///     index is below f.
/// 13. blockHeld of that block has the bits of the end argument of the last
///     key with effect 0 of the same channel whose index is below f (keys
///     trackKeys[3c] .. f - 1 for channel c), or `clipNoHeldBits` when none.
/// 14. trackHeld.size == 3n; trackHeld[t] is, in the same way, the end
///     argument of the last key with effect 0 of track t's channel whose index
///     is below trackKeys[t + 1], or `clipNoHeldBits`.
/// 15. When `fromTimeline` is true, no channel has an entry in the intro or
///     the outro (entries[3c] == entries[3c + 2] == 0).
struct ClipArrays {
    /// Frames per second.
    float fps = 25.0f;
    /// True when the source document was a timeline, loaded as the body of an animation.
    bool fromTimeline = false;
    /// Length in frames of the intro, the body and the outro.
    std::array<std::uint64_t, 3> phaseLengths{};
    /// n, the number of channels.
    std::uint64_t channelCount = 0;
    /// n + 1 offsets into `names`: channel c's name is names[nameOffsets[c] .. nameOffsets[c+1]).
    ClipArray<std::uint64_t> nameOffsets;
    /// The channel names' bytes, one after the other.
    ClipArray<char> names;
    /// 3n flags: 1 when channel c has an entry (maybe without keys) in phase p, at 3c + p.
    ClipArray<std::uint8_t> entries;
    /// 3n + 1 offsets into the key arrays: track t's keys are trackKeys[t] .. trackKeys[t+1] - 1.
    ClipArray<std::uint64_t> trackKeys;
    /// 3n + 1 offsets into the block arrays: track t's blocks are trackBlocks[t] .. trackBlocks[t+1] - 1.
    ClipArray<std::uint64_t> trackBlocks;
    /// 3n: the frames of track t's keys, summed.
    ClipArray<std::uint64_t> trackFrames;
    /// 3n: the value held after track t's last key (the channel's last Linear end so far).
    ClipArray<float> trackHeld;
    /// K: each key's duration in frames.
    ClipArray<std::uint32_t> durations;
    /// K: each key's effect (any 32-bit value; 0 is Linear).
    ClipArray<std::int32_t> effects;
    /// 2L: start and end of each Linear key, in key order.
    ClipArray<float> linearArgs;
    /// B: the frame, from the phase's start, at which each block's first key starts.
    ClipArray<std::uint64_t> blockFrames;
    /// B: the number of Linear keys before each block's first key, in the whole key array.
    ClipArray<std::uint64_t> blockLinears;
    /// B: the value held at each block's first key (the channel's last Linear end before it).
    ClipArray<float> blockHeld;
};

/// The result of `checkClipArrays`: 0 when valid, else the number of the first invariant that fails.
struct ClipArraysCheck {
    /// 0 when every invariant holds, else the number (1 to 15) of the first that fails.
    int failedInvariant = 0;
    /// True when every invariant holds.
    explicit operator bool() const noexcept { return failedInvariant == 0; }
};

/// Checks every invariant of `ClipArrays` in time linear in the sizes, without allocating.
ANIMATIONMODEL_EXPORT ClipArraysCheck checkClipArrays(const ClipArrays& arrays) noexcept;

} // namespace Korva

#endif
