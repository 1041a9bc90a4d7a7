// compile: the binary clip file of a document, for engines that load it in place.
#include "commandline.h"

#include <animationmodel/clipfile.h>

#include <CLI/CLI.hpp>

#include <unistd.h>

namespace Korva::tool {

namespace {

int compile(const Options& o)
{
    // Binary bytes on a terminal would drive it: written to standard output
    // only when that is a file or a pipe.
    if ((o.out.empty() || o.out == "-") && isatty(STDOUT_FILENO) != 0) {
        throw UsageError("compile: standard output is a terminal: name the clip file with -o OUT, or redirect it");
    }
    // A binary clip file is written again from its own arrays, never rebuilt and compiled.
    writeOutput(clipFileBytes(loadClip(o, o.file).clip().arrays()), o.out);
    return 0;
}

} // namespace

void declareCompile(CLI::App& app, Options& o, int& status)
{
    CLI::App* command =
        app.add_subcommand("compile", "The binary clip file of an animation or timeline, loaded in place by engines.");
    addFileArgument(*command, "FILE", o.file, "animation or timeline document (or binary clip file)");
    addOutputOption(*command, o.out,
                    "the binary clip file to write (default: standard output, unless it is a terminal; - for it too)");
    command->callback([&] { status = compile(o); });
}

} // namespace Korva::tool
