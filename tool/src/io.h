#ifndef ANIMATIONMODEL_TOOL_IO_H
#define ANIMATIONMODEL_TOOL_IO_H

// The tool's input and output: bounded reading, checked writing, and the
// errors that decide the exit status.

#include <animationmodel/files/savetext.h>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace Korva::tool {

/// A command line that does not fit a subcommand: exit status 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// A bad input or a file that cannot be read or written: exit status 1. The
/// text is "FILE: reason" or "FILE:LINE:COLUMN: POINTER: message".
struct InputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// "1 ONE" or "N MANY", for messages.
std::string counted(std::uint64_t count, const char* one, const char* many);

/// The name of `file` in titles and JSON: "<stdin>" for "-", else the name as it is.
std::string inputName(const std::string& file);

/// The name of `file` in messages: "<stdin>" for "-"; a name holding a
/// control character (C0, DEL or C1) or a byte that is not UTF-8 is quoted
/// as GNU tools quote it, so that it cannot forge a line or drive the
/// terminal: 'a'$'\n''b' (see quotedName).
std::string shownName(const std::string& file);

/// `name` quoted for a POSIX shell: printable runs in single quotes (a quote
/// itself as \'), every other byte in $'...' (\a \b \t \n \v \f \r by
/// letter, the rest as three octal digits).
std::string quotedName(const std::string& name);

/// The message of the errno `error` about the file `path`: "NAME: REASON",
/// or for EMLINK "NAME has N hard links; it was not replaced, to keep them".
std::string fileFailure(const std::string& path, int error);

/// The whole input named `file` (a file, or standard input for "-"), read
/// with a size limit: refused as soon as it passes `maxBytes` bytes, and at
/// the first NUL byte, where it stops reading ("FILE:LINE:COLUMN: ...").
std::string readInput(const std::string& file, std::uint64_t maxBytes);

/// Writes `text` to standard output; a failed write throws "stdout: REASON".
void writeStdout(const std::string& text);

/// Throws the InputError "stdout: REASON" of the errno `error`.
[[noreturn]] void failedStdout(int error);

/// Prints "animationmodel: warning: TEXT" on standard error, after what
/// standard output holds so far.
void warn(const std::string& text);

/// Writes the text that `produce` makes, piece by piece, to `out` (saveStream:
/// a file is replaced only by the whole text; standard output or error named
/// by a path, such as /dev/stdout, is written where it stands), or to
/// standard output when `out` is empty or "-"; an exception of `produce`
/// passes on. Failures name `out` as shownName does.
void writeOutputStream(const TextProducer& produce, const std::string& out);

/// Writes `text` to `out` (saveText: nothing is ever destroyed, warnings go
/// to standard error), or to standard output when `out` is empty or "-".
void writeOutput(const std::string& text, const std::string& out);

} // namespace Korva::tool

#endif
