// The C interface: cursors and sampling into the caller's buffers.
#include "errorreport.h"
#include "handles.h"

#include <animationmodel/clipplayback.h>

#include <algorithm>
#include <limits>
#include <new>
#include <optional>

using namespace Korva;

namespace {

// Channels are sampled through the cursor's list form in chunks of this
// many, into buffers on the stack, when the caller's buffers are not one
// entry per channel.
constexpr std::size_t chunk = 256;

// Where a sample is taken: a frame, or a playback's exact position.
struct SamplePlace {
    double frame = 0.0;
    const ClipPlayback* playback = nullptr;

    void sample(ClipCursor& cursor, const ClipSampleBuffers& out) const noexcept
    {
        if (playback != nullptr) {
            cursor.sample(*playback, out);
        } else {
            cursor.sampleFrame(frame, out);
        }
    }
    void sample(ClipCursor& cursor, const std::uint32_t* channels, std::size_t count,
                const ClipSampleBuffers& out) const noexcept
    {
        if (playback != nullptr) {
            cursor.sample(*playback, channels, count, out);
        } else {
            cursor.sampleFrame(frame, channels, count, out);
        }
    }
};

// Entry i of the caller's buffers; effects and keyed may be null.
void put(std::size_t i, float value, std::int32_t effect, bool isKeyed, float* values, std::int32_t* effects,
         std::uint8_t* keyed) noexcept
{
    values[i] = value;
    if (effects != nullptr) {
        effects[i] = effect;
    }
    if (keyed != nullptr) {
        keyed[i] = isKeyed ? 1 : 0;
    }
}

// Samples `channelAt(i)` for i below `count` into entry i (an index out of
// range gives NaN, 0, 0), a chunk at a time.
template <class ChannelAt>
void sampleList(ClipCursor& cursor, const SamplePlace& place, std::size_t count, ChannelAt channelAt, float* values,
                std::int32_t* effects, std::uint8_t* keyed) noexcept
{
    const std::uint32_t channels = cursor.channelCount();
    std::uint32_t indices[chunk];
    std::size_t places[chunk];
    float chunkValues[chunk];
    std::int32_t chunkEffects[chunk];
    bool chunkKeyed[chunk];
    for (std::size_t start = 0; start < count; start += chunk) {
        const std::size_t end = std::min(count, start + chunk);
        std::size_t valid = 0;
        for (std::size_t i = start; i < end; ++i) {
            const std::uint32_t channel = channelAt(i);
            if (channel < channels) {
                indices[valid] = channel;
                places[valid++] = i;
            } else {
                put(i, std::numeric_limits<float>::quiet_NaN(), 0, false, values, effects, keyed);
            }
        }
        place.sample(cursor, indices, valid, ClipSampleBuffers{chunkValues, chunkEffects, chunkKeyed});
        for (std::size_t k = 0; k < valid; ++k) {
            put(places[k], chunkValues[k], chunkEffects[k], chunkKeyed[k], values, effects, keyed);
        }
    }
}

void sampleAll(am_cursor* cursor, const SamplePlace& place, std::size_t count, float* values, std::int32_t* effects,
               std::uint8_t* keyed) noexcept
{
    if (cursor == nullptr || (values == nullptr && count != 0)) {
        return;
    }
    ClipCursor& sampler = cursor->cursor;
    const std::size_t channels = sampler.channelCount();
    if (count < channels || keyed != nullptr) {
        sampleList(
            sampler, place, std::min(count, channels), [](std::size_t i) { return static_cast<std::uint32_t>(i); },
            values, effects, keyed);
        return;
    }
    place.sample(sampler, ClipSampleBuffers{values, effects, nullptr});
}

} // namespace

extern "C" {

am_status am_cursor_create(const am_clip* clip, am_cursor** cursor, am_error* error)
{
    if (clip == nullptr || cursor == nullptr) {
        return capi::report(error, AM_INVALID_ARGUMENT, clip == nullptr ? "clip is NULL" : "cursor is NULL");
    }
    std::optional<ClipCursor> made = ClipCursor::tryCreate(clip->clip);
    if (!made) {
        return capi::report(error, AM_NO_MEMORY, "out of memory");
    }
    auto* handle = new (std::nothrow) am_cursor{std::move(*made)};
    if (handle == nullptr) {
        return capi::report(error, AM_NO_MEMORY, "out of memory");
    }
    *cursor = handle;
    return capi::succeeded(error);
}

void am_cursor_free(am_cursor* cursor)
{
    delete cursor;
}

void am_cursor_sample_frame(am_cursor* cursor, double frame, size_t count, float* values, int32_t* effects,
                            uint8_t* keyed)
{
    sampleAll(cursor, SamplePlace{frame}, count, values, effects, keyed);
}

void am_cursor_sample_seconds(am_cursor* cursor, double seconds, size_t count, float* values, int32_t* effects,
                              uint8_t* keyed)
{
    if (cursor != nullptr) {
        const double frame = seconds * static_cast<double>(cursor->cursor.clip().fps());
        sampleAll(cursor, SamplePlace{frame}, count, values, effects, keyed);
    }
}

void am_cursor_sample_channels(am_cursor* cursor, double frame, const uint32_t* channels, size_t count, float* values,
                               int32_t* effects, uint8_t* keyed)
{
    if (cursor == nullptr || count == 0 || channels == nullptr || values == nullptr) {
        return;
    }
    sampleList(
        cursor->cursor, SamplePlace{frame}, count, [channels](std::size_t i) { return channels[i]; }, values, effects,
        keyed);
}

void am_cursor_sample_playback(am_cursor* cursor, const am_playback* playback, size_t count, float* values,
                               int32_t* effects, uint8_t* keyed)
{
    if (playback != nullptr) {
        sampleAll(cursor, SamplePlace{0.0, &playback->playback}, count, values, effects, keyed);
    }
}

} // extern "C"
