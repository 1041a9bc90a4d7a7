#include "clipchannel.h"

#include <algorithm>
#include <cmath>

namespace Korva {

namespace {

constexpr std::uint64_t lastFrame = std::numeric_limits<std::uint64_t>::max();

// Asks for the lines of a block's effects and of its first Linear arguments
// that a seek reads after its durations, so that when the clip is out of the
// cache they arrive while the durations are walked rather than after.
inline void prefetchBlock(const ClipArrays& a, std::uint64_t first, std::uint64_t block) noexcept
{
#if defined(__GNUC__)
    const auto* effects = reinterpret_cast<const char*>(a.effects.data + first);
    const std::uint64_t bytes = std::min(clipBlockKeys, a.effects.size - first) * sizeof(std::int32_t);
    for (std::uint64_t line = 0; line < bytes; line += 64) {
        __builtin_prefetch(effects + line);
    }
    __builtin_prefetch(a.linearArgs.data + 2 * a.blockLinears[block]);
#endif
}

} // namespace

ClipChannelMover::ClipChannelMover(const ClipArrays& arrays) noexcept : _arrays(arrays), _phaseStarts{}
{
    for (std::size_t p = 0; p < 3; ++p) {
        _phaseStarts[p + 1] = _phaseStarts[p] + arrays.phaseLengths[p];
    }
}

ClipPosition ClipChannelMover::positionOf(double frame) const noexcept
{
    const std::uint64_t end = _phaseStarts[3];
    // 2^64 as a double: every double below it floors to a 64-bit frame count.
    constexpr double limit = 18446744073709551616.0;
    if (!(frame > 0.0)) {
        return {};
    }
    if (frame >= limit) {
        return {end, 0.0};
    }
    const double whole = std::floor(frame);
    const auto wholeFrame = static_cast<std::uint64_t>(whole);
    if (wholeFrame >= end) {
        return {end, 0.0};
    }
    return {wholeFrame, frame - whole};
}

void ClipChannelMover::seek(ClipChannelState& state, std::uint64_t channel, std::uint64_t frame) const noexcept
{
    const ClipArrays& a = _arrays;
    // The phases start in order: the phase is the number of later starts passed (no branch).
    const auto phase = static_cast<std::uint8_t>(static_cast<unsigned>(frame >= _phaseStarts[1])
                                                 + static_cast<unsigned>(frame >= _phaseStarts[2])
                                                 + static_cast<unsigned>(frame >= _phaseStarts[3]));
    state.phase = phase;
    state.effect = 0;
    state.keyed = false;
    if (phase == 3) {
        state.start = _phaseStarts[3];
        state.end = lastFrame;
        leaveRamp(state, a.trackHeld[3 * channel + 2]);
        return;
    }
    const std::uint64_t track = 3 * channel + phase;
    const std::uint64_t local = frame - _phaseStarts[phase];
    if (local >= a.trackFrames[track]) {
        state.start = _phaseStarts[phase] + a.trackFrames[track];
        state.end = _phaseStarts[phase + 1u];
        leaveRamp(state, a.trackHeld[track]);
        state.key = a.trackKeys[track + 1];
        return;
    }
    // The last block of the track that starts at or before `local`.
    std::uint64_t low = a.trackBlocks[track];
    std::uint64_t high = a.trackBlocks[track + 1];
    while (high - low > 1) {
        const std::uint64_t middle = low + (high - low) / 2;
        if (a.blockFrames[middle] <= local) {
            low = middle;
        } else {
            high = middle;
        }
    }
    const std::uint64_t first = a.trackKeys[track] + (low - a.trackBlocks[track]) * clipBlockKeys;
    prefetchBlock(a, first, low);
    std::uint64_t key = first;
    std::uint64_t start = a.blockFrames[low];
    // Eight keys at a time (sums the compiler vectorizes), then one by one;
    // the key that holds `local` lies in the track, so neither walk passes its end.
    constexpr std::uint64_t stride = 8;
    const std::uint64_t end = a.trackKeys[track + 1];
    while (end - key >= stride) {
        std::uint64_t frames = 0;
        for (std::uint64_t k = key; k < key + stride; ++k) {
            frames += a.durations[k];
        }
        if (start + frames > local) {
            break;
        }
        start += frames;
        key += stride;
    }
    while (start + a.durations[key] <= local) {
        start += a.durations[key];
        ++key;
    }
    // The Linear keys passed, counted without a branch per key; the held
    // value is the end of the last of them, if any.
    std::uint64_t passed = 0;
    for (std::uint64_t k = first; k < key; ++k) {
        passed += a.effects[k] == 0 ? 1 : 0;
    }
    const std::uint64_t linear = a.blockLinears[low] + passed;
    const float held = passed != 0 ? a.linearArgs[2 * linear - 1] : a.blockHeld[low];
    state.start = _phaseStarts[phase] + start;
    state.linear = linear;
    state.held = held;
    enterKey(state, key);
}

} // namespace Korva
