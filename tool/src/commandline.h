#ifndef ANIMATIONMODEL_TOOL_COMMANDLINE_H
#define ANIMATIONMODEL_TOOL_COMMANDLINE_H

// What every subcommand shares: the options as given, their checked
// reading, and the loading and saving of documents.

#include <animationmodel/animationdocument.h>
#include <animationmodel/loadedclip.h>

#include "io.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
class Option;
} // namespace CLI

namespace Korva::tool {

/// Everything the subcommands read from the command line, as given: numbers
/// stay text until the subcommand checks them in full, before any file is read.
struct Options {
    /// --max-bytes: inputs larger than this many bytes are refused.
    std::string maxBytes = "1073741824";
    /// The one document of most subcommands.
    std::string file;
    /// The documents of check and format.
    std::vector<std::string> files;
    /// -o: where to write; empty or "-" for standard output.
    std::string out;
    /// format --check, format -i, format --diff.
    bool checkOnly = false;
    bool inPlace = false;
    bool diff = false;
    /// --quiet of check and cut; --json and --layers of info.
    bool quiet = false;
    bool json = false;
    bool layerNames = false;
    /// sample --wide.
    bool wide = false;
    /// split --even-values.
    bool evenValues = false;
    /// The numbers of cut, fit, split, sample, render and play.
    std::string introEnd;
    std::string outroStart;
    std::string seconds;
    std::string each;
    std::string maxKeys = "10000000";
    std::vector<std::string> layers;
    std::string from = "0";
    std::string to;
    std::string width = "1200";
    /// play --title: the page's title (default: the file name as given).
    std::optional<std::string> title;
};

/// Declares -o,--output FILE on `command`, into `out`.
CLI::Option* addOutputOption(CLI::App& command, std::string& out,
                             const char* help = "where to write (default: standard output; - for it too)");

/// An unsigned number of the command line, checked in full: digits only, no
/// sign, nothing after them, from `lowest` to `limit`; else a UsageError
/// naming `option` and that range.
template <class Number>
Number parseNumber(const std::string& text, const char* option, Number limit = std::numeric_limits<Number>::max(),
                   Number lowest = 0)
{
    Number value = 0;
    const char* const end = text.data() + text.size();
    const std::from_chars_result read = std::from_chars(text.data(), end, value);
    if (text.empty() || text[0] < '0' || text[0] > '9' || read.ec != std::errc() || read.ptr != end || value > limit
        || value < lowest) {
        throw UsageError(std::string(option) + ": \"" + text + "\" is not a whole number from " + std::to_string(lowest)
                         + " to " + std::to_string(limit));
    }
    return value;
}

/// --seconds: a finite number greater than 0.
float parseSeconds(const std::string& text);

/// The input `file` read with the limit of --max-bytes.
std::string readDocumentText(const Options& o, const std::string& file);
/// The document of `text`, read from `file`; a bad one throws "FILE:LINE:COLUMN: ...".
AnimationDocument parseDocument(const std::string& file, const std::string& text);
/// The clip of the input `file`, a binary clip file (kept as it is) or a JSON document (compiled).
LoadedClip loadClip(const Options& o, const std::string& file);
/// The document of the input `file`.
AnimationDocument loadDocument(const Options& o, const std::string& file);
/// The animation of the input `file`; a timeline is refused with "cut it first".
Animation loadAnimationDocument(const Options& o, const std::string& file);
/// Declares the positional FILE-like argument `name` on `command`, into `into`, required.
CLI::Option* addFileArgument(CLI::App& command, const char* name, std::string& into, const char* help);
/// The canonical text of `document`.
std::string canonicalText(const AnimationDocument& document);

/// The subcommands: each declares itself, its options and the callback that
/// runs it and keeps its exit status in `status`.
void declareInfo(CLI::App& app, Options& o, int& status);
void declareCheck(CLI::App& app, Options& o, int& status);
void declareFormat(CLI::App& app, Options& o, int& status);
void declareCut(CLI::App& app, Options& o, int& status);
void declareFit(CLI::App& app, Options& o, int& status);
void declareSplit(CLI::App& app, Options& o, int& status);
void declareSample(CLI::App& app, Options& o, int& status);
void declareRender(CLI::App& app, Options& o, int& status);
void declarePlay(CLI::App& app, Options& o, int& status);
void declareCompile(CLI::App& app, Options& o, int& status);

} // namespace Korva::tool

#endif
