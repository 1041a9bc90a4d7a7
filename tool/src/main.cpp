// animationmodel: inspect, check, format, cut, fit, split, sample and draw
// animation files.
//
// Exit status: 0 on success; 1 when an input is bad or a file cannot be read
// or written (one line on standard error); 2 on a usage error (with the
// usage line).
#include <animationmodel/animationalgorithms.h>
#include <animationmodel/animationjson.h>
#include <animationmodel/animationplayer.h>
#include <animationmodel/animationsampler.h>
#include <animationmodel/animationsvg.h>

#include "io.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

using namespace Korva;
using namespace Korva::tool;

namespace {

constexpr const char* version = ANIMATIONMODEL_VERSION;

const char* const generalUsage = "usage: animationmodel {info,check,format,cut,fit,split,sample,render,play} ... "
                                 "(animationmodel --help for more)";

// --max-bytes as given: inputs larger than this many bytes are refused.
std::string maxBytesOption = "1073741824";

template <class Number>
Number parseNumber(const std::string& text, const char* option, Number limit = std::numeric_limits<Number>::max());

std::string readInput(const std::string& file)
{
    return tool::readInput(file, parseNumber<std::uint64_t>(maxBytesOption, "--max-bytes"));
}

AnimationDocument parse(const std::string& file, const std::string& text)
{
    try {
        return documentFromJson(text);
    } catch (const AnimationJsonError& error) {
        throw InputError(shownName(file) + ":" + error.what());
    }
}

AnimationDocument load(const std::string& file)
{
    return parse(file, readInput(file));
}

Animation loadAnimation(const std::string& file, const char* hint)
{
    AnimationDocument document = load(file);
    if (auto* animation = std::get_if<Animation>(&document)) {
        return std::move(*animation);
    }
    throw InputError(shownName(file) + ": this is a timeline, not an animation: " + hint);
}

std::string save(const AnimationDocument& document)
{
    if (const auto* animation = std::get_if<Animation>(&document)) {
        return animationToJson(*animation);
    }
    return timelineToJson(std::get<LayerMap>(document));
}

// An unsigned number of the command line, checked in full: digits only, no
// sign, nothing after them, at most `limit`.
template <class Number>
Number parseNumber(const std::string& text, const char* option, Number limit)
{
    Number value = 0;
    const char* const end = text.data() + text.size();
    const std::from_chars_result read = std::from_chars(text.data(), end, value);
    if (text.empty() || text[0] < '0' || text[0] > '9' || read.ec != std::errc() || read.ptr != end || value > limit) {
        throw UsageError(std::string(option) + ": \"" + text + "\" is not a whole number from 0 to "
                         + std::to_string(limit));
    }
    return value;
}

float parseSeconds(const std::string& text)
{
    float value = 0.0f;
    const char* const end = text.data() + text.size();
    const std::from_chars_result read = std::from_chars(text.data(), end, value);
    if (text.empty() || read.ec != std::errc() || read.ptr != end) {
        throw UsageError("--seconds: \"" + text + "\" is not a number");
    }
    // Written so that NaN fails too.
    if (!(value > 0.0f) || !std::isfinite(value)) {
        throw UsageError("--seconds: \"" + text + "\" is not a finite number of seconds greater than 0");
    }
    return value;
}

// --- info -----------------------------------------------------------------

std::string summary(const std::vector<AnimationKey>& keys)
{
    constexpr std::size_t shown = 3;
    std::string text;
    for (std::size_t i = 0; i < keys.size() && i < shown; ++i) {
        const AnimationKeyCommand& command = keys[i].command();
        text += (i == 0 ? "" : ", ") + effectText(command.effect()) + " x" + std::to_string(keys[i].duration());
        if (command.effect() == Linear) {
            text += " " + floatText(command.args()[0]) + " -> " + floatText(command.args()[1]);
        }
    }
    if (keys.size() > shown) {
        text += ", ... (" + std::to_string(keys.size() - shown) + " more)";
    }
    return text;
}

std::size_t widestName(const LayerMap& phase, std::size_t widest)
{
    for (const auto& layer : phase) {
        widest = std::max(widest, layer.first.size());
    }
    return widest;
}

void printLayers(std::string_view phase, const LayerMap& layers, std::size_t nameWidth)
{
    for (const auto& [name, keys] : layers) {
        std::printf("  %-6s %-*s %6zu %10llu  %s\n", std::string(phase).c_str(), static_cast<int>(nameWidth),
                    name.c_str(), keys.size(), static_cast<unsigned long long>(frameCountOf(keys)),
                    summary(keys).c_str());
    }
}

int info(const std::string& file)
{
    const AnimationDocument document = load(file);
    if (const auto* timeline = std::get_if<LayerMap>(&document)) {
        const std::size_t width = widestName(*timeline, 5);
        std::printf("%s: timeline of %zu %s\n", shownName(file).c_str(), timeline->size(),
                    timeline->size() == 1 ? "layer" : "layers");
        std::printf("  %-*s %6s %10s  %s\n", static_cast<int>(width), "layer", "keys", "frames", "keys in order");
        std::uint64_t longest = 0;
        for (const auto& [name, keys] : *timeline) {
            std::printf("  %-*s %6zu %10llu  %s\n", static_cast<int>(width), name.c_str(), keys.size(),
                        static_cast<unsigned long long>(frameCountOf(keys)), summary(keys).c_str());
            longest = std::max(longest, frameCountOf(keys));
        }
        std::printf("  longest layer: %llu %s\n", static_cast<unsigned long long>(longest),
                    longest == 1 ? "frame" : "frames");
        return 0;
    }
    const Animation& animation = std::get<Animation>(document);
    std::size_t width = 5;
    for (const AnimationPhase phase : animationPhases) {
        width = widestName(animation.phase(phase), width);
    }
    std::printf("%s: animation at %s fps\n", shownName(file).c_str(), floatText(animation.fps()).c_str());
    std::printf("  %-6s %-*s %6s %10s  %s\n", "phase", static_cast<int>(width), "layer", "keys", "frames",
                "keys in order");
    for (const AnimationPhase phase : animationPhases) {
        printLayers(animationPhaseName(phase), animation.phase(phase), width);
    }
    std::uint64_t start = 0;
    for (const AnimationPhase phase : animationPhases) {
        const std::uint64_t length = animation.phaseFrameCount(phase);
        std::printf("  %-5s %llu %s, from frame %llu\n", std::string(animationPhaseName(phase)).c_str(),
                    static_cast<unsigned long long>(length), length == 1 ? "frame" : "frames",
                    static_cast<unsigned long long>(start));
        start += length;
    }
    std::printf("  total %llu %s = %s s at %s fps\n", static_cast<unsigned long long>(animation.frameCount()),
                animation.frameCount() == 1 ? "frame" : "frames", floatText(animation.durationInSeconds()).c_str(),
                floatText(animation.fps()).c_str());
    return 0;
}

// --- check and format -----------------------------------------------------

int check(const std::vector<std::string>& files)
{
    int status = 0;
    for (const std::string& file : files) {
        try {
            load(file);
            std::printf("%s: ok\n", shownName(file).c_str());
        } catch (const InputError& error) {
            std::fflush(stdout);
            std::fprintf(stderr, "animationmodel: %s\n", error.what());
            status = 1;
        }
    }
    return status;
}

int format(const std::vector<std::string>& files, const std::string& out, bool checkOnly)
{
    if (!checkOnly) {
        if (files.size() != 1) {
            throw UsageError("format writes one file at a time (or checks several with --check)");
        }
        writeOutput(save(load(files[0])), out);
        return 0;
    }
    if (!out.empty()) {
        throw UsageError("format --check writes nothing: -o does not go with it");
    }
    int status = 0;
    for (const std::string& file : files) {
        try {
            const std::string text = readInput(file);
            if (save(parse(file, text)) != text) {
                throw InputError(shownName(file) + ": not in the canonical layout");
            }
        } catch (const InputError& error) {
            std::fprintf(stderr, "animationmodel: %s\n", error.what());
            status = 1;
        }
    }
    return status;
}

// --- cut, fit, split ------------------------------------------------------

int cut(const std::string& file, unsigned int introEnd, unsigned int outroStart, const std::string& out)
{
    AnimationDocument document = load(file);
    auto* timeline = std::get_if<LayerMap>(&document);
    if (timeline == nullptr) {
        throw InputError(shownName(file) + ": this is an animation already: cut takes a timeline");
    }
    try {
        writeOutput(animationToJson(Animation(std::move(*timeline), introEnd, outroStart)), out);
    } catch (const std::invalid_argument& refusal) {
        throw InputError(shownName(file) + ": " + refusal.what());
    }
    return 0;
}

int fit(const std::string& file, float seconds, const std::string& out)
{
    Animation animation = loadAnimation(file, "cut it first (animationmodel cut)");
    const float rate = static_cast<float>(static_cast<double>(animation.frameCount()) / seconds);
    if (std::isinf(rate)) {
        throw UsageError("--seconds: " + floatText(seconds) + " s for " + std::to_string(animation.frameCount())
                         + " frames gives a rate past the float range");
    }
    try {
        animation.setFPSToFitDurationInSeconds(seconds);
    } catch (const std::invalid_argument& refusal) {
        throw InputError(shownName(file) + ": " + refusal.what());
    }
    writeOutput(animationToJson(animation), out);
    return 0;
}

int split(const std::string& file, unsigned int length, std::uint64_t maxKeys, const std::string& out)
{
    if (length == 0) {
        throw UsageError("--each: the length must be at least 1 frame");
    }
    const AnimationDocument document = load(file);
    std::string text;
    try {
        // The pieces are counted before any is made: a short file can ask for billions.
        const std::uint64_t count = std::holds_alternative<LayerMap>(document)
            ? splitEveryKeyCount(std::get<LayerMap>(document), length)
            : splitEveryKeyCount(std::get<Animation>(document), length);
        if (count > maxKeys) {
            throw InputError(shownName(file) + ": splitting every key into pieces of at most " + std::to_string(length)
                             + (length == 1 ? " frame" : " frames") + " would make " + std::to_string(count)
                             + " keys, more than the limit of " + std::to_string(maxKeys) + " (--max-keys)");
        }
        if (const auto* timeline = std::get_if<LayerMap>(&document)) {
            text = timelineToJson(splitEveryKey(*timeline, length));
        } else {
            text = animationToJson(splitEveryKey(std::get<Animation>(document), length));
        }
    } catch (const std::invalid_argument& refusal) {
        throw InputError(shownName(file) + ": " + refusal.what());
    }
    writeOutput(text, out);
    return 0;
}

// --- sample ---------------------------------------------------------------

// A CSV field (RFC 4180): quoted when it holds a comma, a quote or a line break.
std::string csvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c == '"' ? "\"\"" : std::string(1, c);
    }
    return quoted + "\"";
}

