// animationmodel: inspect, check, format, cut, fit, split, sample and draw
// animation files.
//
// Exit status: 0 on success; 1 when an input is bad or a file cannot be read
// or written (one line on standard error); 2 on a usage error (with the
// usage line). Each subcommand lives with its kin (inspect.cpp, format.cpp,
// edit.cpp, draw.cpp); this file holds their table and the parsing.
#include "commandline.h"
#include "signals.h"

#include <animationmodel/version.h>
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iterator>
#include <new>
#include <optional>
#include <string>
#include <vector>

using namespace Korva::tool;

namespace {

constexpr const char* version = ANIMATIONMODEL_VERSION_STRING;

const char* const generalUsage =
    "usage: animationmodel {info,check,format,cut,fit,split,sample,render,play,compile} ... "
    "(animationmodel --help for more)";

// The subcommands, in the order of the usage line.
struct Subcommand {
    const char* name;
    const char* usage;
    void (*declare)(CLI::App&, Options&, int&);
};

const Subcommand subcommands[] = {
    {"info", "usage: animationmodel info [FILE...] [--json | --layers]", declareInfo},
    {"check", "usage: animationmodel check FILE... [--quiet]", declareCheck},
    {"format", "usage: animationmodel format FILE [-o OUT] | animationmodel format {-i,--check,--diff} FILE...",
     declareFormat},
    {"cut", "usage: animationmodel cut TIMELINE --intro-end N --outro-start M [--quiet] [-o OUT]", declareCut},
    {"fit", "usage: animationmodel fit FILE --seconds S [-o OUT]", declareFit},
    {"split", "usage: animationmodel split FILE --each L [--even-values] [--max-keys N] [-o OUT]", declareSplit},
    {"sample", "usage: animationmodel sample FILE [--layer NAME]... [--from F] [--to T] [--wide] [-o OUT.csv]",
     declareSample},
    {"render", "usage: animationmodel render FILE [-o OUT.svg] [--width PX]", declareRender},
    {"play", "usage: animationmodel play FILE [-o PAGE.html] [--width PX] [--title TEXT]", declarePlay},
    {"compile", "usage: animationmodel compile FILE [-o OUT.clip]", declareCompile},
};

const char* usageOf(const std::string& subcommand)
{
    for (const Subcommand& known : subcommands) {
        if (subcommand == known.name) {
            return known.usage;
        }
    }
    return generalUsage;
}

// The subcommand nearest to the mistyped `word`: one that starts with it, or
// one at most two edits (insertion, deletion, substitution) away; else empty.
std::string nearestSubcommand(const std::string& word)
{
    std::string nearest;
    std::size_t fewest = 3;
    for (const Subcommand& known : subcommands) {
        const std::string name = known.name;
        std::vector<std::size_t> row(name.size() + 1);
        for (std::size_t j = 0; j < row.size(); ++j) {
            row[j] = j;
        }
        for (std::size_t i = 1; i <= word.size(); ++i) {
            std::size_t diagonal = row[0];
            row[0] = i;
            for (std::size_t j = 1; j <= name.size(); ++j) {
                const std::size_t above = row[j];
                row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (word[i - 1] == name[j - 1] ? 0 : 1)});
                diagonal = above;
            }
        }
        const std::size_t distance = name.rfind(word, 0) == 0 && !word.empty() ? 0 : row.back();
        if (distance < fewest) {
            fewest = distance;
            nearest = name;
        }
    }
    return nearest;
}

// The first word that is neither an option nor the value of --max-bytes.
std::string firstWord(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--max-bytes") {
            ++i;
        } else if (word.empty() || word[0] != '-') {
            return word;
        }
    }
    return "";
}

// The text of `name` in a message: CLI11 calls its positionals by their
// names ("FILE") and its options by every alias ("-o,--output").
std::string optionName(const std::string& name)
{
    const std::size_t comma = name.rfind(',');
    return comma == std::string::npos ? name : name.substr(comma + 1);
}

