#include <animationmodel/clipeventtracker.h>

#include "clipeventhint.h"

#include <new>
#include <utility>

namespace Korva {

static_assert(sizeof(ClipEventHint) == 32, "a tracker holds 32 bytes per channel");

ClipEventTracker::ClipEventTracker(const AnimationClip& clip)
    : ClipEventTracker(clip, std::make_unique<ClipEventHint[]>(clip.channelCount()))
{ }

ClipEventTracker::ClipEventTracker(const AnimationClip& clip, std::unique_ptr<ClipEventHint[]> hints) noexcept
    : _clip(&clip), _hints(std::move(hints))
{ }

std::optional<ClipEventTracker> ClipEventTracker::tryCreate(const AnimationClip& clip) noexcept
{
    try {
        return ClipEventTracker(clip);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

ClipEventTracker::ClipEventTracker(ClipEventTracker&& other) noexcept = default;

ClipEventTracker& ClipEventTracker::operator=(ClipEventTracker&& other) noexcept = default;

ClipEventTracker::~ClipEventTracker() = default;

std::size_t ClipEventTracker::collect(const ClipSpan& span, const std::uint32_t* channels, std::size_t channelCount,
                                      ClipKeyEvent* out, std::size_t capacity) noexcept
{
    return collectEvents(*_clip, span, channels, channelCount, out, capacity, _hints.get());
}

} // namespace Korva
