// The C interface: playback of the three phases over a plain struct.
//
// am_playback keeps only the position from frame 0; each call rebuilds the
// runtime's ClipPlayback at that position (a playback of the clip's phases
// at 1 frame per second, moved there with looping off, lands on it exactly
// and in the phase the runtime gives it), applies the switches and the
// move, and stores the new position.
#include "handles.h"

#include <animationmodel/clipplayback.h>

#include <cmath>

using namespace Korva;

namespace {

std::array<std::uint64_t, 3> phaseLengthsOf(const AnimationClip& clip) noexcept
{
    return clip.arrays().phaseLengths;
}

// The runtime's playback of `clip` at `frame` (clamped to [0, end]).
ClipPlayback playbackAt(const AnimationClip& clip, double frame) noexcept
{
    ClipPlayback at(phaseLengthsOf(clip), 1.0f);
    at.setLooping(false);
    const double end = static_cast<double>(clip.frameCount());
    at.advance(std::isnan(frame) ? 0.0 : std::min(std::max(frame, 0.0), end));
    return at;
}

} // namespace

extern "C" {

void am_playback_start(am_playback* playback)
{
    if (playback != nullptr) {
        *playback = am_playback{0.0, 1.0, 1, 0};
    }
}

int am_playback_advance(am_playback* playback, const am_clip* clip, double seconds)
{
    if (playback == nullptr || clip == nullptr) {
        return 0;
    }
    ClipPlayback at = playbackAt(clip->clip, playback->frame);
    at.setLooping(playback->loop_body != 0);
    at.setFinishRequested(playback->finish_requested != 0);
    const double speed = playback->speed;
    const double frames =
        std::isfinite(speed) && speed >= 0.0 ? seconds * static_cast<double>(clip->clip.fps()) * speed : 0.0;
    const PlaybackStep step = at.advance(frames);
    playback->frame = at.frame();
    return (step.crossedPhase ? AM_CROSSED_PHASE : 0) | (step.wrapped ? AM_WRAPPED : 0)
        | (step.ended ? AM_FINISHED : 0);
}

int am_playback_phase(const am_playback* playback, const am_clip* clip)
{
    if (playback == nullptr || clip == nullptr) {
        return -1;
    }
    const ClipPlayback at = playbackAt(clip->clip, playback->frame);
    return at.ended() ? 3 : static_cast<int>(at.phase());
}

} // extern "C"