int sample(const std::string& file, const std::vector<std::string>& layers, std::uint64_t from,
           std::optional<std::uint64_t> to)
{
    const Animation animation = loadAnimation(file, "cut it first (animationmodel cut)");
    LayerSelection selection;
    if (!layers.empty()) {
        selection = layers;
    }
    AnimationSampler sampler(animation);
    std::string out = "frame,phase,layer,key,offset,effect,value\r\n";
    const auto flush = [&] {
        if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size()) {
            failedStdout(errno);
        }
        out.clear();
    };
    try {
        sampleRange(sampler, from, to.value_or(UINT64_MAX), selection, [&](const SampledRow& row) {
            const LayerSample& sample = *row.sample;
            out += std::to_string(row.frame) + ',' + std::string(animationPhaseName(row.phase)) + ','
                + csvField(*sample.layer) + ',' + std::to_string(sample.keyIndex) + ',' + std::to_string(sample.offset)
                + ',' + effectText(sample.key->command().effect()) + ','
                + (sample.value ? floatText(*sample.value) : "") + "\r\n";
            if (out.size() > (1u << 20)) {
                flush();
            }
        });
    } catch (const std::invalid_argument& refusal) {
        throw InputError(shownName(file) + ": " + refusal.what());
    }
    flush();
    return 0;
}

