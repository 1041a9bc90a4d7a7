// The first, plain implementation of checkClipArrays (one early-exiting pass
// per invariant, key by key), kept to check the fast one's verdicts against.
#include "cliparrays_reference.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace Korva::Reference {

namespace {

constexpr std::uint64_t maxU64 = std::numeric_limits<std::uint64_t>::max();

std::uint32_t bitsOf(float value) noexcept
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

// True when `offsets` (size `count` + 1) starts at 0, never decreases and ends at `total`.
bool isOffsetTable(const ClipArray<std::uint64_t>& offsets, std::uint64_t count, std::uint64_t total) noexcept
{
    if (offsets.size != count + 1 || offsets[0] != 0 || offsets[count] != total) {
        return false;
    }
    for (std::uint64_t i = 0; i < count; ++i) {
        if (offsets[i] > offsets[i + 1]) {
            return false;
        }
    }
    return true;
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
    for (std::uint64_t c = 0; c < a.channelCount; ++c) {
        unsigned any = 0;
        for (std::uint64_t t = 3 * c; t < 3 * c + 3; ++t) {
            if (a.entries[t] > 1) {
                return false;
            }
            any |= a.entries[t];
        }
        if (any == 0) {
            return false;
        }
    }
    return true;
}

bool keyedTracksHaveEntries(const ClipArrays& a) noexcept
{
    for (std::uint64_t t = 0; t < 3 * a.channelCount; ++t) {
        if (a.trackKeys[t + 1] > a.trackKeys[t] && a.entries[t] == 0) {
            return false;
        }
    }
    return true;
}

bool durationsPositive(const ClipArrays& a) noexcept
{
    for (std::uint64_t k = 0; k < a.durations.size; ++k) {
        if (a.durations[k] == 0) {
            return false;
        }
    }
    return a.effects.size == a.durations.size;
}

std::uint64_t linearCount(const ClipArrays& a) noexcept
{
    std::uint64_t count = 0;
    for (std::uint64_t k = 0; k < a.effects.size; ++k) {
        count += a.effects[k] == 0 ? 1 : 0;
    }
    return count;
}

bool blockTableValid(const ClipArrays& a) noexcept
{
    const std::uint64_t tracks = 3 * a.channelCount;
    if (a.trackBlocks.size != tracks + 1 || a.trackBlocks[0] != 0) {
        return false;
    }
    for (std::uint64_t t = 0; t < tracks; ++t) {
        const std::uint64_t keys = a.trackKeys[t + 1] - a.trackKeys[t];
        const std::uint64_t blocks = keys / clipBlockKeys + (keys % clipBlockKeys != 0 ? 1 : 0);
        if (a.trackBlocks[t + 1] < a.trackBlocks[t] || a.trackBlocks[t + 1] - a.trackBlocks[t] != blocks) {
            return false;
        }
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

bool timelineHasBodyOnly(const ClipArrays& a) noexcept
{
    if (!a.fromTimeline) {
        return true;
    }
    for (std::uint64_t c = 0; c < a.channelCount; ++c) {
        if (a.entries[3 * c] != 0 || a.entries[3 * c + 2] != 0) {
            return false;
        }
    }
    return true;
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
    if (!durationsPositive(a)) {
        return 7;
    }
    if (a.linearArgs.size != 2 * linearCount(a)) {
        return 8;
    }
    return 0;
}

} // namespace

ClipArraysCheck checkClipArrays(const ClipArrays& arrays) noexcept
{
    if (const int failed = checkTables(arrays); failed != 0) {
        return {failed};
    }
    if (arrays.trackFrames.size != 3 * arrays.channelCount || arrays.trackHeld.size != 3 * arrays.channelCount) {
        return {arrays.trackFrames.size != 3 * arrays.channelCount ? 9 : 14};
    }
    if (!blockTableValid(arrays)) {
        return {10};
    }
    if (const int failed = walkKeys(arrays); failed != 0) {
        return {failed};
    }
    return {timelineHasBodyOnly(arrays) ? 0 : 15};
}

} // namespace Korva::Reference
