#include <animationmodel/clipplaybackspan.h>

namespace Korva {

ClipSpan playbackSpan(const ClipPlayback& before, const ClipPlayback& after, const PlaybackStep& step,
                      bool firstMove) noexcept
{
    return ClipSpan{{before.phase(), before.phaseWholeFrame(), before.phaseFraction()},
                    {after.phase(), after.phaseWholeFrame(), after.phaseFraction()},
                    step.wraps,
                    firstMove};
}

} // namespace Korva
