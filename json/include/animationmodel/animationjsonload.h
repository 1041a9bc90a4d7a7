#ifndef ANIMATIONMODEL_ANIMATIONJSONLOAD_H
#define ANIMATIONMODEL_ANIMATIONJSONLOAD_H

// Loading documents without exceptions, for programs built with
// -fno-exceptions and for C interfaces: every function here is noexcept and
// reports any failure, lack of memory included, as a status and an error
// value of fixed size.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include <animationmodel/animationclip.h>
#include <animationmodel/animationdocument.h>
#include <animationmodel/animationmodel_json_export.h>

namespace Korva {

/// How a non-throwing load ended.
enum class JsonLoadStatus : std::int32_t {
    Ok = 0,          ///< loaded
    Invalid = 1,     ///< not a valid document (syntax, structure or values)
    Refused = 2,     ///< a valid document that the load options refuse
    FileError = 3,   ///< the file could not be read
    OutOfMemory = 4, ///< memory ran out
};

/// What an engine may refuse beyond the format's own rules.
struct JsonLoadOptions {
    /// Refuse a key argument that is NaN or infinite.
    bool refuseNonFiniteArguments = false;
    /// Refuse an animation whose fps is below this (timelines have no fps of their own: 25).
    float minimumFps = 0.0f;
};

/// Why a load failed: the status, where (1-based line and column of the
/// offending value, 0 when the fault has no place, e.g. a file error), the
/// JSON Pointer of that value and the reason, as `AnimationJsonError` gives
/// them, each truncated to its buffer (always NUL-terminated).
struct JsonLoadError {
    /// The status; `Ok` after a successful load.
    JsonLoadStatus status = JsonLoadStatus::Ok;
    /// Line of the offending value, from 1; 0 when none.
    std::uint64_t line = 0;
    /// Column of the offending value, from 1, in characters; 0 when none.
    std::uint64_t column = 0;
    /// JSON Pointer of the offending value, NUL-terminated; when longer, cut between two UTF-8 characters and ended
    /// with "...".
    char pointer[256] = {};
    /// The reason, NUL-terminated; when longer, cut between two UTF-8 characters and ended with "...".
    char message[512] = {};
};

/// Loads an animation or timeline document from `text` into `document`.
/// Returns the status, also stored in `error`, filled on failure;
/// `document` is changed only on success.
ANIMATIONMODEL_JSON_EXPORT JsonLoadStatus tryDocumentFromJson(std::string_view text, const JsonLoadOptions& options,
                                                              AnimationDocument& document,
                                                              JsonLoadError& error) noexcept;
/// Same as `tryDocumentFromJson`, reading the file at `path` (a NUL-terminated path; null is a file error).
ANIMATIONMODEL_JSON_EXPORT JsonLoadStatus tryLoadDocument(const char* path, const JsonLoadOptions& options,
                                                          AnimationDocument& document, JsonLoadError& error) noexcept;
/// Loads a document from `text` and compiles it into `clip` (a timeline as
/// the body of an animation); `clip` is changed only on success.
ANIMATIONMODEL_JSON_EXPORT JsonLoadStatus tryClipFromJson(std::string_view text, const JsonLoadOptions& options,
                                                          AnimationClip& clip, JsonLoadError& error) noexcept;
/// Same as `tryClipFromJson`, reading the file at `path`.
ANIMATIONMODEL_JSON_EXPORT JsonLoadStatus tryLoadClip(const char* path, const JsonLoadOptions& options,
                                                      AnimationClip& clip, JsonLoadError& error) noexcept;

} // namespace Korva

#endif
