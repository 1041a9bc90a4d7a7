// sample, render and play: what an animation plays, as a table, a picture
// or a page.
#include "commandline.h"

#include <animationmodel/animationalgorithms.h>
#include <animationmodel/animationjson.h>
#include <animationmodel/files/valuetext.h>
#include <animationmodel/animationplayer.h>
#include <animationmodel/animationsampler.h>
#include <animationmodel/animationsvg.h>

#include <CLI/CLI.hpp>

#include <optional>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <variant>

namespace Korva::tool {

namespace {

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

// `phase` is the phase's name, or "timeline" for a timeline's one phase.
std::string csvRow(const SampledRow& row, std::string_view phase)
{
    const LayerSample& sample = *row.sample;
    return std::to_string(row.frame) + ',' + std::string(phase) + ',' + csvField(*sample.layer) + ','
        + std::to_string(sample.keyIndex) + ',' + std::to_string(sample.offset) + ','
        + effectText(sample.key->command().effect()) + ',' + (sample.value ? floatText(*sample.value) : "") + "\r\n";
}

// The rows go out a megabyte at a time, to standard output or into the new
// file that replaces OUT once the table is complete. A timeline plays as one
// phase named "timeline", as the player plays it.
int sample(const Options& o, std::uint64_t from, std::optional<std::uint64_t> to)
{
    AnimationDocument document = loadDocument(o, o.file);
    auto* timeline = std::get_if<LayerMap>(&document);
    const Animation animation = timeline != nullptr ? Animation(LayerMap(), std::move(*timeline), LayerMap())
                                                    : std::move(std::get<Animation>(document));
    LayerSelection selection;
    if (!o.layers.empty()) {
        selection = o.layers;
    }
    AnimationSampler sampler(animation);
    try {
        writeOutputStream(
            [&](const TextWriter& write) {
                std::string rows = "frame,phase,layer,key,offset,effect,value\r\n";
                sampleRange(sampler, from, to.value_or(UINT64_MAX), selection, [&](const SampledRow& row) {
                    rows += csvRow(row, timeline != nullptr ? "timeline" : animationPhaseName(row.phase));
                    if (rows.size() > (1u << 20)) {
                        write(rows);
                        rows.clear();
                    }
                });
                write(rows);
            },
            o.out);
    } catch (const std::invalid_argument& refusal) {
        throw InputError(shownName(o.file) + ": " + refusal.what());
    }
    return 0;
}

// The widest picture: 100,000 pixels.
constexpr unsigned int widestPicture = 100000;

// The narrowest: 300 pixels.
constexpr unsigned int narrowestPicture = 300;

unsigned int pictureWidth(const Options& o)
{
    return parseNumber<unsigned int>(o.width, "--width", widestPicture, narrowestPicture);
}

int render(const Options& o, unsigned int width)
{
    writeOutput(renderSvg(loadDocument(o, o.file), inputName(o.file), width), o.out);
    return 0;
}

int play(const Options& o, unsigned int width)
{
    try {
        writeOutput(playerPage(loadDocument(o, o.file), inputName(o.file), width), o.out);
    } catch (const std::invalid_argument& refusal) {
        throw InputError(shownName(o.file) + ": " + refusal.what());
    }
    return 0;
}

} // namespace

void declareSample(CLI::App& app, Options& o, int& status)
{
    CLI::App* command = app.add_subcommand(
        "sample", "What every layer plays at every frame, as CSV (a timeline as one phase named timeline).");
    addFileArgument(*command, "FILE", o.file, "animation or timeline document");
    command->add_option("--layer", o.layers, "only this layer (repeatable, one name per use)")
        ->type_name("NAME")
        ->expected(1)
        ->take_all()
        ->allow_extra_args(false);
    command->add_option("--from", o.from, "first frame (default 0)")->type_name("UINT64");
    command->add_option("--to", o.to, "frame after the last (default: the end)")->type_name("UINT64");
    addOutputOption(*command, o.out);
    command->callback([&] {
        const std::uint64_t first = parseNumber<std::uint64_t>(o.from, "--from");
        std::optional<std::uint64_t> last;
        if (!o.to.empty()) {
            last = parseNumber<std::uint64_t>(o.to, "--to");
        }
        status = sample(o, first, last);
    });
}

void declareRender(CLI::App& app, Options& o, int& status)
{
    CLI::App* command = app.add_subcommand("render", "Draw a document as an SVG picture.");
    addFileArgument(*command, "FILE", o.file, "animation or timeline document");
    addOutputOption(*command, o.out, "the SVG file to write (default: standard output; - for it too)");
    command->add_option("--width", o.width, "width of the picture in pixels, 300 to 100000 (default 1200)")
        ->type_name("UINT");
    command->callback([&] { status = render(o, pictureWidth(o)); });
}

void declarePlay(CLI::App& app, Options& o, int& status)
{
    CLI::App* command = app.add_subcommand("play", "Write a self-contained HTML page that plays the document.");
    addFileArgument(*command, "FILE", o.file, "animation or timeline document");
    addOutputOption(*command, o.out, "the HTML file to write (default: standard output)");
    command->add_option("--width", o.width, "width of the picture in pixels, 300 to 100000 (default 1200)")
        ->type_name("UINT");
    command->callback([&] { status = play(o, pictureWidth(o)); });
}

} // namespace Korva::tool
