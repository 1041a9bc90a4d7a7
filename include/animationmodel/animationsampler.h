#ifndef ANIMATIONMODEL_ANIMATIONSAMPLER_H
#define ANIMATIONMODEL_ANIMATIONSAMPLER_H

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <animationmodel/animation.h>
#include <animationmodel/animationkey.h>
#include <animationmodel/animationmodel_export.h>
#include <animationmodel/lifetimebound.h>

namespace Korva {

// AnimationPhase, which this header used to declare, lives in animation.h.

/// What one layer plays at one frame.
struct LayerSample {
    /// The layer's name; points into the sampled animation.
    const std::string* layer = nullptr;
    /// The key that covers the frame; points into the sampled animation.
    const AnimationKey* key = nullptr;
    /// The key's index in the layer's sequence of its phase.
    std::size_t keyIndex = 0;
    /// Frames since the key's first frame, from 0 to key->duration() - 1.
    unsigned int offset = 0;
    /// key->valueAt(offset): the value of a `Linear` key, nothing for other effects.
    std::optional<float> value;
};

/// The samples of one frame, in layer name order: a view into the sampler that
/// stays valid until its next `seek` or `advance`.
class FrameSamples {
public:
    /// No sample.
    FrameSamples() noexcept = default;
    /// The `count` samples from `first` on.
    FrameSamples(const LayerSample* first, std::size_t count) noexcept : _first(first), _count(count) { }

    /// The first sample.
    const LayerSample* begin() const noexcept { return _first; }
    /// Past the last sample.
    const LayerSample* end() const noexcept { return _first + _count; }
    /// The number of layers that have a key at the frame.
    std::size_t size() const noexcept { return _count; }
    /// True when no layer has a key at the frame.
    bool empty() const noexcept { return _count == 0; }
    /// The sample at `index`, which must be below size().
    const LayerSample& operator[](std::size_t index) const noexcept
    {
        assert(index < _count);
        return _first[index];
    }

private:
    const LayerSample* _first = nullptr;
    std::size_t _count = 0;
};

/// A frame of an animation located in its phase.
struct PhaseFrame {
    /// The phase that plays the frame.
    AnimationPhase phase;
    /// Frames since the phase's first frame.
    std::uint64_t frame;
};

/// Plays an animation back: which key every layer is on at a frame, how far
/// into it, and the value of a `Linear` key there.
///
/// The sampler reads the animation by reference: the animation must outlive
/// it and must not change while it is in use (rebuild the sampler after any
/// change). Frames count from the intro's first frame; the intro covers
/// [0, I), the body [I, I + B) and the outro [I + B, I + B + O), where each
/// phase lasts as long as its longest layer. Lengths are 64-bit here, so an
/// animation longer than 2^32 - 1 frames is played in full.
///
/// Invariants:
///  1. Every layer of a phase starts at the phase's first frame; a layer
///     shorter than its phase has no key after its end, and a layer entry
///     without keys never has one.
///  2. The samples of a frame are those of its phase's layers that have a key
///     there, in name order.
///  3. A frame at or past the end has no sample: `seek` and `advance` then
///     give an empty list, never a stale key.
///  4. After construction nothing allocates: `seek` costs O(log keys) per
///     layer of the frame's phase, `advance` amortized O(1) per layer.
///
/// Value type, copyable; copies sample independently. A sampler belongs to
/// one thread at a time; samplers of one const animation may run on
/// different threads at once.
class AnimationSampler {
public:
    /// Prepares to sample `animation`, positioned before frame 0 (`advance` then gives frame 0).
    ANIMATIONMODEL_EXPORT explicit AnimationSampler(const Animation& animation ANIMATIONMODEL_LIFETIMEBOUND);
    /// A sampler of a temporary would read a destroyed animation.
    explicit AnimationSampler(const Animation&& animation) = delete;

    /// Total number of frames: the sum of the three phases' lengths, 64-bit.
    std::uint64_t frameCount() const noexcept { return _phaseStart[3]; }
    /// Number of frames of `phase`: its longest layer.
    ANIMATIONMODEL_EXPORT std::uint64_t phaseLength(AnimationPhase phase) const noexcept;
    /// The first frame of `phase`, counted from the animation's frame 0.
    ANIMATIONMODEL_EXPORT std::uint64_t phaseStart(AnimationPhase phase) const noexcept;
    /// The phase of `frame` and its frame within the phase; nothing at or past the end.
    ANIMATIONMODEL_EXPORT std::optional<PhaseFrame> locate(std::uint64_t frame) const noexcept;

    /// Moves to `frame` and returns what every layer plays there (empty at or past the end).
    ANIMATIONMODEL_EXPORT FrameSamples seek(std::uint64_t frame) noexcept;
    /// Moves to the next frame and returns what every layer plays there (empty at or past the end).
    ANIMATIONMODEL_EXPORT FrameSamples advance() noexcept;

    /// The current frame; only meaningful after a `seek` or an `advance`.
    std::uint64_t frame() const noexcept { return _frame; }
    /// What every layer plays at the current frame, as the last `seek` or `advance` returned.
    FrameSamples samples() const noexcept { return FrameSamples(_samples.data(), _sampleCount); }
    /// True when some phase of the sampled animation has a layer named `name`.
    ANIMATIONMODEL_EXPORT bool hasLayer(std::string_view name) const noexcept;

private:
    // One layer of one phase, with the frame at which each of its keys ends,
    // and the sequential cursor: the key under the current frame and its start.
    struct Track {
        const std::string* name;
        const std::vector<AnimationKey>* keys;
        std::vector<std::uint64_t> keyEnds;
        std::size_t key;
        std::uint64_t keyStart;
    };

    void _enterPhase(unsigned int phase) noexcept;
    void _collect() noexcept;

    std::vector<Track> _tracks;
    std::size_t _phaseTracks[4] = {};
    std::uint64_t _phaseStart[4] = {};
    std::vector<LayerSample> _samples;
    std::size_t _sampleCount = 0;
    std::uint64_t _frame = 0;
    unsigned int _phase = 0;
    bool _started = false;
};

} // namespace Korva

#endif
