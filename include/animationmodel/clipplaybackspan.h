#ifndef ANIMATIONMODEL_CLIPPLAYBACKSPAN_H
#define ANIMATIONMODEL_CLIPPLAYBACKSPAN_H

#include <animationmodel/animationmodel_export.h>
#include <animationmodel/clipevents.h>
#include <animationmodel/clipplayback.h>

namespace Korva {

/// The span that a playback moved over in one advance: from `before` (a copy
/// of it taken before the call) to `after`, passing the body's end as often
/// as `step` says. Its points are the playbacks' exact positions (phase, whole
/// frames, fraction), never rounded to one double, so a key at a whole frame
/// is reported by the advance that reaches it, however close to it the
/// position was before. `firstMove` is true for the first advance after the
/// playback was made or restarted, so that the keys at its first frame count.
///
/// ```
/// const ClipPlayback before = playback;
/// const PlaybackStep step = playback.advance(seconds);
/// const std::size_t all = collectKeyEvents(clip, playbackSpan(before, playback, step, first), nullptr, 0, out, n);
/// ```
ANIMATIONMODEL_EXPORT ClipSpan playbackSpan(const ClipPlayback& before, const ClipPlayback& after,
                                            const PlaybackStep& step, bool firstMove) noexcept;

} // namespace Korva

#endif
