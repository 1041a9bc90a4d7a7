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
/// `advance(seconds)` moves by seconds × fps × speed frames. Looping off plays
/// the body once and goes on into the outro; a finish requested during the
/// intro lets the body play once; landing exactly on the body's end while
/// looping wraps to its start; an empty body never loops (the intro goes
/// straight into the outro). Any number of loops in one call costs O(1).
///
/// Invariants:
///  1. The position is a phase and an offset in frames from that phase's
///     first frame, 0 <= offset < the phase's length, except at the end
///     (the outro, offset == its length). A position on a phase's last
///     boundary belongs to the next phase. The offset is kept with a
///     compensation term, so that many small steps do not drift.
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

    /// Moves by `seconds` × fps × speed frames; a move that is not finite and > 0 (negative, zero,
    /// NaN, infinite) leaves the position where it is.
    ANIMATIONMODEL_EXPORT PlaybackStep advance(double seconds) noexcept;
    /// Back to frame 0 (the switches and the speed stay).
    ANIMATIONMODEL_EXPORT void restart() noexcept;

    /// The position, in frames from the intro's first frame: what to give `ClipCursor::sampleFrame`.
    ANIMATIONMODEL_EXPORT double frame() const noexcept;
    /// The phase of the position.
    AnimationPhase phase() const noexcept { return _phase; }
    /// The position in frames from the first frame of `phase()`.
    double phaseFrame() const noexcept { return _offset + _compensation; }
    /// True at the end.
    ANIMATIONMODEL_EXPORT bool ended() const noexcept;

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
    void _settle() noexcept;
    double _length(AnimationPhase phase) const noexcept;
    void _add(double frames) noexcept;
    std::uint64_t _wrapBody(double length) noexcept;

    std::array<std::uint64_t, 3> _lengths;
    double _fps;
    double _speed = 1.0;
    AnimationPhase _phase = AnimationPhase::Intro;
    double _offset = 0.0;
    double _compensation = 0.0;
    bool _looping = true;
    bool _finish = false;
};

} // namespace Korva

#endif
