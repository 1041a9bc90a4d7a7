#ifndef ANIMATIONMODEL_CAPI_HANDLES_H
#define ANIMATIONMODEL_CAPI_HANDLES_H

// What the C interface's opaque handles hold.

#include <animationmodel/animationclip.h>
#include <animationmodel/animationmodel.h>
#include <animationmodel/clipcursor.h>
#include <animationmodel/clipplayback.h>

#include <cstdint>
#include <memory>
#include <string>

/// A clip and, when it was read from bytes it must keep, those bytes:
/// a file's content or an aligned copy of the caller's data. A clip viewed
/// in place keeps nothing: it borrows the caller's data.
struct am_clip {
    /// The compiled clip, owning its arrays or borrowing them.
    Korva::AnimationClip clip;
    /// A binary clip file read from disk, viewed in place when aligned.
    std::string fileBytes;
    /// An aligned copy of binary data, viewed in place.
    std::unique_ptr<std::uint64_t[]> copiedBytes;
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
