#include <animationmodel/clipevents.h>

#include "clipeventhint.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

namespace Korva {

namespace {

std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) noexcept
{
    return b > noFrame - a ? noFrame : a + b;
}

std::size_t saturatingAddCount(std::size_t a, std::uint64_t b) noexcept
{
    constexpr std::size_t most = std::numeric_limits<std::size_t>::max();
    return b >= most - a ? most : a + static_cast<std::size_t>(b);
}

// The events found, kept in the caller's buffer: while it has room, in the
// order found; once full, as a heap of the earliest ones.
class EventSink {
public:
    EventSink(ClipKeyEvent* out, std::size_t capacity) noexcept : _out(out), _capacity(capacity) { }

    // Keeps `event` if it is among the earliest so far; false when it is not
    // (then no later event of its channel is either).
    bool offer(const ClipKeyEvent& event) noexcept
    {
        if (_written < _capacity) {
            _out[_written++] = event;
            return true;
        }
        if (_capacity == 0) {
            return false;
        }
        if (!_heap) {
            std::make_heap(_out, _out + _capacity, keyEventBefore);
            _heap = true;
        }
        if (!keyEventBefore(event, _out[0])) {
            return false;
        }
        std::pop_heap(_out, _out + _capacity, keyEventBefore);
        _out[_capacity - 1] = event;
        std::push_heap(_out, _out + _capacity, keyEventBefore);
        return true;
    }

    // Puts what was kept in time order.
    void finish() noexcept
    {
        if (_heap) {
            std::sort_heap(_out, _out + _capacity, keyEventBefore);
        } else if (!std::is_sorted(_out, _out + _written, keyEventBefore)) {
            std::sort(_out, _out + _written, keyEventBefore);
        }
    }

private:
    ClipKeyEvent* _out;
    std::size_t _capacity;
    std::size_t _written = 0;
    bool _heap = false;
};

// Walks one channel's keys over the stretches of a span, counting them and
// offering them to the sink until it refuses one.
class ChannelWalk {
public:
    ChannelWalk(const ClipArrays& arrays, const std::array<std::uint64_t, 4>& phaseStarts, EventSink& sink,
                std::uint32_t channel) noexcept
        : _a(arrays), _phaseStarts(phaseStarts), _sink(sink), _channel(channel)
    { }

    // The keys that begin at frames first..last (from the intro's first frame)
    // in loop `loop`; `hint`, when not null, says where the next key at or
    // after some frame is, and is told where the walk stopped.
    void stretch(std::uint64_t first, std::uint64_t last, std::uint64_t loop, ClipEventHint* hint) noexcept
    {
        ClipNextKey next = hint != nullptr && hint->from == first ? hint->next : seekFrom(first);
        for (; next.frame != noFrame && next.frame <= last; advance(next)) {
            _count = saturatingAddCount(_count, 1);
            if (_open) {
                offer(next.frame, next.key, next.phase, loop);
            }
        }
        if (hint != nullptr) {
            hint->from = std::max(first, saturatingAdd(last, 1));
            hint->next = next;
        }
    }

    // `loops` whole body loops, the first numbered `firstLoop`.
    void bodyLoops(std::uint64_t firstLoop, std::uint64_t loops) noexcept
    {
        const std::uint64_t t = 3 * std::uint64_t{_channel} + 1;
        const std::uint64_t keys = _a.trackKeys[t + 1] - _a.trackKeys[t];
        const std::uint64_t all = keys != 0 && loops > noFrame / keys ? noFrame : keys * loops;
        _count = saturatingAddCount(_count, all);
        for (std::uint64_t i = 0; i < loops && _open && keys != 0; ++i) {
            std::uint64_t frame = _phaseStarts[1];
            for (std::uint64_t key = _a.trackKeys[t]; key < _a.trackKeys[t + 1] && _open; ++key) {
                offer(frame, key, 1, firstLoop + i);
                frame += _a.durations[key];
            }
        }
    }

    // The number of events of the channel.
    std::size_t count() const noexcept { return _count; }

private:
    void offer(std::uint64_t frame, std::uint64_t key, std::uint64_t phase, std::uint64_t loop) noexcept
    {
        ClipKeyEvent event;
        event.frame = frame;
        event.key = key - _a.trackKeys[3 * std::uint64_t{_channel} + phase];
        event.loop = loop;
        event.channel = _channel;
        event.effect = _a.effects[key];
        event.phase = static_cast<AnimationPhase>(phase);
        _open = _sink.offer(event);
    }

    // The channel's first key that begins at or after `first`.
    ClipNextKey seekFrom(std::uint64_t first) const noexcept
    {
        for (std::uint64_t p = 0; p < 3; ++p) {
            const std::uint64_t t = 3 * std::uint64_t{_channel} + p;
            const std::uint64_t start = _phaseStarts[p];
            const std::uint64_t low = first > start ? first - start : 0;
            if (_phaseStarts[p + 1] <= first || _a.trackKeys[t] == _a.trackKeys[t + 1] || low >= _a.trackFrames[t]) {
                continue;
            }
            // The last block that starts at or before `low`, then the first key starting at or after it.
            std::uint64_t lowBlock = _a.trackBlocks[t];
            std::uint64_t highBlock = _a.trackBlocks[t + 1];
            while (highBlock - lowBlock > 1) {
                const std::uint64_t middle = lowBlock + (highBlock - lowBlock) / 2;
                (_a.blockFrames[middle] <= low ? lowBlock : highBlock) = middle;
            }
            std::uint64_t key = _a.trackKeys[t] + (lowBlock - _a.trackBlocks[t]) * clipBlockKeys;
            std::uint64_t frame = _a.blockFrames[lowBlock];
            while (frame < low) {
                frame += _a.durations[key];
                ++key;
            }
            // Past the track's last key: the next one is in a later phase.
            if (key < _a.trackKeys[t + 1]) {
                return {start + frame, key, p};
            }
        }
        return {};
    }

