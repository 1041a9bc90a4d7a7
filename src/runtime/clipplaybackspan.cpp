#include <animationmodel/clipplaybackspan.h>

namespace Korva {

ClipSpan playbackSpan(const ClipPlayback& before, const ClipPlayback& after, const PlaybackStep& step,
                      bool firstMove) noexcept
{
    return ClipSpan{{before.phase(), before.phaseFrame()}, {after.phase(), after.phaseFrame()}, step.wraps, firstMove};
}

} // namespace Korva
