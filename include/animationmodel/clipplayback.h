#ifndef ANIMATIONMODEL_CLIPPLAYBACK_H
#define ANIMATIONMODEL_CLIPPLAYBACK_H

#include <array>
#include <cstdint>

#include <animationmodel/animationclip.h>
#include <animationmodel/animationmodel_export.h>
#include <animationmodel/animationphase.h>

namespace Korva {

/// What one `ClipPlayback::advance` did.
struct PlaybackStep {
    /// The phase of the position after the call.
    AnimationPhase phase = AnimationPhase::Intro;
    /// True when the call crossed at least one phase boundary.
    bool crossedPhase = false;
    /// True when the body wrapped from its end to its start at least once.
    bool wrapped = false;
    /// Number of times the body wrapped during the call (2^64 - 1 for that many or more).
    std::uint64_t wraps = 0;
    /// True when the position is at the end (said again by every later call).
    bool ended = false;
};

/// The position of one playing instance through the three phases: the intro
/// once, the body looped for as long as looping is on and no finish is
/// requested, then the outro, then the end, where it stops.
///
/// `advance(seconds)` moves by seconds × fps × speed frames, that product
/// computed in double. Looping off plays the body once and goes on into the
/// outro; a finish requested during the intro lets the body play once;
/// landing exactly on the body's end while looping wraps to its start; an
/// empty body never loops (the intro goes straight into the outro). Any
/// number of loops in one call costs O(1).
///
/// Invariants:
///  1. The position is a phase, a whole number of frames from that phase's
///     first frame and a fraction of a frame in [0, 1):
///     0 <= whole frame < the phase's length, except at the end (the outro,
///     whole frame == its length, fraction 0). A position on a phase's last
///     boundary belongs to the next phase. Boundaries, wraps and the end are
///     decided on the whole frames, by integer comparisons; the fraction is
///     kept with a compensation term, so that many small steps do not drift
///     (a million steps land within 1e-6 frames of their exact sum).
///  2. The speed is finite and >= 0; the frame rate is the clip's.
///  3. A value type: it holds no reference to the clip, and belongs to one
///     thread at a time.
class ClipPlayback {
public:
    /// At frame 0 of `clip`'s phases, at speed 1, looping, no finish requested.
    ANIMATIONMODEL_EXPORT explicit ClipPlayback(const AnimationClip& clip) noexcept;
    /// At frame 0 of phases of the given lengths at `fps` frames per second
    /// (taken as 0 frames per second unless finite and > 0).
    ANIMATIONMODEL_EXPORT ClipPlayback(const std::array<std::uint64_t, 3>& phaseLengths, float fps) noexcept;

    /// Moves by `seconds` × fps × speed frames. Seconds that are not finite and > 0 (negative, zero,
    /// NaN, infinite) leave the position where it is, as does a product of 0. A product too large for
    /// a double (finite seconds and speed) is a move of more frames than any phase holds: it plays to
    /// the end, or wraps a looping body 2^64 - 1 times and leaves the position within it unchanged.
    ANIMATIONMODEL_EXPORT PlaybackStep advance(double seconds) noexcept;
    /// Back to frame 0 (the switches and the speed stay).
    ANIMATIONMODEL_EXPORT void restart() noexcept;

    /// The position in frames from the intro's first frame, rounded down to a double (for display;
    /// `ClipCursor::sample(playback, …)` samples the exact position).
    ANIMATIONMODEL_EXPORT double frame() const noexcept;
    /// The phase of the position (the outro at the end).
    AnimationPhase phase() const noexcept { return _phase; }
    /// The whole frames from the first frame of `phase()`: below the phase's length except at the end.
    std::uint64_t phaseWholeFrame() const noexcept { return _whole; }
    /// The fraction of a frame past `phaseWholeFrame()`, in [0, 1).
    double phaseFraction() const noexcept { return _fraction; }
    /// The position in frames from the first frame of `phase()`, rounded down to a double.
    ANIMATIONMODEL_EXPORT double phaseFrame() const noexcept;
    /// True at the end.
    ANIMATIONMODEL_EXPORT bool ended() const noexcept;
    /// The lengths of the three phases, in frames.
    const std::array<std::uint64_t, 3>& phaseLengths() const noexcept { return _lengths; }

    /// The speed factor.
    double speed() const noexcept { return _speed; }
    /// Sets the speed; false (and no change) unless `speed` is finite and >= 0.
    ANIMATIONMODEL_EXPORT bool setSpeed(double speed) noexcept;
    /// True when the body loops.
    bool looping() const noexcept { return _looping; }
    /// Turns looping the body on or off.
    void setLooping(bool looping) noexcept { _looping = looping; }
    /// True once a finish is requested: the body plays to its end, then the outro.
    bool finishRequested() const noexcept { return _finish; }
    /// Requests (or withdraws) the finish.
    void setFinishRequested(bool finish) noexcept { _finish = finish; }

private:
    /// A move's whole frames: a count, or more than 2^64 - 1 (`huge`, then `value` as a double).
    struct Frames {
        std::uint64_t count = 0;
        bool huge = false;
        double value = 0.0;
    };

    void _settle(PlaybackStep& step) noexcept;
    std::uint64_t _addFraction(double fraction) noexcept;
    std::uint64_t _length() const noexcept { return _lengths[static_cast<std::size_t>(_phase)]; }
    bool _loops() const noexcept;
    void _wrap(const Frames& frames, PlaybackStep& step) noexcept;
    bool _pass(Frames& frames) noexcept;
    void _move(Frames frames, PlaybackStep& step) noexcept;

    std::array<std::uint64_t, 3> _lengths;
    double _fps;
    double _speed = 1.0;
    AnimationPhase _phase = AnimationPhase::Intro;
    std::uint64_t _whole = 0;
    double _fraction = 0.0;
    double _compensation = 0.0;
    bool _looping = true;
    bool _finish = false;
};

} // namespace Korva

#endif