// --- render ---------------------------------------------------------------

// The widest picture: 100,000 pixels.
constexpr unsigned int widestPicture = 100000;

int render(const std::string& file, const std::string& out, unsigned int width)
{
    if (width < 300) {
        throw UsageError("--width: the picture needs at least 300 pixels");
    }
    writeOutput(renderSvg(load(file), shownName(file), width), out);
    return 0;
}

// --- play -----------------------------------------------------------------

int play(const std::string& file, const std::string& out, unsigned int width)
{
    if (width < 300) {
        throw UsageError("--width: the picture needs at least 300 pixels");
    }
    try {
        writeOutput(playerPage(load(file), shownName(file), width), out);
    } catch (const std::invalid_argument& refusal) {
        throw InputError(shownName(file) + ": " + refusal.what());
    }
    return 0;
}

// --- the command line --------------------------------------------------------

// Everything the subcommands read from the command line, as given.
struct Options {
    std::string file;
    std::vector<std::string> files;
    std::string out;
    bool checkOnly = false;
    std::string introEnd;
    std::string outroStart;
    std::string seconds;
    std::string each;
    std::vector<std::string> layers;
    std::string from = "0";
    std::string to;
    std::string width = "1200";
    std::string maxKeys = "10000000";
};

const char* const outputHelp = "where to write (default: standard output)";

