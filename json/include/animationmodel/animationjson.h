#ifndef ANIMATIONMODEL_ANIMATIONJSON_H
#define ANIMATIONMODEL_ANIMATIONJSON_H

// The animationmodel file format: animations and timelines as JSON documents.
//
// Saving writes one canonical layout, so equal objects give byte-identical
// text; loading accepts any JSON layout of the same content, refuses anything
// else with the line, column and JSON Pointer of the offending value, and
// gives back exactly what was saved, every float bit for bit.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <animationmodel/animation.h>
#include <animationmodel/animationdocument.h>
#include <animationmodel/animationmodel_json_export.h>

namespace Korva {

/// A document that could not be loaded: where, and why.
///
/// what() reads "LINE:COLUMN: POINTER: message", or "LINE:COLUMN: message"
/// for a fault of the whole document; the line and column (both 1-based, the
/// column counting characters, after a byte order mark if the text starts
/// with one) are where the offending value starts, and the pointer
/// (RFC 6901) names it ("" for the whole document).
/// Messages of the library's own checks are passed on unchanged.
class ANIMATIONMODEL_JSON_EXPORT AnimationJsonError : public std::invalid_argument {
public:
    /// An error at `line`:`column`, on the value at `pointer`.
    AnimationJsonError(std::size_t line, std::size_t column, const std::string& pointer, const std::string& message);

    /// The line of the offending value, from 1.
    std::size_t line() const noexcept { return _line; }
    /// The column of the offending value, from 1, in characters.
    std::size_t column() const noexcept { return _column; }
    /// The JSON Pointer of the offending value.
    const std::string& pointer() const noexcept { return _pointer; }
    /// The reason alone, without the location.
    const std::string& message() const noexcept { return _message; }

private:
    std::size_t _line;
    std::size_t _column;
    std::string _pointer;
    std::string _message;
};

/// The version of the format that this library writes and the newest it reads.
constexpr int animationJsonVersion = 1;

/// The canonical text of `animation`. Throws `std::invalid_argument` when a
/// layer name is not valid UTF-8 (JSON cannot hold it).
ANIMATIONMODEL_JSON_EXPORT std::string animationToJson(const Animation& animation);
/// The canonical text of the timeline `timeline`; layer names as for animationToJson.
ANIMATIONMODEL_JSON_EXPORT std::string timelineToJson(const LayerMap& timeline);
/// The canonical text of `document`, an animation or a timeline.
ANIMATIONMODEL_JSON_EXPORT std::string documentToJson(const AnimationDocument& document);

/// The animation of the document `text`; throws AnimationJsonError on any fault, a timeline included.
ANIMATIONMODEL_JSON_EXPORT Animation animationFromJson(std::string_view text);
/// The timeline of the document `text`; throws AnimationJsonError on any fault, an animation included.
ANIMATIONMODEL_JSON_EXPORT LayerMap timelineFromJson(std::string_view text);
/// The animation or timeline of the document `text`; throws AnimationJsonError on any fault.
ANIMATIONMODEL_JSON_EXPORT AnimationDocument documentFromJson(std::string_view text);

/// Writes `animation` to the file `path`, never destroying what `path`
/// names: a regular file (or a new one) is replaced atomically, by a new
/// file beside it, flushed to disk, then renamed over it, so a failure leaves
/// it as it was and nothing beside it; the process's own standard output or
/// error, a FIFO or a device is written in place; a folder, or a file with
/// more than one hard link, is refused. Nothing of the process's signal
/// handlers or mask is touched. Throws std::system_error ("PATH: reason").
ANIMATIONMODEL_JSON_EXPORT void saveAnimation(const Animation& animation, const std::string& path);
/// Writes the timeline `timeline` to the file `path` as saveAnimation writes.
ANIMATIONMODEL_JSON_EXPORT void saveTimeline(const LayerMap& timeline, const std::string& path);
/// Loads the animation of the file `path`; AnimationJsonError, or std::system_error for the file.
ANIMATIONMODEL_JSON_EXPORT Animation loadAnimation(const std::string& path);
/// Loads the timeline of the file `path`; AnimationJsonError, or std::system_error for the file.
ANIMATIONMODEL_JSON_EXPORT LayerMap loadTimeline(const std::string& path);
/// Loads the animation or timeline of the file `path`.
ANIMATIONMODEL_JSON_EXPORT AnimationDocument loadDocument(const std::string& path);

/// "LINE:COLUMN" of byte `offset` of `text` (from 1, the column counted in
/// characters), as the errors of the reader locate a problem; for readers
/// that refuse a text before it is parsed.
ANIMATIONMODEL_JSON_EXPORT std::string textLocation(std::string_view text, std::size_t offset);

/// The text the format gives a string: a JSON string literal, quotes
/// included, escaping only what JSON requires; throws `std::invalid_argument`
/// when `text` is not valid UTF-8.
ANIMATIONMODEL_JSON_EXPORT std::string jsonString(std::string_view text);
/// How much of a JSON text a reader needs, given the bytes read so far
/// (`text`, new from `chunkStart` on): up to its first NUL byte, which no
/// JSON text holds (its parser then names the place), else SIZE_MAX (all).
ANIMATIONMODEL_JSON_EXPORT std::size_t jsonReadLimit(std::string_view text, std::size_t chunkStart) noexcept;

} // namespace Korva

#endif
