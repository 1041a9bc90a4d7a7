// The C interface: playback of the three phases, the runtime's ClipPlayback
// behind an opaque handle.
#include "errorreport.h"
#include "handles.h"

#include <animationmodel/clipplayback.h>

#include <limits>
#include <new>

using namespace Korva;

static_assert(static_cast<int>(AM_PHASE_INTRO) == static_cast<int>(AnimationPhase::Intro)
                  && static_cast<int>(AM_PHASE_BODY) == static_cast<int>(AnimationPhase::Body)
                  && static_cast<int>(AM_PHASE_OUTRO) == static_cast<int>(AnimationPhase::Outro),
              "am_phase and AnimationPhase number the phases alike");

extern "C" {

am_status am_playback_create(const am_clip* clip, am_playback** playback, am_error* error)
{
    if (clip == nullptr || playback == nullptr) {
        return capi::report(error, AM_INVALID_ARGUMENT, clip == nullptr ? "clip is NULL" : "playback is NULL");
    }
    auto* handle = new (std::nothrow) am_playback{ClipPlayback(clip->clip)};
    if (handle == nullptr) {
        return capi::report(error, AM_NO_MEMORY, "out of memory");
    }
    *playback = handle;
    return capi::succeeded(error);
}

void am_playback_free(am_playback* playback)
{
    delete playback;
}

void am_playback_restart(am_playback* playback)
{
    if (playback != nullptr) {
        playback->playback.restart();
    }
}

int am_playback_advance(am_playback* playback, double seconds, uint64_t* wraps)
{
    if (playback == nullptr) {
        return 0;
    }
    const PlaybackStep step = playback->playback.advance(seconds);
    if (wraps != nullptr) {
        *wraps = step.wraps;
    }
    return (step.crossedPhase ? AM_CROSSED_PHASE : 0) | (step.wrapped ? AM_WRAPPED : 0)
        | (step.ended ? AM_FINISHED : 0);
}

am_status am_playback_set_speed(am_playback* playback, double speed)
{
    return playback != nullptr && playback->playback.setSpeed(speed) ? AM_OK : AM_INVALID_ARGUMENT;
}

double am_playback_speed(const am_playback* playback)
{
    return playback != nullptr ? playback->playback.speed() : std::numeric_limits<double>::quiet_NaN();
}

void am_playback_set_loop(am_playback* playback, int loop)
{
    if (playback != nullptr) {
        playback->playback.setLooping(loop != 0);
    }
}

int am_playback_loop(const am_playback* playback)
{
    return playback != nullptr && playback->playback.looping() ? 1 : 0;
}

void am_playback_set_finish(am_playback* playback, int finish)
{
    if (playback != nullptr) {
        playback->playback.setFinishRequested(finish != 0);
    }
}

int am_playback_finish(const am_playback* playback)
{
    return playback != nullptr && playback->playback.finishRequested() ? 1 : 0;
}

int am_playback_phase(const am_playback* playback)
{
    return playback != nullptr ? static_cast<int>(playback->playback.phase()) : -1;
}

uint64_t am_playback_phase_frame(const am_playback* playback, double* fraction)
{
    if (fraction != nullptr) {
        *fraction = playback != nullptr ? playback->playback.phaseFraction() : 0.0;
    }
    return playback != nullptr ? playback->playback.phaseWholeFrame() : 0;
}

double am_playback_frame(const am_playback* playback)
{
    return playback != nullptr ? playback->playback.frame() : std::numeric_limits<double>::quiet_NaN();
}

int am_playback_ended(const am_playback* playback)
{
    return playback != nullptr && playback->playback.ended() ? 1 : 0;
}

} // extern "C"