// Each declares one subcommand, its options and the callback that runs it
// and keeps its exit status.

void declareInfo(CLI::App& app, Options& o, int& status)
{
    CLI::App* command = app.add_subcommand("info", "Phases, layers and lengths of a document.");
    command->add_option("FILE", o.file, "animation or timeline document")->required();
    command->callback([&] { status = info(o.file); });
}

void declareCheck(CLI::App& app, Options& o, int& status)
{
    CLI::App* command = app.add_subcommand("check", "Load every file; print FILE: ok or its located error.");
    command->add_option("FILE", o.files, "documents")->required();
    command->callback([&] { status = check(o.files); });
}

void declareFormat(CLI::App& app, Options& o, int& status)
{
    CLI::App* command = app.add_subcommand("format", "Rewrite a document in the canonical layout.");
    command->add_option("FILE", o.files, "document (several with --check)")->required();
    command->add_option("-o,--output", o.out, outputHelp);
    command->add_flag("--check", o.checkOnly, "write nothing; exit 1 naming every file that is not canonical");
    command->callback([&] { status = format(o.files, o.out, o.checkOnly); });
}

void declareCut(CLI::App& app, Options& o, int& status)
{
    CLI::App* command = app.add_subcommand("cut", "Cut a timeline into intro, body and outro.");
    command->add_option("TIMELINE", o.file, "timeline document")->required();
    command->add_option("--intro-end", o.introEnd, "frame at which the intro ends")->type_name("UINT")->required();
    command->add_option("--outro-start", o.outroStart, "frame at which the outro starts")
        ->type_name("UINT")
        ->required();
    command->add_option("-o,--output", o.out, outputHelp);
    command->callback([&] {
        status = cut(o.file, parseNumber<unsigned int>(o.introEnd, "--intro-end"),
                     parseNumber<unsigned int>(o.outroStart, "--outro-start"), o.out);
    });
}

void declareFit(CLI::App& app, Options& o, int& status)
{
    CLI::App* command = app.add_subcommand("fit", "Set an animation's rate so that it lasts S seconds.");
    command->add_option("FILE", o.file, "animation document")->required();
    command->add_option("--seconds", o.seconds, "the length wanted, in seconds")->type_name("FLOAT")->required();
    command->add_option("-o,--output", o.out, outputHelp);
    command->callback([&] { status = fit(o.file, parseSeconds(o.seconds), o.out); });
}

void declareSplit(CLI::App& app, Options& o, int& status)
{
    CLI::App* command = app.add_subcommand("split", "Split every key into pieces of at most L frames.");
    command->add_option("FILE", o.file, "animation or timeline document")->required();
    command->add_option("--max-keys", o.maxKeys, "refuse to make more keys than this (default 10000000)")
        ->type_name("UINT64");
    command->add_option("--each", o.each, "the length of the pieces, in frames")->type_name("UINT")->required();
    command->add_option("-o,--output", o.out, outputHelp);
    command->callback([&] {
        status = split(o.file, parseNumber<unsigned int>(o.each, "--each"),
                       parseNumber<std::uint64_t>(o.maxKeys, "--max-keys"), o.out);
    });
}

