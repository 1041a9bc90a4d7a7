#ifndef ANIMATIONMODEL_CLIPLOAD_H
#define ANIMATIONMODEL_CLIPLOAD_H

// Loading a clip file of either format, a binary clip file or a JSON
// document, without exceptions (see <animationmodel/animationjsonload.h>).

#include <animationmodel/animationclip.h>
#include <animationmodel/animationdocument.h>
#include <animationmodel/animationjsonload.h>
#include <animationmodel/animationmodel_loader_export.h>
#include <animationmodel/loadedclip.h>

#include <string_view>

namespace Korva {

/// Loads the file at `path` (a NUL-terminated path; null is a file error), a binary clip file or a JSON document
/// told apart by its content, as `LoadedClip::fromFile` does. Returns the status, also stored in `error`, filled on
/// failure; `clip` is changed only on success.
ANIMATIONMODEL_LOADER_EXPORT JsonLoadStatus tryLoadClip(const char* path, const JsonLoadOptions& options,
                                                        LoadedClip& clip, JsonLoadError& error) noexcept;
/// Same, into a clip that owns its arrays (a binary file's arrays are copied out of it, never compiled again).
ANIMATIONMODEL_LOADER_EXPORT JsonLoadStatus tryLoadClip(const char* path, const JsonLoadOptions& options,
                                                        AnimationClip& clip, JsonLoadError& error) noexcept;
/// Loads the clip of `bytes`, either format, as `LoadedClip::fromBytes` does; `clip` is changed only on success.
ANIMATIONMODEL_LOADER_EXPORT JsonLoadStatus tryClipFromBytes(std::string_view bytes, const JsonLoadOptions& options,
                                                             LoadedClip& clip, JsonLoadError& error) noexcept;

/// The document of `bytes` (an animation or a timeline), for a program that edits or shows it rather than plays it:
/// a binary clip file's, rebuilt from its arrays (throws `ClipFileError`), or a JSON document's (throws
/// `AnimationJsonError`), told apart by the content as `LoadedClip::fromBytes` does.
ANIMATIONMODEL_LOADER_EXPORT AnimationDocument documentFromBytes(std::string_view bytes);

} // namespace Korva

#endif
