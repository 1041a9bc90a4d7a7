// compile: the binary clip file of a document, for engines that load it in place.
#include "commandline.h"

#include <animationmodel/clipfile.h>

#include <CLI/CLI.hpp>

namespace Korva::tool {

namespace {

int compile(const Options& o)
{
    // A binary clip file is written again from its own arrays, never rebuilt and compiled.
    writeOutput(clipFileBytes(loadClip(o, o.file).clip().arrays()), o.out);
    return 0;
}

} // namespace

void declareCompile(CLI::App& app, Options& o, int& status)
{
    CLI::App* command =
        app.add_subcommand("compile", "The binary clip file of an animation or timeline, loaded in place by engines.");
    command->add_option("FILE", o.file, "animation or timeline document (or binary clip file)")
        ->type_name("FILE")
        ->required();
    addOutputOption(*command, o.out, "the binary clip file to write (- for standard output)")->required();
    command->callback([&] { status = compile(o); });
}

} // namespace Korva::tool
