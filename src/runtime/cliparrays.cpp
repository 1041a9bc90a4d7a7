#include <animationmodel/cliparrays.h>

#include "compilerhints.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstring>
#include <limits>

namespace Korva {

namespace {

constexpr std::uint64_t maxU64 = std::numeric_limits<std::uint64_t>::max();

ANIMATIONMODEL_HOT_INLINE std::uint32_t bitsOf(float value) noexcept
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

// 1 when `condition` holds, else 0: conditions combined with | and & without branching.
ANIMATIONMODEL_HOT_INLINE unsigned flag(bool condition) noexcept
{
    return condition ? 1u : 0u;
}

// True when `offsets` (size `count` + 1) starts at 0, never decreases and ends at `total`.
bool isOffsetTable(const ClipArray<std::uint64_t>& offsets, std::uint64_t count, std::uint64_t total) noexcept
{
    if (offsets.size != count + 1 || offsets[0] != 0 || offsets[count] != total) {
        return false;
    }
    bool decreases = false;
    for (std::uint64_t i = 0; i < count; ++i) {
        decreases |= offsets[i] > offsets[i + 1];
    }
    return !decreases;
}

bool namesIncrease(const ClipArrays& a) noexcept
{
    for (std::uint64_t c = 1; c < a.channelCount; ++c) {
        const unsigned char* left = reinterpret_cast<const unsigned char*>(a.names.data + a.nameOffsets[c - 1]);
        const unsigned char* right = reinterpret_cast<const unsigned char*>(a.names.data + a.nameOffsets[c]);
        const std::uint64_t leftSize = a.nameOffsets[c] - a.nameOffsets[c - 1];
        const std::uint64_t rightSize = a.nameOffsets[c + 1] - a.nameOffsets[c];
        const std::uint64_t common = leftSize < rightSize ? leftSize : rightSize;
        const int order = common == 0 ? 0 : std::memcmp(left, right, static_cast<std::size_t>(common));
        if (order > 0 || (order == 0 && leftSize >= rightSize)) {
            return false;
        }
    }
    return true;
}

bool entriesValid(const ClipArrays& a) noexcept
{
    if (a.entries.size != 3 * a.channelCount) {
        return false;
    }
    // A channel's three flags are each 0 or 1 with at least one 1 exactly when they OR to 1.
    bool bad = false;
    for (std::uint64_t c = 0; c < a.channelCount; ++c) {
        bad |= (a.entries[3 * c] | a.entries[3 * c + 1] | a.entries[3 * c + 2]) != 1;
    }
    return !bad;
}

bool keyedTracksHaveEntries(const ClipArrays& a) noexcept
{
    unsigned bad = 0;
    for (std::uint64_t t = 0; t < 3 * a.channelCount; ++t) {
        bad |= flag(a.trackKeys[t + 1] > a.trackKeys[t]) & flag(a.entries[t] == 0);
    }
    return bad == 0;
}

// Invariants 7 and 8 in one pass over the durations and the effects.
int checkKeys(const ClipArrays& a) noexcept
{
    const std::uint32_t* durations = a.durations.data;
    const std::int32_t* effects = a.effects.data;
    std::uint32_t zero = 0;
    std::uint64_t linear = 0;
    for (std::uint64_t k = 0; k < a.durations.size; ++k) {
        zero |= static_cast<std::uint32_t>(durations[k] == 0);
        linear += static_cast<std::uint64_t>(effects[k] == 0);
    }
    if (zero != 0) {
        return 7;
    }
    return a.linearArgs.size != 2 * linear ? 8 : 0;
}

bool blockTableValid(const ClipArrays& a) noexcept
{
    const std::uint64_t tracks = 3 * a.channelCount;
    if (a.trackBlocks.size != tracks + 1 || a.trackBlocks[0] != 0) {
        return false;
    }
    unsigned bad = 0;
    for (std::uint64_t t = 0; t < tracks; ++t) {
        const std::uint64_t keys = a.trackKeys[t + 1] - a.trackKeys[t];
        const std::uint64_t blocks = keys / clipBlockKeys + static_cast<std::uint64_t>(keys % clipBlockKeys != 0);
        bad |= flag(a.trackBlocks[t + 1] < a.trackBlocks[t]) | flag(a.trackBlocks[t + 1] - a.trackBlocks[t] != blocks);
    }
    if (bad != 0) {
        return false;
    }
    const std::uint64_t count = a.trackBlocks[tracks];
    return a.blockFrames.size == count && a.blockLinears.size == count && a.blockHeld.size == count;
}

// What a walk over every key has seen so far.
struct KeyWalk {
    std::uint64_t linear = 0;            // Linear keys passed
    std::uint32_t held = clipNoHeldBits; // bits of the channel's value held so far
    std::array<std::uint64_t, 3> longest{};
};

// Checks the block that starts `frames` into its track (11, 12, 13); returns the failing invariant or 0.
int checkBlock(const ClipArrays& a, std::uint64_t block, std::uint64_t frames, const KeyWalk& walk) noexcept
{
    if (a.blockFrames[block] != frames) {
        return 11;
    }
    if (a.blockLinears[block] != walk.linear) {
        return 12;
    }
    return bitsOf(a.blockHeld[block]) != walk.held ? 13 : 0;
}

// Walks the keys of track `t`, checking its blocks, its frames (9) and its held value (14).
int walkTrack(const ClipArrays& a, std::uint64_t t, KeyWalk& walk) noexcept
{
    std::uint64_t frames = 0;
    bool overflow = false;
    std::uint64_t block = a.trackBlocks[t];
    for (std::uint64_t k = a.trackKeys[t]; k < a.trackKeys[t + 1]; ++k) {
        if ((k - a.trackKeys[t]) % clipBlockKeys == 0) {
            if (const int failed = checkBlock(a, block, frames, walk); failed != 0) {
                return failed;
            }
            ++block;
        }
        overflow = overflow || frames > maxU64 - a.durations[k];
        frames += a.durations[k];
        if (a.effects[k] == 0) {
            walk.held = bitsOf(a.linearArgs[2 * walk.linear + 1]);
            ++walk.linear;
        }
    }
    if (overflow || a.trackFrames[t] != frames || frames > a.phaseLengths[t % 3]) {
        return 9;
    }
    walk.longest[t % 3] = std::max(walk.longest[t % 3], frames);
    return bitsOf(a.trackHeld[t]) != walk.held ? 14 : 0;
}

// Walks every key once (invariants 9 and 11 to 14); returns the first failing invariant or 0.
int walkKeys(const ClipArrays& a) noexcept
{
    KeyWalk walk;
    for (std::uint64_t c = 0; c < a.channelCount; ++c) {
        walk.held = clipNoHeldBits;
        for (std::uint64_t t = 3 * c; t < 3 * c + 3; ++t) {
            if (const int failed = walkTrack(a, t, walk); failed != 0) {
                return failed;
            }
        }
    }
    return walk.longest == a.phaseLengths ? 0 : 9;
}

// The bits held at key f of a channel, from L_f, the number of Linear keys
// below f: the end argument of Linear key L_f - 1 when it lies in the channel
// (L_f > `channelLinear`, the count at the channel's first key).
// Before invariant 8 is checked, a count past `linearArgs` (8 then fails) reads nothing.
ANIMATIONMODEL_HOT_INLINE std::uint32_t heldAt(const ClipArrays& a, std::uint64_t linear,
                                               std::uint64_t channelLinear) noexcept
{
    if (linear <= channelLinear || 2 * linear - 1 >= a.linearArgs.size) {
        return clipNoHeldBits;
    }
    return bitsOf(a.linearArgs[2 * linear - 1]);
}

// The sum of the durations, the number of Linear keys of `count` (<= 64)
// keys from `first`, and whether a duration is 0.
struct BlockSums {
    std::uint64_t frames = 0;
    std::uint64_t linear = 0;
    bool zero = false;
};

// Sums `count` keys from `first`. A duration's two 16-bit halves are summed
// apart in 32-bit lanes (a block's halves add up to less than 2^22), which
// vectorizes without widening every duration to 64 bits.
template <std::uint64_t Count>
ANIMATIONMODEL_HOT_INLINE BlockSums sumKeys(const std::uint32_t* durations, const std::int32_t* effects,
                                            std::uint64_t count) noexcept
{
    std::uint32_t low = 0;
    std::uint32_t high = 0;
    std::uint32_t linear = 0;
    std::uint32_t zero = 0;
    const std::uint64_t n = Count != 0 ? Count : count;
    for (std::uint64_t k = 0; k < n; ++k) {
        low += durations[k] & 0xFFFFu;
        high += durations[k] >> 16;
        linear += static_cast<std::uint32_t>(effects[k] == 0);
        zero |= static_cast<std::uint32_t>(durations[k] == 0);
    }
    return {low + (static_cast<std::uint64_t>(high) << 16), linear, zero != 0};
}

ANIMATIONMODEL_HOT_INLINE BlockSums sumBlock(const ClipArrays& a, std::uint64_t first, std::uint64_t count) noexcept
{
    static_assert(clipBlockKeys * 0xFFFFu < (1u << 31), "a block's halves fit 32 bits");
    const std::uint32_t* durations = a.durations.data + first;
    const std::int32_t* effects = a.effects.data + first;
    // A fixed trip count for full blocks, which the compiler unrolls.
    return count == clipBlockKeys ? sumKeys<clipBlockKeys>(durations, effects, count)
                                  : sumKeys<0>(durations, effects, count);
}

// What the block-wise walk has seen so far.
struct BlockWalk {
    std::uint64_t linear = 0; // Linear keys passed
    std::array<std::uint64_t, 3> longest{};
    bool zero = false; // a duration is 0
    bool bad = false;  // one of 9, 11 to 14 fails
};

// Walks track `t` a block of 64 keys at a time (the sums with AVX2 where the
// machine has it: the check of a file's arrays is most of the cost of using it).
ANIMATIONMODEL_WIDE_VECTORS void walkTrackBlocks(const ClipArrays& a, std::uint64_t t, std::uint64_t channelLinear,
                                                 BlockWalk& walk) noexcept
{
    std::uint64_t& linear = walk.linear;
    const std::uint64_t end = a.trackKeys[t + 1];
    std::uint64_t block = a.trackBlocks[t];
    std::uint64_t frames = 0;
    unsigned bad = 0;
    for (std::uint64_t first = a.trackKeys[t]; first < end; first += clipBlockKeys, ++block) {
        bad |= flag(a.blockFrames[block] != frames) | flag(a.blockLinears[block] != linear)
            | flag(bitsOf(a.blockHeld[block]) != heldAt(a, linear, channelLinear));
        const BlockSums sums = sumBlock(a, first, std::min(clipBlockKeys, end - first));
        bad |= flag(frames > maxU64 - sums.frames); // a block sums at most 64 (2^32 - 1): never overflows itself
        walk.zero |= sums.zero;
        frames += sums.frames;
        linear += sums.linear;
    }
    // A track longer than its phase shows in `longest`, compared once all are walked.
    bad |= flag(a.trackFrames[t] != frames) | flag(bitsOf(a.trackHeld[t]) != heldAt(a, linear, channelLinear));
    walk.longest[t % 3] = std::max(walk.longest[t % 3], frames);
    walk.bad = walk.bad || bad != 0;
}

// Invariants 7 to 9 and 11 to 14 in one block-wise pass, without stopping
// (needs 1 to 6, the sizes of 9, 10 and 14 and the table of 10); only when one
// of 9, 11 to 14 fails does the key-by-key walk run to name the first.
int checkBlocks(const ClipArrays& a) noexcept
{
    BlockWalk walk;
    for (std::uint64_t c = 0; c < a.channelCount; ++c) {
        const std::uint64_t channelLinear = walk.linear;
        for (std::uint64_t t = 3 * c; t < 3 * c + 3; ++t) {
            walkTrackBlocks(a, t, channelLinear, walk);
        }
    }
    if (walk.zero) {
        return 7;
    }
    if (a.linearArgs.size != 2 * walk.linear) { // the tracks cover every key
        return 8;
    }
    if (!walk.bad && walk.longest == a.phaseLengths) {
        return 0;
    }
    const int failed = walkKeys(a);
    assert(failed != 0 && "the block-wise walk and the key-by-key walk disagree");
    return failed;
}

bool timelineHasBodyOnly(const ClipArrays& a) noexcept
{
    if (!a.fromTimeline) {
        return true;
    }
    unsigned outside = 0;
    for (std::uint64_t c = 0; c < a.channelCount; ++c) {
        outside |= a.entries[3 * c] | a.entries[3 * c + 2];
    }
    return outside == 0;
}

// Invariants 1 to 8, each needed before the next can be checked safely.
int checkTables(const ClipArrays& a) noexcept
{
    if (!(std::isfinite(a.fps) && a.fps > 0.0f)) {
        return 1;
    }
    if (a.phaseLengths[0] > maxU64 - a.phaseLengths[1]
        || a.phaseLengths[0] + a.phaseLengths[1] > maxU64 - a.phaseLengths[2]) {
        return 2;
    }
    if (a.channelCount > std::numeric_limits<std::uint32_t>::max()
        || !isOffsetTable(a.nameOffsets, a.channelCount, a.names.size)) {
        return 3;
    }
    if (!namesIncrease(a)) {
        return 4;
    }
    if (!entriesValid(a)) {
        return 5;
    }
    if (!isOffsetTable(a.trackKeys, 3 * a.channelCount, a.durations.size) || !keyedTracksHaveEntries(a)) {
        return 6;
    }
    return a.effects.size != a.durations.size ? 7 : 0;
}

// Invariants 9, 10 and 14 on the sizes and the block table alone.
int checkSizes(const ClipArrays& a) noexcept
{
    if (a.trackFrames.size != 3 * a.channelCount || a.trackHeld.size != 3 * a.channelCount) {
        return a.trackFrames.size != 3 * a.channelCount ? 9 : 14;
    }
    return blockTableValid(a) ? 0 : 10;
}

} // namespace

ClipArraysCheck checkClipArrays(const ClipArrays& arrays) noexcept
{
    if (const int failed = checkTables(arrays); failed != 0) {
        return {failed};
    }
    if (const int failed = checkSizes(arrays); failed != 0) {
        // Rare: 7 and 8 come first, and need a pass of their own.
        const int keys = checkKeys(arrays);
        return {keys != 0 ? keys : failed};
    }
    if (const int failed = checkBlocks(arrays); failed != 0) {
        return {failed};
    }
    return {timelineHasBodyOnly(arrays) ? 0 : 15};
}

} // namespace Korva
