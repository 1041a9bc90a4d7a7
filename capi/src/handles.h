#ifndef ANIMATIONMODEL_CAPI_HANDLES_H
#define ANIMATIONMODEL_CAPI_HANDLES_H

// What the C interface's opaque handles hold.

#include <animationmodel/animationclip.h>
#include <animationmodel/animationmodel.h>
#include <animationmodel/clipcursor.h>
#include <animationmodel/clipplayback.h>
#include <animationmodel/loadedclip.h>

#include <utility>

/// A loaded clip, as C++ holds it: the bytes it reads (a file's, an aligned
/// copy, or the caller's for a view) and the clip over them.
struct am_clip {
    /// Holds `loaded`, never moved again (the handle lives on the heap).
    explicit am_clip(Korva::LoadedClip made) noexcept : loaded(std::move(made)), clip(loaded.clip()) { }
    am_clip(const am_clip&) = delete;
    am_clip& operator=(const am_clip&) = delete;

    /// The clip and its bytes.
    Korva::LoadedClip loaded;
    /// `loaded.clip()`.
    const Korva::AnimationClip& clip;
};

/// A cursor over the clip of an am_clip.
struct am_cursor {
    /// The runtime's cursor.
    Korva::ClipCursor cursor;
};

/// A playback of a clip's phases (it keeps no reference to the clip).
struct am_playback {
    /// The runtime's playback.
    Korva::ClipPlayback playback;
};

#endif
