#ifndef ANIMATIONMODEL_CLIPBUILDER_H
#define ANIMATIONMODEL_CLIPBUILDER_H

// Between the authoring model and the runtime: compiling an animation or a
// document into a clip, and rebuilding them from one. The runtime's headers
// (animationclip.h, cliparrays.h, clipcursor.h, clipplayback.h) know nothing
// of `Animation`; this header knows both.

#include <optional>

#include <animationmodel/animation.h>
#include <animationmodel/animationclip.h>
#include <animationmodel/animationdocument.h>
#include <animationmodel/animationmodel_export.h>

namespace Korva {

/// Compiles `animation` in O(keys) with one allocation; throws `std::bad_alloc`,
/// or `std::length_error` when it has 2^32 channels or more.
/// `fromTimeline` records that the source document was a timeline loaded as `animation`'s body.
ANIMATIONMODEL_EXPORT AnimationClip compileClip(const Animation& animation, bool fromTimeline = false);
/// Compiles a document: an animation, or a timeline as the body of an animation
/// (see `AnimationClip::fromTimeline()`).
ANIMATIONMODEL_EXPORT AnimationClip compileClip(const AnimationDocument& document);
/// Like `compileClip`, but returns nothing instead of throwing.
ANIMATIONMODEL_EXPORT std::optional<AnimationClip> tryCompileClip(const Animation& animation,
                                                                  bool fromTimeline = false) noexcept;

/// The animation `clip` was compiled from, rebuilt exactly; throws `std::bad_alloc`.
ANIMATIONMODEL_EXPORT Animation toAnimation(const AnimationClip& clip);
/// The source document: the timeline (the body's layers) when `clip.fromTimeline()`, else `toAnimation(clip)`.
ANIMATIONMODEL_EXPORT AnimationDocument toDocument(const AnimationClip& clip);

} // namespace Korva

#endif
