#ifndef ANIMATIONMODEL_ANIMATIONJSON_H
#define ANIMATIONMODEL_ANIMATIONJSON_H

// The animationmodel file format: animations and timelines as JSON documents.
//
// Saving writes one canonical layout, so equal objects give byte-identical
// text; loading accepts any JSON layout of the same content, refuses anything
// else with the line, column and JSON Pointer of the offending value, and
// gives back exactly what was saved, every float bit for bit.

#include <cstddef>
#include <functional>
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

/// Writes `animation` to the file `path` atomically (see saveText).
ANIMATIONMODEL_JSON_EXPORT void saveAnimation(const Animation& animation, const std::string& path);
/// Writes the timeline `timeline` to the file `path` atomically (see saveText).
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

/// The text the format gives an effect: "Linear", "Held1", "Held2", "Held3", or its integer value.
ANIMATIONMODEL_JSON_EXPORT std::string effectText(AnimationKeyCommandEffect effect);
/// The text the format gives a string: a JSON string literal, quotes
/// included, escaping only what JSON requires; throws `std::invalid_argument`
/// when `text` is not valid UTF-8.
ANIMATIONMODEL_JSON_EXPORT std::string jsonString(std::string_view text);
/// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or
/// values past U+10FFFF): what a layer name must be to be saved.
ANIMATIONMODEL_JSON_EXPORT bool isValidUtf8(std::string_view text) noexcept;
/// `text` with every byte that does not begin a well-formed UTF-8 sequence
/// replaced by U+FFFD (the replacement character): fit for text formats
/// that must be UTF-8, such as names of files shown in a picture or a page.
ANIMATIONMODEL_JSON_EXPORT std::string utf8Repaired(std::string_view text);
/// The text the format gives a float: the shortest that reads back to the same
/// float (what `std::to_chars` writes), or NaN, Infinity or -Infinity.
ANIMATIONMODEL_JSON_EXPORT std::string floatText(float value);

/// The whole content of the file `path`. Throws std::system_error whose
/// what() reads "PATH: reason" when it cannot be read.
ANIMATIONMODEL_JSON_EXPORT std::string readText(const std::string& path);
/// How much of a file a reader needs: given the bytes read so far (`text`,
/// new from `chunkStart` on), the count past which it needs none (SIZE_MAX: all).
using ReadLimit = std::function<std::size_t(std::string_view text, std::size_t chunkStart)>;
/// The content of the file `path` as `readText` reads it, except that a file
/// that is not a regular file (a device, a pipe) is read only as far as
/// `limit` says, and cut there: so /dev/zero or an endless pipe ends a load.
ANIMATIONMODEL_JSON_EXPORT std::string readText(const std::string& path, const ReadLimit& limit);
/// The `ReadLimit` of a JSON text: up to its first NUL byte, which no JSON
/// text holds (its parser then names the place).
ANIMATIONMODEL_JSON_EXPORT std::size_t jsonReadLimit(std::string_view text, std::size_t chunkStart) noexcept;
/// Receives the warnings of `saveText` (one sentence naming the file).
using SaveWarning = std::function<void(const std::string&)>;

/// Writes `text` to `path`, never destroying what `path` names:
///  - the process's own standard output or error, under any name (such as
///    /dev/stdout or /proc/self/fd/2), is written through its descriptor
///    where it stands (after flushing the C stream), never truncated, so
///    output redirected with >> is appended to;
///  - a regular file (or a new one), wherever it lies, is replaced
///    atomically: the text goes to a new file beside it, is flushed to disk,
///    then renamed over it, so a failure (the rename's included) leaves
///    `path` as it was and nothing beside it. The new file has no name until
///    it is complete where the file system allows (O_TMPFILE), then a short
///    one that fits any folder, renamed at once; elsewhere it has that short
///    name from the start. A named new file is removed when SIGINT, SIGTERM,
///    SIGHUP or SIGPIPE ends the process (for signals at their default
///    disposition, which the process keeps: it still ends by the signal).
///    The new file keeps the permission bits, without set-user-ID and
///    set-group-ID, and the owner and group where the process may set them
///    (else it is still replaced, and then `warn` names the old and new
///    owner); a new file gets 0666 less the umask;
///  - symbolic links are followed by the kernel, with its protections, and
///    the file they name is replaced (a dangling link creates it);
///  - a FIFO, a device or a socket is opened and written in place, never
///    truncated nor renamed over;
///  - a folder, and a file with more than one hard link (replacing it would
///    break the links), are refused (EMLINK).
/// Throws std::system_error whose what() reads "PATH: reason".
ANIMATIONMODEL_JSON_EXPORT void saveText(const std::string& text, const std::string& path, const SaveWarning& warn);
/// `saveText(text, path, warn)` without warnings.
ANIMATIONMODEL_JSON_EXPORT void saveText(const std::string& text, const std::string& path);

/// Writes one piece of the text of `saveStream`.
using TextWriter = std::function<void(std::string_view piece)>;
/// Makes the text of `saveStream`, piece by piece, through the writer it is given.
using TextProducer = std::function<void(const TextWriter& write)>;

/// `saveText` of a text made piece by piece, so that it is never whole in
/// memory: `produce` is called once and hands each piece to its writer. The
/// rules of `saveText` hold: a regular file is replaced only once the whole
/// text is written and flushed. When `produce` throws, its exception passes
/// on and a regular file is left as it was (what went into a FIFO or a device
/// stays there). A failed write throws std::system_error ("PATH: reason")
/// out of the writer; `produce` must let it pass.
ANIMATIONMODEL_JSON_EXPORT void saveStream(const TextProducer& produce, const std::string& path,
                                           const SaveWarning& warn);

} // namespace Korva

#endif