void declareSample(CLI::App& app, Options& o, int& status)
{
    CLI::App* command = app.add_subcommand("sample", "What every layer plays at every frame, as CSV.");
    command->add_option("FILE", o.file, "animation document")->required();
    command->add_option("--layer", o.layers, "only this layer (repeatable, one name per use)")
        ->expected(1)
        ->take_all()
        ->allow_extra_args(false);
    command->add_option("--from", o.from, "first frame (default 0)")->type_name("UINT64");
    command->add_option("--to", o.to, "frame after the last (default: the end)")->type_name("UINT64");
    command->callback([&] {
        const std::uint64_t first = parseNumber<std::uint64_t>(o.from, "--from");
        std::optional<std::uint64_t> last;
        if (!o.to.empty()) {
            last = parseNumber<std::uint64_t>(o.to, "--to");
        }
        status = sample(o.file, o.layers, first, last);
    });
}

void declareRender(CLI::App& app, Options& o, int& status)
{
    CLI::App* command = app.add_subcommand("render", "Draw a document as an SVG picture.");
    command->add_option("FILE", o.file, "animation or timeline document")->required();
    command->add_option("-o,--output", o.out, "the SVG file to write")->required();
    command->add_option("--width", o.width, "width of the picture in pixels (default 1200)")->type_name("UINT");
    command->callback(
        [&] { status = render(o.file, o.out, parseNumber<unsigned int>(o.width, "--width", widestPicture)); });
}

void declarePlay(CLI::App& app, Options& o, int& status)
{
    CLI::App* command = app.add_subcommand("play", "Write a self-contained HTML page that plays the document.");
    command->add_option("FILE", o.file, "animation or timeline document")->required();
    command->add_option("-o,--output", o.out, "the HTML file to write (default: standard output)");
    command->add_option("--width", o.width, "width of the picture in pixels (default 1200)")->type_name("UINT");
    command->callback(
        [&] { status = play(o.file, o.out, parseNumber<unsigned int>(o.width, "--width", widestPicture)); });
}

// The subcommands, in the order of the usage line.
struct Subcommand {
    const char* name;
    const char* usage;
    void (*declare)(CLI::App&, Options&, int&);
};

const Subcommand subcommands[] = {
    {"info", "usage: animationmodel info FILE", declareInfo},
    {"check", "usage: animationmodel check FILE...", declareCheck},
    {"format", "usage: animationmodel format FILE [-o OUT] | animationmodel format --check FILE...", declareFormat},
    {"cut", "usage: animationmodel cut TIMELINE --intro-end N --outro-start M [-o OUT]", declareCut},
    {"fit", "usage: animationmodel fit FILE --seconds S [-o OUT]", declareFit},
    {"split", "usage: animationmodel split FILE --each L [--max-keys N] [-o OUT]", declareSplit},
    {"sample", "usage: animationmodel sample FILE [--layer NAME]... [--from F] [--to T]", declareSample},
    {"render", "usage: animationmodel render FILE -o OUT.svg [--width PX]", declareRender},
    {"play", "usage: animationmodel play FILE [-o PAGE.html] [--width PX]", declarePlay},
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
    if (argc > 1 && argv[1][0] != '-'
        && std::none_of(std::begin(subcommands), std::end(subcommands),
                        [&](const Subcommand& known) { return std::string(argv[1]) == known.name; })) {
        throw UsageError(std::string("unknown subcommand \"") + argv[1] + "\"");
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
        throw UsageError(error.what());
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app("Inspects, checks, formats, cuts, fits, splits, samples, draws and plays animationmodel files.\n"
                 "FILE may be - for standard input; JSON goes to standard output unless -o OUT is given.\n"
                 "Exit status: 0 on success, 1 on a bad input or file, 2 on a usage error.",
                 "animationmodel");
    app.set_version_flag("--version", std::string("animationmodel ") + version);
    app.require_subcommand(1, 1);
    app.fallthrough();
    app.add_option("--max-bytes", maxBytesOption, "refuse inputs larger than this many bytes (default 1 GiB)")
        ->type_name("UINT64");
    Options options;
    int status = 0;
    for (const Subcommand& known : subcommands) {
        known.declare(app, options, status);
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
