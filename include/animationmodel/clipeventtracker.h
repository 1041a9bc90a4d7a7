#ifndef ANIMATIONMODEL_CLIPEVENTTRACKER_H
#define ANIMATIONMODEL_CLIPEVENTTRACKER_H

#include <cstddef>
#include <cstdint>
#include <optional>

#include <animationmodel/animationclip.h>
#include <animationmodel/animationmodel_export.h>
#include <animationmodel/clipevents.h>
#include <animationmodel/lifetimebound.h>

namespace Korva {

/// Per-channel memory of a tracker (defined in the library).
struct ClipEventHint;

/// `collectKeyEvents` for one cursor or playback of a clip, which remembers
/// each channel's next key: a move that goes on from where the channel's last
/// one ended (a playback's tick, a cursor playing forward) costs O(1) per
/// channel plus O(1) per key passed, without a search. Any other move
/// searches as `collectKeyEvents` does. Either way the events are the same.
///
/// Invariants:
///  1. The tracker reads its clip, which must outlive it and stay unchanged.
///  2. It holds 32 bytes per channel, made with one allocation; collecting
///     never allocates.
///  3. A tracker belongs to one thread at a time.
class ClipEventTracker {
public:
    /// A tracker of `clip`'s keys; one allocation, throws `std::bad_alloc`.
    ANIMATIONMODEL_EXPORT explicit ClipEventTracker(const AnimationClip& clip ANIMATIONMODEL_LIFETIMEBOUND);
    /// Not over a temporary clip.
    explicit ClipEventTracker(const AnimationClip&& clip) = delete;
    /// Like the constructor, but returns nothing instead of throwing when memory runs out.
    ANIMATIONMODEL_EXPORT static std::optional<ClipEventTracker>
    tryCreate(const AnimationClip& clip ANIMATIONMODEL_LIFETIMEBOUND) noexcept;

    /// Takes over `other`'s memory; `other` may only be destroyed or assigned to.
    ANIMATIONMODEL_EXPORT ClipEventTracker(ClipEventTracker&& other) noexcept;
    /// Move assignment.
    ANIMATIONMODEL_EXPORT ClipEventTracker& operator=(ClipEventTracker&& other) noexcept;
    /// Releases the memory.
    ANIMATIONMODEL_EXPORT ~ClipEventTracker();

    /// The clip it tracks.
    const AnimationClip& clip() const noexcept { return *_clip; }

    /// As `collectKeyEvents(clip(), span, channels, channelCount, out, capacity)`.
    ANIMATIONMODEL_EXPORT std::size_t collect(const ClipSpan& span, const std::uint32_t* channels,
                                              std::size_t channelCount, ClipKeyEvent* out,
                                              std::size_t capacity) noexcept;

private:
    const AnimationClip* _clip;
    // One hint per channel (new[]); null once moved from.
    ClipEventHint* _hints;
};

} // namespace Korva

#endif