// A parse error of CLI11 in the tool's own words.
std::string usageMessage(const CLI::ParseError& error)
{
    const std::string text = error.what();
    if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
        const std::size_t end = text.rfind(" is required");
        if (text == "A subcommand is required") {
            return "no subcommand given";
        }
        if (end != std::string::npos) {
            return "no " + optionName(text.substr(0, end)) + " given";
        }
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
        const std::size_t colon = text.find(": ");
        const std::string name = optionName(text.substr(0, colon));
        if (text.find(": At Most ", colon) == colon) {
            return name + " given more than once";
        }
        return name + " needs a value";
    }
    return text;
}

// Parses the command line, which runs the chosen subcommand's callback.
// Returns the exit status of --help and --version, which CLI11 reports as a
// parse "error" of code 0; throws UsageError for a command line that does not fit.
std::optional<int> parseCommandLine(CLI::App& app, int argc, char** argv, std::string& subcommand)
{
    const std::string first = argc > 1 ? argv[1] : "";
    if (!first.empty() && first[0] == '-' && first != "--help" && first != "-h" && first != "--version"
        && first != "--max-bytes" && first.rfind("--max-bytes=", 0) != 0) {
        throw UsageError(std::string("unknown option \"") + argv[1] + "\"");
    }
    const std::string word = firstWord(argc, argv);
    if (!word.empty() && std::none_of(std::begin(subcommands), std::end(subcommands), [&](const Subcommand& known) {
            return word == known.name;
        })) {
        const std::string nearest = nearestSubcommand(word);
        throw UsageError("unknown subcommand \"" + word + "\""
                         + (nearest.empty() ? "" : " (did you mean " + nearest + "?)"));
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) {
            return app.exit(error);
        }
        for (const CLI::App* parsed : app.get_subcommands()) {
            subcommand = parsed->get_name();
        }
        const std::vector<std::string> extras = app.remaining(true);
        if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr && !extras.empty()) {
            // One wording for what is left over, at any place on the line.
            const std::string& extra = extras.front();
            throw UsageError((extra.size() > 1 && extra[0] == '-' ? "unknown option \"" : "unexpected argument \"")
                             + extra + "\"");
        }
        throw UsageError(usageMessage(error));
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    removeTemporariesOnSignals();
    CLI::App app(
        "Inspects, checks, formats, cuts, fits, splits, samples, draws, plays and compiles animationmodel files.\n"
        "FILE may be - for standard input, and a JSON document or a binary clip file; JSON goes to\n"
        "standard output unless -o OUT is given.\n"
        "Exit status: 0 on success, 1 on a bad input or file, 2 on a usage error.",
        "animationmodel");
    app.set_version_flag("--version", std::string("animationmodel ") + version);
    app.require_subcommand(1, 1);
    app.fallthrough();
    Options options;
    app.add_option("--max-bytes", options.maxBytes, "refuse inputs larger than this many bytes (default 1 GiB)")
        ->type_name("UINT64");
    int status = 0;
    for (const Subcommand& known : subcommands) {
        known.declare(app, options, status);
        // Given after the subcommand too, and listed in its help.
        app.get_subcommand(known.name)
            ->add_option("--max-bytes", options.maxBytes, "refuse inputs larger than this many bytes (default 1 GiB)")
            ->type_name("UINT64");
    }
    std::string subcommand;
    try {
        // The callbacks find the subcommand themselves; a usage error they
        // throw is reported with that subcommand's usage line.
        app.parse_complete_callback([&] {
            for (const CLI::App* parsed : app.get_subcommands()) {
                subcommand = parsed->get_name();
            }
        });
        if (const std::optional<int> early = parseCommandLine(app, argc, argv, subcommand)) {
            return *early;
        }
        // Every subcommand's output to standard output is checked here, at
        // the latest: a failed write is never reported as success.
        if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
            failedStdout(errno != 0 ? errno : EIO);
        }
        return status;
    } catch (const UsageError& error) {
        std::fprintf(stderr, "animationmodel: %s\n%s\n", error.what(), usageOf(subcommand));
        return 2;
    } catch (const InputError& error) {
        std::fprintf(stderr, "animationmodel: %s\n", error.what());
        return 1;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "animationmodel: out of memory\n");
        return 1;
    }
}
