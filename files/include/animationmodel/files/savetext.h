#ifndef ANIMATIONMODEL_FILES_SAVETEXT_H
#define ANIMATIONMODEL_FILES_SAVETEXT_H

// Saving a file without ever destroying what its name holds.

#include <functional>
#include <string>
#include <string_view>

namespace Korva {

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
///    name from the start. A name is listed among the pending temporaries
///    (see removePendingTemporaries) before it exists and until it is gone;
///    nothing here touches the process's signal handlers or mask.
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
void saveText(const std::string& text, const std::string& path, const SaveWarning& warn);
/// `saveText(text, path, warn)` without warnings.
void saveText(const std::string& text, const std::string& path);

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
void saveStream(const TextProducer& produce, const std::string& path, const SaveWarning& warn);

} // namespace Korva

#endif
