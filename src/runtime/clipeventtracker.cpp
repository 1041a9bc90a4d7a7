#include <animationmodel/clipeventtracker.h>

#include "clipeventhint.h"

#include <new>
#include <utility>

namespace Korva {

static_assert(sizeof(ClipEventHint) == 32, "a tracker holds 32 bytes per channel");

ClipEventTracker::ClipEventTracker(const AnimationClip& clip)
    : _clip(&clip), _hints(new ClipEventHint[clip.channelCount()])
{ }

std::optional<ClipEventTracker> ClipEventTracker::tryCreate(const AnimationClip& clip) noexcept
{
    try {
        return ClipEventTracker(clip);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

ClipEventTracker::ClipEventTracker(ClipEventTracker&& other) noexcept
    : _clip(other._clip), _hints(std::exchange(other._hints, nullptr))
{ }

ClipEventTracker& ClipEventTracker::operator=(ClipEventTracker&& other) noexcept
{
    ClipEventTracker taken(std::move(other));
    std::swap(_clip, taken._clip);
    std::swap(_hints, taken._hints);
    return *this;
}

ClipEventTracker::~ClipEventTracker()
{
    delete[] _hints;
}

std::size_t ClipEventTracker::collect(const ClipSpan& span, const std::uint32_t* channels, std::size_t channelCount,
                                      ClipKeyEvent* out, std::size_t capacity) noexcept
{
    return collectEvents(*_clip, span, channels, channelCount, out, capacity, _hints);
}

} // namespace Korva