    // `next` moved to the channel's key after it, in this phase or a later one.
    void advance(ClipNextKey& next) const noexcept
    {
        const std::uint64_t t = 3 * std::uint64_t{_channel} + next.phase;
        next.frame += _a.durations[next.key];
        ++next.key;
        if (next.key < _a.trackKeys[t + 1]) {
            return;
        }
        for (std::uint64_t p = next.phase + 1; p < 3; ++p) {
            const std::uint64_t later = 3 * std::uint64_t{_channel} + p;
            if (_a.trackKeys[later] < _a.trackKeys[later + 1]) {
                next = ClipNextKey{_phaseStarts[p], _a.trackKeys[later], p};
                return;
            }
        }
        next = ClipNextKey{};
    }

    const ClipArrays& _a;
    const std::array<std::uint64_t, 4>& _phaseStarts;
    EventSink& _sink;
    std::uint32_t _channel;
    std::size_t _count = 0;
    bool _open = true;
};

// The whole frames a span takes in, and its loops.
struct SpanFrames {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::uint64_t wraps = 0;
};

SpanFrames framesOf(const ClipSpan& span, const std::array<std::uint64_t, 4>& phaseStarts) noexcept
{
    const auto startOf = [&](AnimationPhase phase) {
        return phaseStarts[std::min<std::size_t>(static_cast<std::size_t>(phase), 3)];
    };
    SpanFrames frames;
    // From excluded: the first whole frame after it; included: the first at or after it.
    const bool past = !span.includeFrom || span.from.fraction > 0.0;
    frames.first = saturatingAdd(startOf(span.from.phase), saturatingAdd(span.from.whole, past ? 1 : 0));
    frames.last = saturatingAdd(startOf(span.to.phase), span.to.whole);
    frames.wraps = phaseStarts[2] > phaseStarts[1] ? span.wraps : 0;
    return frames;
}

// All the events of one channel within the span.
std::size_t walkChannel(ChannelWalk& walk, const SpanFrames& frames, const std::array<std::uint64_t, 4>& phaseStarts,
                        ClipEventHint* hint) noexcept
{
    if (frames.wraps == 0) {
        walk.stretch(frames.first, frames.last, 0, hint);
        return walk.count();
    }
    walk.stretch(frames.first, phaseStarts[2] - 1, 0, hint);
    walk.bodyLoops(1, frames.wraps - 1);
    walk.stretch(phaseStarts[1], frames.last, frames.wraps, hint);
    return walk.count();
}

} // namespace

ClipSpanPoint ClipSpanPoint::at(AnimationPhase phase, double frames) noexcept
{
    constexpr double limit = 18446744073709551616.0; // 2^64
    if (!(frames > 0.0)) {
        return {phase, 0, 0.0};
    }
    if (frames >= limit) {
        return {phase, noFrame, 0.0};
    }
    const double whole = std::floor(frames);
    // A double less its floor is exact.
    return {phase, static_cast<std::uint64_t>(whole), frames - whole};
}

bool keyEventBefore(const ClipKeyEvent& first, const ClipKeyEvent& second) noexcept
{
    if (first.loop != second.loop) {
        return first.loop < second.loop;
    }
    if (first.frame != second.frame) {
        return first.frame < second.frame;
    }
    if (first.channel != second.channel) {
        return first.channel < second.channel;
    }
    return first.key < second.key;
}

std::size_t collectKeyEvents(const AnimationClip& clip, const ClipSpan& span, const std::uint32_t* channels,
                             std::size_t channelCount, ClipKeyEvent* out, std::size_t capacity) noexcept
{
    return collectEvents(clip, span, channels, channelCount, out, capacity, nullptr);
}

std::size_t collectEvents(const AnimationClip& clip, const ClipSpan& span, const std::uint32_t* channels,
                          std::size_t channelCount, ClipKeyEvent* out, std::size_t capacity,
                          ClipEventHint* hints) noexcept
{
    const ClipArrays& arrays = clip.arrays();
    std::array<std::uint64_t, 4> phaseStarts{};
    for (std::size_t p = 0; p < 3; ++p) {
        phaseStarts[p + 1] = phaseStarts[p] + arrays.phaseLengths[p];
    }
    const SpanFrames frames = framesOf(span, phaseStarts);
    EventSink sink(out, capacity);
    std::size_t total = 0;
    const std::size_t count = channels != nullptr ? channelCount : clip.channelCount();
    // A channel whose hint is for this span's first frame and whose next key
    // lies past its last has nothing to report: the common case of a tick.
    const std::uint64_t nextFirst = std::max(frames.first, saturatingAdd(frames.last, 1));
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t channel = channels != nullptr ? channels[i] : static_cast<std::uint32_t>(i);
        assert(channel < clip.channelCount());
        ClipEventHint* hint = hints != nullptr ? &hints[channel] : nullptr;
        if (hint != nullptr && frames.wraps == 0 && hint->from == frames.first && hint->next.frame > frames.last) {
            hint->from = nextFirst;
            continue;
        }
        ChannelWalk walk(arrays, phaseStarts, sink, channel);
        total = saturatingAddCount(total, walkChannel(walk, frames, phaseStarts, hint));
    }
    sink.finish();
    return total;
}

} // namespace Korva
