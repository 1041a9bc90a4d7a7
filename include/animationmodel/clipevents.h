#ifndef ANIMATIONMODEL_CLIPEVENTS_H
#define ANIMATIONMODEL_CLIPEVENTS_H

#include <cstddef>
#include <cstdint>

#include <animationmodel/animationclip.h>
#include <animationmodel/animationmodel_export.h>

namespace Korva {

/// A place on a clip's timeline: whole frames counted from the first frame of
/// a phase and a fraction of a frame past them, kept apart as a playback keeps
/// its position, so that no rounding moves a place across a whole frame. The
/// frames may run past the phase's end: {Intro, f, 0} is frame f from the
/// intro's first frame, whatever the phases.
struct ClipSpanPoint {
    /// The phase the frames count from.
    AnimationPhase phase = AnimationPhase::Intro;
    /// Whole frames from that phase's first frame.
    std::uint64_t whole = 0;
    /// The fraction of a frame past `whole`, in [0, 1) (for the keys passed,
    /// only whether it is above 0 matters).
    double fraction = 0.0;

    /// The place `frames` frames (whole or fractional) from `phase`'s first
    /// frame, split exactly into whole frames and a fraction: below 0 and NaN
    /// give 0, 2^64 and more the largest whole frame.
    ANIMATIONMODEL_EXPORT static ClipSpanPoint at(AnimationPhase phase, double frames) noexcept;
};

/// The stretch of a clip's timeline that a cursor or a playback moved over:
/// from `from` (excluded, unless `includeFrom`) to `to` (included), passing
/// the body's end `wraps` times on the way. With no wrap it is the frames
/// after `from` up to `to`; with wraps it runs from `from` to the body's
/// end, then over `wraps` - 1 whole body loops, then from the body's start to
/// `to`. Wraps count only when the body has frames.
struct ClipSpan {
    /// Where the move started.
    ClipSpanPoint from;
    /// Where it ended.
    ClipSpanPoint to;
    /// The number of times it wrapped from the body's end to its start.
    std::uint64_t wraps = 0;
    /// True for the first move of a cursor or a playback: the keys that
    /// begin exactly at `from` have not been passed yet and count.
    bool includeFrom = false;

    /// A cursor's move from frame `from` to frame `to`, both counted from the intro's first frame.
    static ClipSpan frames(double from, double to, bool firstMove = false) noexcept
    {
        return ClipSpan{ClipSpanPoint::at(AnimationPhase::Intro, from), ClipSpanPoint::at(AnimationPhase::Intro, to), 0,
                        firstMove};
    }
};

/// A key that began within a span.
struct ClipKeyEvent {
    /// The frame it begins at, from the intro's first frame.
    std::uint64_t frame = 0;
    /// Its index among its channel's keys of its phase (as in the channel's layer of that phase).
    std::uint64_t key = 0;
    /// The number of body wraps passed in the span before it began (0 up to the first wrap).
    std::uint64_t loop = 0;
    /// Its channel.
    std::uint32_t channel = 0;
    /// Its effect (0 is Linear).
    std::int32_t effect = 0;
    /// Its phase.
    AnimationPhase phase = AnimationPhase::Intro;
};

/// Writes into out[0..capacity) the keys of `clip` that begin within `span`,
/// in time order (by loop, then frame, then channel index, then key), and
/// returns how many there are in all (SIZE_MAX for that many or more): when
/// that exceeds `capacity`, the first `capacity` of them are written. With
/// `channels` not null only the keys of channels[0..channelCount) count
/// (each index < clip.channelCount(); a repeated index repeats its events);
/// with `channels` null, those of every channel.
///
/// A key begins at the frame of its first frame; a span takes in the frames
/// f with from < f <= to (from <= f with `includeFrom`), compared exactly
/// (whole frames as integers), so a fractional position has passed the key
/// that covers it when it passed its first frame. A span whose end lies
/// before its start (a cursor jumping back) passes no key. Costs a seek per
/// selected channel (O(log keys)), plus O(1) per key passed (whole body loops
/// counted by multiplication), plus O(log capacity) per event kept once the
/// buffer is full; allocates nothing. A `ClipEventTracker` spares the seek
/// when a move goes on from the last one.
ANIMATIONMODEL_EXPORT std::size_t collectKeyEvents(const AnimationClip& clip, const ClipSpan& span,
                                                   const std::uint32_t* channels, std::size_t channelCount,
                                                   ClipKeyEvent* out, std::size_t capacity) noexcept;

/// True when `first` comes before `second` in the order of `collectKeyEvents`.
ANIMATIONMODEL_EXPORT bool keyEventBefore(const ClipKeyEvent& first, const ClipKeyEvent& second) noexcept;

} // namespace Korva

#endif
