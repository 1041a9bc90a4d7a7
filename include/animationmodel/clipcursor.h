#ifndef ANIMATIONMODEL_CLIPCURSOR_H
#define ANIMATIONMODEL_CLIPCURSOR_H

#include <cstddef>
#include <cstdint>
#include <optional>

#include <animationmodel/animationclip.h>
#include <animationmodel/animationmodel_export.h>
#include <animationmodel/lifetimebound.h>

namespace Korva {

/// The caller's arrays that a sample fills, one element per sampled channel.
struct ClipSampleBuffers {
    /// Values (required): a Linear key's value at the position, else the held value, or NaN.
    float* values = nullptr;
    /// Effects (optional, may be null): the effect of the key that covers the position, 0 when none.
    std::int32_t* effects = nullptr;
    /// Key flags (optional, may be null): true when a key covers the position.
    bool* keyed = nullptr;
};

/// A position as a cursor reads it: a whole frame and a fraction (defined in the library).
struct ClipPosition;
/// Per-channel playing state of a cursor (defined in the library).
struct ClipChannelState;
/// The position of one playing instance (<animationmodel/clipplayback.h>).
class ClipPlayback;

/// One playing instance of an `AnimationClip`: samples any position into the
/// caller's buffers, for all channels or for a list of channel indices.
///
/// A position is a frame counted from the intro's first frame, a double,
/// whole or fractional (or seconds, turned into frames as seconds × fps in
/// double). For each channel a sample writes:
///  - the value: during a `Linear` key its value at the position, computed
///    as `AnimationKey::valueAt` computes it with the (possibly fractional)
///    offset in the key in place of the whole frame count, so equal to it bit
///    for bit at whole frames; otherwise the end value of the channel's last
///    `Linear` key that ended at or before the position, across phases, or
///    NaN when there is none;
///  - the effect of the key that covers the position and whether one does.
///
/// The key that covers a fractional position p is the one that covers
/// floor(p). Positions below 0 and NaN are sampled at 0; positions at or past
/// the end at the end, where no channel has a key and every value holds.
///
/// Invariants:
///  1. The cursor reads its clip, which must outlive it and stay unchanged.
///  2. Its state holds one entry per channel, made with one allocation; a
///     sample never allocates. Sampling forward moves each channel by O(1)
///     per key passed (a long jump seeks); any other position seeks in
///     O(log keys) per channel.
///  3. A cursor belongs to one thread at a time; any number of cursors may
///     sample one clip from different threads at once.
class ClipCursor {
public:
    /// A cursor over `clip`, at frame 0; one allocation, throws `std::bad_alloc`.
    ANIMATIONMODEL_EXPORT explicit ClipCursor(const AnimationClip& clip ANIMATIONMODEL_LIFETIMEBOUND);
    /// Not over a temporary clip.
    explicit ClipCursor(const AnimationClip&& clip) = delete;
    /// Like the constructor, but returns nothing instead of throwing when memory runs out.
    ANIMATIONMODEL_EXPORT static std::optional<ClipCursor>
    tryCreate(const AnimationClip& clip ANIMATIONMODEL_LIFETIMEBOUND) noexcept;

    /// A copy of `other`'s state (one allocation).
    ANIMATIONMODEL_EXPORT ClipCursor(const ClipCursor& other);
    /// Takes over `other`'s state; `other` may only be destroyed or assigned to.
    ANIMATIONMODEL_EXPORT ClipCursor(ClipCursor&& other) noexcept;
    /// Copy assignment (strong guarantee).
    ANIMATIONMODEL_EXPORT ClipCursor& operator=(const ClipCursor& other);
    /// Move assignment.
    ANIMATIONMODEL_EXPORT ClipCursor& operator=(ClipCursor&& other) noexcept;
    /// Releases the state.
    ANIMATIONMODEL_EXPORT ~ClipCursor();

    /// The clip this cursor samples.
    const AnimationClip& clip() const noexcept { return *_clip; }
    /// Number of channels, the size of a buffer for `sampleFrame(frame, out)`.
    std::uint32_t channelCount() const noexcept { return _clip->channelCount(); }

    /// Samples every channel at `frame`; buffers hold channelCount() elements.
    ANIMATIONMODEL_EXPORT void sampleFrame(double frame, const ClipSampleBuffers& out) noexcept;
    /// Samples channels[0..count) at `frame`; element i of each buffer is channels[i]'s
    /// (each index < channelCount(); repeats allowed).
    ANIMATIONMODEL_EXPORT void sampleFrame(double frame, const std::uint32_t* channels, std::size_t count,
                                           const ClipSampleBuffers& out) noexcept;
    /// Samples every channel at frame `seconds` × fps.
    ANIMATIONMODEL_EXPORT void sampleTime(double seconds, const ClipSampleBuffers& out) noexcept;
    /// Samples channels[0..count) at frame `seconds` × fps.
    ANIMATIONMODEL_EXPORT void sampleTime(double seconds, const std::uint32_t* channels, std::size_t count,
                                          const ClipSampleBuffers& out) noexcept;
    /// Samples every channel at `playback`'s position, exactly: its phase's first frame plus its whole
    /// frames, and its fraction, never rounded to one double, so always in the phase it reports.
    /// `playback` plays this clip's phases (a position past the clip's end samples the end).
    ANIMATIONMODEL_EXPORT void sample(const ClipPlayback& playback, const ClipSampleBuffers& out) noexcept;
    /// Samples channels[0..count) at `playback`'s position.
    ANIMATIONMODEL_EXPORT void sample(const ClipPlayback& playback, const std::uint32_t* channels, std::size_t count,
                                      const ClipSampleBuffers& out) noexcept;

private:
    void _sample(const ClipPosition& position, const ClipSampleBuffers& out) noexcept;
    void _sample(const ClipPosition& position, const std::uint32_t* channels, std::size_t count,
                 const ClipSampleBuffers& out) noexcept;

    const AnimationClip* _clip;
    // One state per channel (new[]); null once moved from.
    ClipChannelState* _states;
};

} // namespace Korva

#endif
