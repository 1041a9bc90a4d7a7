#include <animationmodel/clipcursor.h>

#include <animationmodel/clipplayback.h>

#include "clipchannel.h"

#include <algorithm>
#include <cassert>
#include <memory>
#include <new>
#include <utility>

namespace Korva {

namespace {

std::unique_ptr<ClipChannelState[]> statesAtZero(const AnimationClip& clip)
{
    const std::uint32_t count = clip.channelCount();
    auto states = std::make_unique<ClipChannelState[]>(count);
    const ClipChannelMover mover(clip.arrays());
    for (std::uint32_t c = 0; c < count; ++c) {
        mover.seek(states[c], c, 0);
    }
    return states;
}

// Samples channel `channel` into element `i` of `out`.
ANIMATIONMODEL_HOT_INLINE void sampleOne(const ClipChannelMover& mover, ClipChannelState& state, std::uint64_t channel,
                                         const ClipPosition& position, const ClipSampleBuffers& out,
                                         std::size_t i) noexcept
{
    mover.moveTo(state, channel, position.frame);
    const double offset = static_cast<double>(position.frame - state.start) + position.fraction;
    out.values[i] = state.valueAt(offset, position.fraction == 0.0);
    if (out.effects != nullptr) {
        out.effects[i] = state.effect;
    }
    if (out.keyed != nullptr) {
        out.keyed[i] = state.keyed;
    }
}

// The position of `playback` in the clip of `arrays`: the first frame of its
// phase plus its whole frames (the clip's end at or past it), and its fraction.
ClipPosition positionOf(const ClipArrays& arrays, const ClipPlayback& playback) noexcept
{
    const auto& lengths = arrays.phaseLengths;
    const auto phase = static_cast<std::size_t>(playback.phase());
    std::uint64_t start = 0;
    for (std::size_t p = 0; p < phase; ++p) {
        start += lengths[p];
    }
    const std::uint64_t end = lengths[0] + lengths[1] + lengths[2];
    const std::uint64_t whole = playback.phaseWholeFrame();
    if (whole >= end - start) {
        return {end, 0.0};
    }
    return {start + whole, playback.phaseFraction()};
}

} // namespace

ClipCursor::ClipCursor(const AnimationClip& clip) : _clip(&clip), _states(statesAtZero(clip).release())
{ }

std::optional<ClipCursor> ClipCursor::tryCreate(const AnimationClip& clip) noexcept
{
    try {
        return ClipCursor(clip);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

ClipCursor::ClipCursor(const ClipCursor& other)
    : _clip(other._clip), _states(std::make_unique<ClipChannelState[]>(other.channelCount()).release())
{
    std::copy(other._states, other._states + other.channelCount(), _states);
}

ClipCursor::ClipCursor(ClipCursor&& other) noexcept : _clip(other._clip), _states(std::exchange(other._states, nullptr))
{ }

ClipCursor& ClipCursor::operator=(const ClipCursor& other)
{
    if (this != &other) {
        ClipCursor copy(other);
        *this = std::move(copy);
    }
    return *this;
}

ClipCursor& ClipCursor::operator=(ClipCursor&& other) noexcept
{
    ClipCursor taken(std::move(other));
    std::swap(_clip, taken._clip);
    std::swap(_states, taken._states);
    return *this;
}

ClipCursor::~ClipCursor()
{
    delete[] _states;
}

void ClipCursor::_sample(const ClipPosition& position, const ClipSampleBuffers& out) noexcept
{
    const ClipChannelMover mover(_clip->arrays());
    const std::uint32_t count = channelCount();
    for (std::uint32_t c = 0; c < count; ++c) {
        sampleOne(mover, _states[c], c, position, out, c);
    }
}

void ClipCursor::_sample(const ClipPosition& position, const std::uint32_t* channels, std::size_t count,
                         const ClipSampleBuffers& out) noexcept
{
    const ClipChannelMover mover(_clip->arrays());
    for (std::size_t i = 0; i < count; ++i) {
        assert(channels[i] < channelCount());
        sampleOne(mover, _states[channels[i]], channels[i], position, out, i);
    }
}

void ClipCursor::sampleFrame(double frame, const ClipSampleBuffers& out) noexcept
{
    _sample(ClipChannelMover(_clip->arrays()).positionOf(frame), out);
}

void ClipCursor::sampleFrame(double frame, const std::uint32_t* channels, std::size_t count,
                             const ClipSampleBuffers& out) noexcept
{
    _sample(ClipChannelMover(_clip->arrays()).positionOf(frame), channels, count, out);
}

void ClipCursor::sample(const ClipPlayback& playback, const ClipSampleBuffers& out) noexcept
{
    _sample(positionOf(_clip->arrays(), playback), out);
}

void ClipCursor::sample(const ClipPlayback& playback, const std::uint32_t* channels, std::size_t count,
                        const ClipSampleBuffers& out) noexcept
{
    _sample(positionOf(_clip->arrays(), playback), channels, count, out);
}

void ClipCursor::sampleTime(double seconds, const ClipSampleBuffers& out) noexcept
{
    sampleFrame(seconds * static_cast<double>(_clip->fps()), out);
}

void ClipCursor::sampleTime(double seconds, const std::uint32_t* channels, std::size_t count,
                            const ClipSampleBuffers& out) noexcept
{
    sampleFrame(seconds * static_cast<double>(_clip->fps()), channels, count, out);
}

} // namespace Korva
