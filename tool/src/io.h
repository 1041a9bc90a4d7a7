#ifndef ANIMATIONMODEL_TOOL_IO_H
#define ANIMATIONMODEL_TOOL_IO_H

// The tool's input and output: bounded reading, checked writing, and the
// errors that decide the exit status.

#include <animationmodel/animationjson.h>

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

/// The name of `file` in messages: "<stdin>" for "-".
std::string shownName(const std::string& file);

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
/// a file is replaced only by the whole text), or to standard output when
/// `out` is empty or "-"; an exception of `produce` passes on.
void writeOutputStream(const TextProducer& produce, const std::string& out);

/// Writes `text` to `out` (saveText: nothing is ever destroyed, warnings go
/// to standard error), or to standard output when `out` is empty or "-".
void writeOutput(const std::string& text, const std::string& out);

} // namespace Korva::tool

#endif
