#ifndef ANIMATIONMODEL_ANIMATIONALGORITHMS_H
#define ANIMATIONMODEL_ANIMATIONALGORITHMS_H

// Whole-document operations built on the classes of the core, shared by the
// command-line tool, the Python module and any other front end, so that they
// all give the same answers and the same refusals.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <animationmodel/animation.h>
#include <animationmodel/animationmodel_export.h>
#include <animationmodel/animationsampler.h>

namespace Korva {

/// How `splitEveryKey` cuts a key longer than the length of the pieces.
enum class KeySplitting {
    /// At every multiple of the length from the key's start, by the rule of
    /// `AnimationKey::splitAt`: each `Linear` piece runs from the key's value
    /// at its first frame to the key's value at the frame after its last
    /// (`valueAt`), so the pieces play what the key plays, within the bound of
    /// a cut (docs/playback.md). See `splitAtEvery`.
    AtFrames,
    /// By `AnimationKey::splitEach`: the value range shared evenly by the
    /// pieces, the shorter last one included, whatever their lengths.
    EvenValues,
};

/// `key` cut at every multiple of `length` frames from its start: ceil(D /
/// length) pieces of `length` frames, the last holding the remaining 1 to
/// `length`; piece i of a `Linear` key runs from `valueAt(i * length)` to
/// `valueAt(min((i + 1) * length, D))` (so [0, 12] over 10 frames by 4 gives
/// [0, 4.8], [4.8, 9.6], [9.6, 12]); held pieces carry the command; a key of
/// at most `length` frames comes back whole. Returns no piece when a cut is
/// needed but the effect has no splitting rule. Throws
/// `std::invalid_argument` if `length` is 0 (the text of `splitEach`).
ANIMATIONMODEL_EXPORT std::vector<AnimationKey> splitAtEvery(const AnimationKey& key, unsigned int length);

/// Every key of `layers` (a timeline) in pieces of at most `length` frames:
/// a key of at most `length` frames is copied whole, a longer one is replaced
/// by its pieces by `rule` (`splitAtEvery`, or `splitEach`). Throws
/// `std::invalid_argument` when `length` is 0 (the text of
/// `AnimationKey::splitEach`), or naming the first longer key whose effect has
/// no splitting rule: "key I of layer "NAME" in the timeline cannot be split:
/// command E has no splitting rule". Nothing is returned then; `layers` is
/// never modified.
ANIMATIONMODEL_EXPORT LayerMap splitEveryKey(const LayerMap& layers, unsigned int length, KeySplitting rule);
/// `splitEveryKey(layers, length, KeySplitting::AtFrames)` (an overload, not a
/// default argument, so that programs linked against the first release find it).
ANIMATIONMODEL_EXPORT LayerMap splitEveryKey(const LayerMap& layers, unsigned int length);
/// The same for the three phases of `animation` ("in the intro", "in the body",
/// "in the outro"); the result keeps the animation's frame rate.
ANIMATIONMODEL_EXPORT Animation splitEveryKey(const Animation& animation, unsigned int length, KeySplitting rule);
/// `splitEveryKey(animation, length, KeySplitting::AtFrames)`.
ANIMATIONMODEL_EXPORT Animation splitEveryKey(const Animation& animation, unsigned int length);

/// The number of keys `splitEveryKey(layers, length)` makes, found without
/// making any: each key of D frames counts ceil(D / length), by either rule.
/// Refuses exactly what `splitEveryKey` refuses, with the same texts.
ANIMATIONMODEL_EXPORT std::uint64_t splitEveryKeyCount(const LayerMap& layers, unsigned int length);
/// The number of keys `splitEveryKey(animation, length)` makes.
ANIMATIONMODEL_EXPORT std::uint64_t splitEveryKeyCount(const Animation& animation, unsigned int length);

/// A layer whose body, once a timeline is cut, runs past the outro start: the
/// key that the intro end falls inside also reaches past the outro start, so
/// its whole second piece goes to the body (the cut keeps every frame, and
/// the animation comes out longer than the timeline).
struct CutOverrun {
    /// The layer's name.
    std::string layer;
    /// The index, in the timeline layer, of the key cut at the intro end.
    std::size_t keyIndex = 0;
    /// How many frames the body runs past the outro start: the key's end
    /// minus the outro start.
    std::uint64_t frames = 0;
};

/// Every layer of `timeline` that `Animation(timeline, introEnd, outroStart)`
/// gives a body running past `outroStart`, in layer name order. Found
/// without cutting anything; never throws but for lack of memory.
ANIMATIONMODEL_EXPORT std::vector<CutOverrun> cutOverruns(const LayerMap& timeline, unsigned int introEnd,
                                                          unsigned int outroStart);

/// One row of a sampled frame range: what one layer plays at one frame.
struct SampledRow {
    /// The frame, counted from the animation's frame 0.
    std::uint64_t frame = 0;
    /// The phase that plays the frame.
    AnimationPhase phase = AnimationPhase::Intro;
    /// The layer, its key, the offset into it and the value; valid during the call only.
    const LayerSample* sample = nullptr;
};

/// The layers a range reports: all of them (no value), or only those named
/// (an empty list reports none).
using LayerSelection = std::optional<std::vector<std::string>>;

/// Calls `row` for every frame of [first, last) and every layer that has a key
/// there, frame by frame and in layer name order within a frame, moving
/// `sampler` along (seek to `first`, then advance). `last` is clamped to the
/// sampler's frame count, so a range that starts at or past the end calls
/// nothing; no memory is allocated per row. A name of `layers` that no phase
/// holds is refused with `std::invalid_argument` ("no layer named "NAME"")
/// before any row.
ANIMATIONMODEL_EXPORT void sampleRange(AnimationSampler& sampler, std::uint64_t first, std::uint64_t last,
                                       const LayerSelection& layers, const std::function<void(const SampledRow&)>& row);

} // namespace Korva

#endif
