// The C interface: key events, channel maps and blends.
#include "errorreport.h"
#include "handles.h"

#include <animationmodel/clipblend.h>
#include <animationmodel/clipchannelmap.h>
#include <animationmodel/clipevents.h>
#include <animationmodel/clipeventtracker.h>
#include <animationmodel/clipplayback.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

using namespace Korva;

/// A tracker of a clip's key events.
struct am_event_tracker {
    /// The runtime's tracker.
    ClipEventTracker tracker;
};

/// The channel map of two clips.
struct am_channel_map {
    /// The runtime's map.
    ClipChannelMap map;
};

namespace {

std::optional<AnimationPhase> phaseOf(int phase) noexcept
{
    if (phase < 0 || phase > 2) {
        return std::nullopt;
    }
    return static_cast<AnimationPhase>(phase);
}

// The runtime's point of a C position; nothing for a phase other than 0 to 2
// or a fraction outside [0, 1).
std::optional<ClipSpanPoint> pointOf(const am_position& position) noexcept
{
    const std::optional<AnimationPhase> phase = phaseOf(position.phase);
    if (!phase || !(position.fraction >= 0.0 && position.fraction < 1.0)) {
        return std::nullopt;
    }
    return ClipSpanPoint{*phase, position.whole, position.fraction};
}

// The C event of a runtime one.
am_key_event eventOf(const ClipKeyEvent& event) noexcept
{
    return am_key_event{event.frame, event.key, event.loop, event.channel, event.effect, static_cast<int>(event.phase)};
}

// Checks the arguments, has `collect` write the runtime's events into the
// caller's buffer, then turns them into C events one by one in place: the
// same size, no allocation.
template <class Collect>
am_status collectInto(const AnimationClip& clip, const am_span* span, const uint32_t* channels, size_t channelCount,
                      am_key_event* events, size_t capacity, size_t* total, Collect collect) noexcept
{
    if (span == nullptr || total == nullptr || (events == nullptr && capacity != 0)) {
        return AM_INVALID_ARGUMENT;
    }
    const std::optional<ClipSpanPoint> from = pointOf(span->from);
    const std::optional<ClipSpanPoint> to = pointOf(span->to);
    const std::uint32_t count = clip.channelCount();
    if (!from || !to || (channels != nullptr && std::any_of(channels, channels + channelCount, [&](std::uint32_t c) {
                             return c >= count;
                         }))) {
        return AM_INVALID_ARGUMENT;
    }
    static_assert(sizeof(am_key_event) == sizeof(ClipKeyEvent) && alignof(am_key_event) >= alignof(ClipKeyEvent),
                  "a runtime event takes the place of a C event");
    const ClipSpan runtimeSpan{*from, *to, span->wraps, span->include_from != 0};
    *total = collect(runtimeSpan, reinterpret_cast<ClipKeyEvent*>(events));
    for (std::size_t i = 0; i < std::min(*total, capacity); ++i) {
        ClipKeyEvent event;
        std::memcpy(static_cast<void*>(&event), &events[i], sizeof(event));
        const am_key_event converted = eventOf(event);
        std::memcpy(&events[i], &converted, sizeof(converted));
    }
    return AM_OK;
}

} // namespace

