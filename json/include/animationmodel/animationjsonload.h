#ifndef ANIMATIONMODEL_ANIMATIONJSONLOAD_H
#define ANIMATIONMODEL_ANIMATIONJSONLOAD_H

// Loading documents without exceptions, for programs built with
// -fno-exceptions and for C interfaces: every function here is noexcept and
// reports any failure, lack of memory included, as a status and an error
// value of fixed size.

#include <cstddef>
#include <cstdint>
#include <string>
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

/// Fills `error` with `status`, the position and pointer (0, 0 and "" when the fault has no place) and `message`,
/// the texts cut as `JsonLoadError` says; returns `status`. The one place where a load's failure is recorded: the
/// C interface's am_error is filled from it.
ANIMATIONMODEL_JSON_EXPORT JsonLoadStatus recordLoadFailure(JsonLoadError& error, JsonLoadStatus status,
                                                            std::string_view message, std::uint64_t line = 0,
                                                            std::uint64_t column = 0,
                                                            std::string_view pointer = {}) noexcept;
/// Records the exception being handled (call only inside a catch block): an `AnimationJsonError` as `Invalid` with
/// its place (`Refused` when the load options refused the document), a lack of memory or a length past what can be
/// allocated as `OutOfMemory`, a `std::system_error` as `FileError` (its text made UTF-8), any other exception, a
/// refused binary clip file included, as `Invalid` with its text.
ANIMATIONMODEL_JSON_EXPORT JsonLoadStatus recordCurrentException(JsonLoadError& error) noexcept;
/// The one-line text of a failure: "LINE:COLUMN: POINTER: MESSAGE", without the pointer when it is the whole
/// document's (""), without the place when there is none.
ANIMATIONMODEL_JSON_EXPORT std::string loadErrorText(const JsonLoadError& error);

#if defined(__cpp_exceptions) || defined(__EXCEPTIONS)
/// Runs `load`, which throws on failure, and reports how it ended in `error` (reset first). Only where exceptions
/// are on: a program built with -fno-exceptions includes this header for the loaders above and below.
template <class Load>
JsonLoadStatus guardedLoad(JsonLoadError& error, Load&& load) noexcept
{
    error = JsonLoadError{};
    try {
        load();
        return JsonLoadStatus::Ok;
    } catch (...) {
        return recordCurrentException(error);
    }
}
#endif

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
/// the body of an animation); `clip` is changed only on success. A file of
/// either format, a binary clip file included, is read by `tryLoadClip`
/// (<animationmodel/clipload.h>).
ANIMATIONMODEL_JSON_EXPORT JsonLoadStatus tryClipFromJson(std::string_view text, const JsonLoadOptions& options,
                                                          AnimationClip& clip, JsonLoadError& error) noexcept;

/// The document of the JSON `text` with `options`; throws `AnimationJsonError` (a refusal by the options included:
/// `recordCurrentException` tells it as `Refused`).
ANIMATIONMODEL_JSON_EXPORT AnimationDocument documentFromJson(std::string_view text, const JsonLoadOptions& options);

} // namespace Korva

#endif
