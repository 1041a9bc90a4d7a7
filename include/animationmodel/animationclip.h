#ifndef ANIMATIONMODEL_ANIMATIONCLIP_H
#define ANIMATIONMODEL_ANIMATIONCLIP_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include <animationmodel/animationmodel_export.h>
#include <animationmodel/animationphase.h>
#include <animationmodel/cliparrays.h>

namespace Korva {

/// Where a channel's keys of one phase lie in the clip's key arrays.
struct ClipKeyRange {
    /// Index of the first key in `ClipArrays::durations` and `effects`.
    std::uint64_t first = 0;
    /// Number of keys.
    std::uint64_t count = 0;
};

/// An animation compiled for playback: immutable flat arrays (see
/// `ClipArrays`), sampled through a `ClipCursor`. Channels are the layer
/// names of all three phases, indexed 0..n-1 in byte-wise name order.
///
/// The clip knows nothing of the authoring model: `compileClip` makes one of
/// an `Animation` or a document, `toAnimation` and `toDocument` rebuild them
/// (<animationmodel/clipbuilder.h>); `borrowing` makes one over arrays read
/// from elsewhere, e.g. a binary clip file.
///
/// Invariants:
///  1. The arrays satisfy every invariant listed in `ClipArrays`.
///  2. The clip either owns its arrays (one allocation, 8-byte aligned) or
///     borrows them from memory that its creator keeps alive and unchanged.
///  3. The clip never changes after construction: any number of threads may
///     read one clip, and cursors of it, at the same time; it has no mutable
///     state. (A cursor or a playback belongs to one thread at a time.)
///  4. The arrays keep all of the source: `toAnimation` rebuilds it exactly,
///     every key's effect, arguments (bit for bit) and duration, every layer
///     entry (those without keys included), and the frame rate.
class AnimationClip {
public:
    /// A clip of no channel and no frame, at 25 fps.
    ANIMATIONMODEL_EXPORT AnimationClip() noexcept;
    /// A clip over arrays owned by the caller, without copying them. The caller
    /// vouches that they satisfy every invariant of `ClipArrays` (see
    /// `checkClipArrays`) and keeps them alive and unchanged while the clip or
    /// a copy of it (which borrows too) is used.
    ANIMATIONMODEL_EXPORT static AnimationClip borrowing(const ClipArrays& arrays) noexcept;
    /// A clip that owns a copy of `arrays` (one allocation, the arrays copied as they are), which must satisfy every
    /// invariant of `ClipArrays` and need not outlive the call: e.g. a binary clip file's, checked.
    ANIMATIONMODEL_EXPORT static AnimationClip copying(const ClipArrays& arrays);

    /// A copy: an owning clip copies its arrays (one allocation), a borrowing one borrows the same.
    ANIMATIONMODEL_EXPORT AnimationClip(const AnimationClip& other);
    /// Takes over `other`'s arrays; `other` becomes the empty clip.
    ANIMATIONMODEL_EXPORT AnimationClip(AnimationClip&& other) noexcept;
    /// Copy assignment, as the copy constructor (strong guarantee).
    ANIMATIONMODEL_EXPORT AnimationClip& operator=(const AnimationClip& other);
    /// Move assignment; `other` becomes the empty clip.
    ANIMATIONMODEL_EXPORT AnimationClip& operator=(AnimationClip&& other) noexcept;
    /// Releases the owned arrays, if any.
    ANIMATIONMODEL_EXPORT ~AnimationClip();

    /// The flat arrays.
    const ClipArrays& arrays() const noexcept { return _arrays; }
    /// True when the clip owns its arrays, false when it borrows them.
    bool ownsArrays() const noexcept { return _block != nullptr; }
    /// Bytes of the arrays (each rounded up to 8 bytes), what an owning clip allocates.
    ANIMATIONMODEL_EXPORT std::size_t byteSize() const noexcept;

    /// Number of channels.
    std::uint32_t channelCount() const noexcept { return static_cast<std::uint32_t>(_arrays.channelCount); }
    /// Index of the channel named `name`, O(log channels); nothing when there is none.
    ANIMATIONMODEL_EXPORT std::optional<std::uint32_t> findChannel(std::string_view name) const noexcept;
    /// Name of channel `channel` (< channelCount()); points into the arrays.
    ANIMATIONMODEL_EXPORT std::string_view channelName(std::uint32_t channel) const noexcept;
    /// True when `channel` has an entry in `phase`, even one without keys.
    ANIMATIONMODEL_EXPORT bool hasEntry(std::uint32_t channel, AnimationPhase phase) const noexcept;
    /// Where `channel`'s keys of `phase` lie in the key arrays.
    ANIMATIONMODEL_EXPORT ClipKeyRange keys(std::uint32_t channel, AnimationPhase phase) const noexcept;

    /// Total number of keys.
    std::uint64_t keyCount() const noexcept { return _arrays.durations.size; }
    /// Number of Linear keys.
    std::uint64_t linearKeyCount() const noexcept { return _arrays.linearArgs.size / 2; }
    /// Frames per second.
    float fps() const noexcept { return _arrays.fps; }
    /// True when the source document was a timeline, compiled as the body of an animation.
    bool fromTimeline() const noexcept { return _arrays.fromTimeline; }
    /// Length of `phase` in frames (64-bit).
    std::uint64_t phaseLength(AnimationPhase phase) const noexcept
    {
        return _arrays.phaseLengths[static_cast<std::size_t>(phase)];
    }
    /// First frame of `phase`, counted from the intro's first frame.
    ANIMATIONMODEL_EXPORT std::uint64_t phaseStart(AnimationPhase phase) const noexcept;
    /// Length of the whole clip in frames: the sum of the phases.
    ANIMATIONMODEL_EXPORT std::uint64_t frameCount() const noexcept;

private:
    // Hands a clip the block its arrays lie in (src/runtime/clipstorage.h).
    friend struct ClipStorage;
    // Owns `block`, allocated with new[], in which `arrays` lie.
    AnimationClip(const ClipArrays& arrays, std::uint64_t* block) noexcept;

    ClipArrays _arrays;
    // The owned block (new[]), or null when the arrays are borrowed.
    std::uint64_t* _block = nullptr;
};

} // namespace Korva

#endif
