// format: the canonical layout, written out, checked, shown as a diff or
// applied in place.
#include "commandline.h"
#include "diff.h"

#include <animationmodel/clipfile.h>

#include <CLI/CLI.hpp>

#include <cstdio>
#include <functional>

namespace Korva::tool {

namespace {

// Runs `each` on every file, reporting a failure on standard error and going
// on with the others; 1 when any failed or `each` returned 1.
int forEachFile(const Options& o, const std::function<int(const std::string&)>& each)
{
    int status = 0;
    for (const std::string& file : o.files) {
        try {
            status |= each(file);
        } catch (const InputError& error) {
            std::fflush(stdout);
            std::fprintf(stderr, "animationmodel: %s\n", error.what());
            status = 1;
        }
    }
    return status;
}

void checkModes(const Options& o)
{
    if (o.inPlace && (o.checkOnly || o.diff)) {
        throw UsageError("format: -i does not go with --check or --diff");
    }
    if ((o.inPlace || o.checkOnly || o.diff) && !o.out.empty()) {
        throw UsageError(std::string("format ")
                         + (o.inPlace    ? "-i"
                                : o.diff ? "--diff"
                                         : "--check")
                         + (o.inPlace ? " writes each file in place" : " writes nothing") + ": -o does not go with it");
    }
    if (!o.inPlace && !o.checkOnly && !o.diff && o.files.size() != 1) {
        throw UsageError("format writes one file at a time (or several with -i, --check or --diff)");
    }
    if (o.inPlace) {
        for (const std::string& file : o.files) {
            if (file == "-") {
                throw UsageError("format -i: standard input cannot be rewritten in place");
            }
        }
    }
}

int format(const Options& o)
{
    checkModes(o);
    if (!o.inPlace && !o.checkOnly && !o.diff) {
        writeOutput(canonicalText(loadDocument(o, o.files[0])), o.out);
        return 0;
    }
    return forEachFile(o, [&](const std::string& file) {
        const std::string text = readDocumentText(o, file);
        if (isClipFile(text)) {
            // A binary clip is no text to lay out: rewriting it in place would
            // turn it into JSON, and a diff of its bytes means nothing.
            throw InputError(shownName(file)
                             + ": a binary clip file, not a JSON text: format -i, --check and --diff take JSON"
                               " (format FILE -o OUT writes its JSON)");
        }
        const std::string canonical = canonicalText(parseDocument(file, text));
        if (canonical == text) {
            return 0;
        }
        if (o.inPlace) {
            // Only files that change are written: the others keep their time stamps.
            writeOutput(canonical, file);
            return 0;
        }
        if (o.diff) {
            writeStdout(unifiedDiff(text, canonical, file == "-" ? "<stdin>" : file));
        }
        if (o.checkOnly) {
            throw InputError(shownName(file) + ": not in the canonical layout");
        }
        return 1;
    });
}

} // namespace

void declareFormat(CLI::App& app, Options& o, int& status)
{
    CLI::App* command = app.add_subcommand("format", "Rewrite documents in the canonical layout.");
    command->add_option("FILE", o.files, "document (several with -i, --check or --diff)")->type_name("")->required();
    addOutputOption(*command, o.out);
    command->add_flag("-i,--in-place", o.inPlace,
                      "rewrite each FILE that is not canonical in place, atomically; the others are left untouched");
    command->add_flag("--check", o.checkOnly, "write nothing; exit 1 naming every file that is not canonical");
    command->add_flag("--diff", o.diff, "write nothing but a unified diff of what would change; exit 1 if any");
    command->callback([&] { status = format(o); });
}

} // namespace Korva::tool
