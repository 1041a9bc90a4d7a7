// info and check: what a document holds, and whether it loads.
#include "commandline.h"

#include <animationmodel/animationjson.h>
#include <animationmodel/files/valuetext.h>
#include <animationmodel/clipfile.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <variant>

#include <unistd.h>

namespace Korva::tool {

namespace {

// The first keys of a layer, as "Linear x10 0 -> 1, Held1 x5, ... (N more)".
std::string keySummary(const std::vector<AnimationKey>& keys)
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
        widest = std::max(widest, shownName(layer.first).size());
    }
    return widest;
}

// One table row per layer; `phase` is empty for a timeline.
void printLayers(const std::string& phase, const LayerMap& layers, std::size_t nameWidth)
{
    for (const auto& [name, keys] : layers) {
        // The phase column is 6 wide ("intro ", "body  ", "outro ").
        const std::string column = phase.empty() ? "" : phase + std::string(7 - phase.size(), ' ');
        std::printf("  %s%-*s %6zu %10llu  %s\n", column.c_str(), static_cast<int>(nameWidth), shownName(name).c_str(),
                    keys.size(), static_cast<unsigned long long>(frameCountOf(keys)), keySummary(keys).c_str());
    }
}

void printTimeline(const std::string& file, const LayerMap& timeline)
{
    const std::size_t width = widestName(timeline, 5);
    std::printf("%s: timeline of %s\n", shownName(file).c_str(), counted(timeline.size(), "layer", "layers").c_str());
    std::printf("  %-*s %6s %10s  %s\n", static_cast<int>(width), "layer", "keys", "frames", "keys in order");
    printLayers("", timeline, width);
    std::printf("  longest layer: %s\n", counted(frameCountOf(timeline), "frame", "frames").c_str());
}

void printAnimation(const std::string& file, const Animation& animation)
{
    std::size_t width = 5;
    for (const AnimationPhase phase : animationPhases) {
        width = widestName(animation.phase(phase), width);
    }
    std::printf("%s: animation at %s fps\n", shownName(file).c_str(), floatText(animation.fps()).c_str());
    std::printf("  %-6s %-*s %6s %10s  %s\n", "phase", static_cast<int>(width), "layer", "keys", "frames",
                "keys in order");
    for (const AnimationPhase phase : animationPhases) {
        printLayers(std::string(animationPhaseName(phase)), animation.phase(phase), width);
    }
    std::uint64_t start = 0;
    for (const AnimationPhase phase : animationPhases) {
        const std::uint64_t length = animation.phaseFrameCount(phase);
        std::printf("  %-5s %s, from frame %llu\n", std::string(animationPhaseName(phase)).c_str(),
                    counted(length, "frame", "frames").c_str(), static_cast<unsigned long long>(start));
        start += length;
    }
    std::printf("  total %s = %s s at %s fps\n", counted(animation.frameCount(), "frame", "frames").c_str(),
                floatText(animation.durationInSeconds()).c_str(), floatText(animation.fps()).c_str());
}

// --- info --json: the same summary for programs (documented in docs/tool.md).

// A float as strict JSON: null when it is not finite.
std::string jsonNumber(float value)
{
    return std::isfinite(value) ? floatText(value) : "null";
}

std::string jsonLayers(const LayerMap& layers)
{
    std::string text = "[";
    for (const auto& [name, keys] : layers) {
        text += std::string(text.size() > 1 ? "," : "") + "{\"name\":" + jsonString(name)
            + ",\"keys\":" + std::to_string(keys.size()) + ",\"frames\":" + std::to_string(frameCountOf(keys)) + "}";
    }
    return text + "]";
}

std::string jsonSummary(const std::string& file, const AnimationDocument& document)
{
    // File names need not be UTF-8; a name that is not is given as null.
    std::string name = "null";
    try {
        name = jsonString(inputName(file));
    } catch (const std::invalid_argument&) { }
    if (const auto* timeline = std::get_if<LayerMap>(&document)) {
        return "{\"file\":" + name + ",\"kind\":\"timeline\",\"frames\":" + std::to_string(frameCountOf(*timeline))
            + ",\"layers\":" + jsonLayers(*timeline) + "}\n";
    }
    const Animation& animation = std::get<Animation>(document);
    std::string phases;
    std::uint64_t start = 0;
    for (const AnimationPhase phase : animationPhases) {
        const std::uint64_t length = animation.phaseFrameCount(phase);
        phases += std::string(phases.empty() ? "" : ",") + "{\"phase\":\"" + std::string(animationPhaseName(phase))
            + "\",\"start\":" + std::to_string(start) + ",\"frames\":" + std::to_string(length)
            + ",\"layers\":" + jsonLayers(animation.phase(phase)) + "}";
        start += length;
    }
    return "{\"file\":" + name + ",\"kind\":\"animation\",\"fps\":" + jsonNumber(animation.fps())
        + ",\"frames\":" + std::to_string(animation.frameCount())
        + ",\"seconds\":" + jsonNumber(animation.durationInSeconds()) + ",\"phases\":[" + phases + "]}\n";
}