extern "C" {

void am_playback_position(const am_playback* playback, am_position* position)
{
    if (playback != nullptr && position != nullptr) {
        const ClipPlayback& runtime = playback->playback;
        *position = am_position{static_cast<int>(runtime.phase()), runtime.phaseWholeFrame(), runtime.phaseFraction()};
    }
}

am_position am_position_at(int phase, double frame)
{
    const ClipSpanPoint point = ClipSpanPoint::at(AnimationPhase::Intro, frame);
    return am_position{phase, point.whole, point.fraction};
}

am_status am_clip_key_events(const am_clip* clip, const am_span* span, const uint32_t* channels, size_t channel_count,
                             am_key_event* events, size_t capacity, size_t* total)
{
    if (clip == nullptr) {
        return AM_INVALID_ARGUMENT;
    }
    return collectInto(clip->clip, span, channels, channel_count, events, capacity, total,
                       [&](const ClipSpan& s, ClipKeyEvent* out) {
                           return collectKeyEvents(clip->clip, s, channels, channel_count, out, capacity);
                       });
}

am_status am_event_tracker_create(const am_clip* clip, am_event_tracker** tracker, am_error* error)
{
    if (clip == nullptr || tracker == nullptr) {
        return capi::report(error, AM_INVALID_ARGUMENT, clip == nullptr ? "clip is NULL" : "tracker is NULL");
    }
    std::optional<ClipEventTracker> made = ClipEventTracker::tryCreate(clip->clip);
    auto* handle = made ? new (std::nothrow) am_event_tracker{std::move(*made)} : nullptr;
    if (handle == nullptr) {
        return capi::report(error, AM_NO_MEMORY, "out of memory");
    }
    *tracker = handle;
    return capi::succeeded(error);
}

void am_event_tracker_free(am_event_tracker* tracker)
{
    delete tracker;
}

am_status am_event_tracker_collect(am_event_tracker* tracker, const am_span* span, const uint32_t* channels,
                                   size_t channel_count, am_key_event* events, size_t capacity, size_t* total)
{
    if (tracker == nullptr) {
        return AM_INVALID_ARGUMENT;
    }
    ClipEventTracker& runtime = tracker->tracker;
    return collectInto(runtime.clip(), span, channels, channel_count, events, capacity, total,
                       [&](const ClipSpan& s, ClipKeyEvent* out) {
                           return runtime.collect(s, channels, channel_count, out, capacity);
                       });
}

am_status am_channel_map_create(const am_clip* first, const am_clip* second, am_channel_map** map, am_error* error)
{
    if (first == nullptr || second == nullptr || map == nullptr) {
        return capi::report(error, AM_INVALID_ARGUMENT,
                            first == nullptr        ? "first is NULL"
                                : second == nullptr ? "second is NULL"
                                                    : "map is NULL");
    }
    std::optional<ClipChannelMap> made = ClipChannelMap::tryCreate(first->clip, second->clip);
    auto* handle = made ? new (std::nothrow) am_channel_map{std::move(*made)} : nullptr;
    if (handle == nullptr) {
        return capi::report(error, AM_NO_MEMORY, "out of memory");
    }
    *map = handle;
    return capi::succeeded(error);
}

void am_channel_map_free(am_channel_map* map)
{
    delete map;
}

size_t am_channel_map_pairs(const am_channel_map* map, const uint32_t** from, const uint32_t** to)
{
    if (map == nullptr) {
        return 0;
    }
    if (from != nullptr) {
        *from = map->map.from().data();
    }
    if (to != nullptr) {
        *to = map->map.to().data();
    }
    return map->map.size();
}

size_t am_channel_map_missing(const am_channel_map* map, int side, const uint32_t** channels)
{
    if (map == nullptr || (side != 0 && side != 1)) {
        return 0;
    }
    const ClipChannelList missing = side == 0 ? map->map.onlyInFirst() : map->map.onlyInSecond();
    if (channels != nullptr) {
        *channels = missing.data();
    }
    return missing.size();
}

am_status am_blend_samples(const float* a_values, const int32_t* a_effects, const uint8_t* a_keyed,
                           const float* b_values, const int32_t* b_effects, const uint8_t* b_keyed, float weight,
                           size_t count, float* values, int32_t* effects, uint8_t* keyed)
{
    const bool second = ClipBlend::takesSecond(weight);
    const std::int32_t* sideEffects = second ? b_effects : a_effects;
    const std::uint8_t* sideKeyed = second ? b_keyed : a_keyed;
    const bool missing = a_values == nullptr || b_values == nullptr || values == nullptr
        || (effects != nullptr && sideEffects == nullptr) || (keyed != nullptr && sideKeyed == nullptr);
    if (!(weight >= 0.0f && weight <= 1.0f) || (missing && count != 0)) {
        return AM_INVALID_ARGUMENT;
    }
    // The values through the runtime (which reads them only); effects and
    // key flags (bytes here) copied from the side it chooses.
    ClipBlend::samples(ClipSampleBuffers{const_cast<float*>(a_values)}, ClipSampleBuffers{const_cast<float*>(b_values)},
                       weight, count, ClipSampleBuffers{values});
    if (effects != nullptr && count != 0) {
        std::memmove(effects, sideEffects, count * sizeof(*effects));
    }
    if (keyed != nullptr && count != 0) {
        std::memmove(keyed, sideKeyed, count);
    }
    return AM_OK;
}

} // extern "C"
