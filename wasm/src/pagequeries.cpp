// What the player page asks of a clip beyond the C interface's samples: the
// key playing at a frame, the key boundaries it steps between, and the text
// of values and effects as the tool's `sample` writes them.
#include "handles.h"

#include <animationmodel/files/valuetext.h>

#include <emscripten/em_macros.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

using namespace Korva;

namespace {

// The text into out[0..capacity), cut there; returns its length.
std::uint32_t copied(const std::string& text, char* out, std::uint32_t capacity)
{
    const auto length = static_cast<std::uint32_t>(std::min<std::size_t>(text.size(), capacity));
    std::memcpy(out, text.data(), length);
    return length;
}

// The phase playing at the whole frame `frame`, or none (3) past the end.
int phaseAt(const AnimationClip& clip, std::uint64_t frame)
{
    for (const AnimationPhase phase : animationPhases) {
        if (frame - clip.phaseStart(phase) < clip.phaseLength(phase) && frame >= clip.phaseStart(phase)) {
            return static_cast<int>(phase);
        }
    }
    return 3;
}

} // namespace

extern "C" {

/// 1 when the clip was compiled from a timeline (its body), else 0.
EMSCRIPTEN_KEEPALIVE int am_wasm_clip_from_timeline(const am_clip* clip)
{
    return clip->clip.fromTimeline() ? 1 : 0;
}

/// The phase playing at the whole frame `frame`: 0, 1 or 2, or 3 past the end.
EMSCRIPTEN_KEEPALIVE int am_wasm_phase_at(const am_clip* clip, double frame)
{
    return frame >= 0 && frame < 1.8e19 ? phaseAt(clip->clip, static_cast<std::uint64_t>(frame)) : 3;
}

/// The key of `channel` playing at the whole frame `frame`: its index in its
/// phase's keys in out[0] and the frames since it started in out[1]; returns
/// 0 (and writes nothing) when no key of the channel plays there.
EMSCRIPTEN_KEEPALIVE int am_wasm_key_at(const am_clip* clip, std::uint32_t channel, double frame, double* out)
{
    const int phase = am_wasm_phase_at(clip, frame);
    if (phase == 3 || channel >= clip->clip.channelCount()) {
        return 0;
    }
    const auto which = static_cast<AnimationPhase>(phase);
    const ClipKeyRange range = clip->clip.keys(channel, which);
    const auto& durations = clip->clip.arrays().durations;
    const std::uint64_t local = static_cast<std::uint64_t>(frame) - clip->clip.phaseStart(which);
    std::uint64_t start = 0;
    for (std::uint64_t key = 0; key < range.count; ++key) {
        const std::uint64_t end = start + durations[range.first + key];
        if (local < end) {
            out[0] = static_cast<double>(key);
            out[1] = static_cast<double>(local - start);
            return 1;
        }
        start = end;
    }
    return 0;
}

/// The nearest frame past `frame` (direction > 0) or before it (else) at which
/// a phase or a key of any channel starts, or the clip ends; `frame` itself
/// when there is none.
EMSCRIPTEN_KEEPALIVE double am_wasm_key_boundary(const am_clip* clip, double frame, int direction)
{
    const AnimationClip& c = clip->clip;
    double best = direction > 0 ? INFINITY : -INFINITY;
    const auto consider = [&](double boundary) {
        if (direction > 0 ? (boundary > frame && boundary < best) : (boundary < frame && boundary > best)) {
            best = boundary;
        }
    };
    consider(0);
    consider(static_cast<double>(c.frameCount()));
    const auto& durations = c.arrays().durations;
    for (const AnimationPhase phase : animationPhases) {
        const std::uint64_t phaseStart = c.phaseStart(phase);
        consider(static_cast<double>(phaseStart));
        for (std::uint32_t channel = 0; channel < c.channelCount(); ++channel) {
            const ClipKeyRange range = c.keys(channel, phase);
            std::uint64_t end = phaseStart;
            for (std::uint64_t key = 0; key < range.count; ++key) {
                end += durations[range.first + key];
                consider(static_cast<double>(end));
            }
        }
    }
    return std::isfinite(best) ? best : frame;
}

/// The text of the float `value` (as every format writes it) in out[0..capacity); returns its length.
EMSCRIPTEN_KEEPALIVE std::uint32_t am_wasm_float_text(float value, char* out, std::uint32_t capacity)
{
    return copied(floatText(value), out, capacity);
}

/// The text of the effect `effect` (its name, or its number) in out[0..capacity); returns its length.
EMSCRIPTEN_KEEPALIVE std::uint32_t am_wasm_effect_text(std::int32_t effect, char* out, std::uint32_t capacity)
{
    return copied(effectText(static_cast<AnimationKeyCommandEffect>(effect)), out, capacity);
}

} // extern "C"