// Every layer name of the document, once each, in name order, one per line.
std::string layerNames(const AnimationDocument& document)
{
    std::set<std::string> names;
    if (const auto* timeline = std::get_if<LayerMap>(&document)) {
        for (const auto& layer : *timeline) {
            names.insert(layer.first);
        }
    } else {
        for (const AnimationPhase phase : animationPhases) {
            for (const auto& layer : std::get<Animation>(document).phase(phase)) {
                names.insert(layer.first);
            }
        }
    }
    std::string text;
    for (const std::string& name : names) {
        text += shownName(name) + "\n";
    }
    return text;
}

// The summary of one file, as asked: a table, a line of JSON or the layer names.
// A blank line parts it from the one before (`shown` counts those written),
// but not between lines of JSON.
void infoOf(const Options& o, const std::string& file, bool headed, std::size_t& shown)
{
    const std::string text = readDocumentText(o, file);
    const AnimationDocument document = parseDocument(file, text);
    if (shown++ > 0 && !o.json) {
        writeStdout("\n");
    }
    // A binary clip file says so: a last line, or a last member "stored".
    const bool binary = isClipFile(text);
    if (o.layerNames) {
        // Several files: each list under its file's name, as ls lists folders.
        writeStdout((headed ? shownName(file) + ":\n" : std::string()) + layerNames(document));
        return;
    }
    if (o.json) {
        std::string summary = jsonSummary(file, document);
        if (binary) {
            summary.insert(summary.size() - 2, ",\"stored\":\"binary clip file\"");
        }
        writeStdout(summary);
    } else if (const auto* timeline = std::get_if<LayerMap>(&document)) {
        printTimeline(file, *timeline);
    } else {
        printAnimation(file, std::get<Animation>(document));
    }
    if (binary && !o.json) {
        std::printf("  stored as a binary clip file (format version %u)\n", static_cast<unsigned>(clipFileVersion));
    }
}

// Every file in turn, as check does: one that fails is named on standard
// error and the others are still summed up. No file: standard input, unless
// it is a terminal.
int info(const Options& o)
{
    if (o.json && o.layerNames) {
        throw UsageError("info: --json does not go with --layers");
    }
    std::vector<std::string> files = o.files;
    if (files.empty()) {
        if (isatty(STDIN_FILENO) != 0) {
            throw UsageError("info: no FILE given, and standard input is a terminal");
        }
        files.emplace_back("-");
    }
    int status = 0;
    std::size_t shown = 0;
    for (const std::string& file : files) {
        try {
            infoOf(o, file, files.size() > 1, shown);
        } catch (const InputError& error) {
            std::fflush(stdout);
            std::fprintf(stderr, "animationmodel: %s\n", error.what());
            status = 1;
        }
    }
    return status;
}

int check(const Options& o)
{
    int status = 0;
    for (const std::string& file : o.files) {
        try {
            loadDocument(o, file);
            if (!o.quiet) {
                std::printf("%s: ok\n", shownName(file).c_str());
            }
        } catch (const InputError& error) {
            std::fflush(stdout);
            std::fprintf(stderr, "animationmodel: %s\n", error.what());
            status = 1;
        }
    }
    return status;
}

} // namespace

void declareInfo(CLI::App& app, Options& o, int& status)
{
    CLI::App* command = app.add_subcommand(
        "info", "Phases, layers and lengths of each document (of standard input when no FILE is given).");
    command->add_option("FILE", o.files, "animation or timeline documents")->type_name("");
    command->add_flag("--json", o.json, "the summary as one line of JSON, for programs");
    command->add_flag("--layers", o.layerNames, "only the layer names, one per line, for scripts and completion");
    command->callback([&] { status = info(o); });
}

void declareCheck(CLI::App& app, Options& o, int& status)
{
    CLI::App* command = app.add_subcommand("check", "Load every file; print FILE: ok or its located error.");
    command->add_option("FILE", o.files, "documents")->type_name("")->required();
    command->add_flag("-q,--quiet", o.quiet, "print only the failures");
    command->callback([&] { status = check(o); });
}

} // namespace Korva::tool
