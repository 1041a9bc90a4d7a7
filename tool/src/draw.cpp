// sample, render and play: what an animation plays, as a table, a picture
// or a page.
#include "commandline.h"

#include <animationmodel/animationalgorithms.h>
#include <animationmodel/animationjson.h>
#include <animationmodel/animationplayer.h>
#include <animationmodel/animationsampler.h>
#include <animationmodel/animationsvg.h>

#include <CLI/CLI.hpp>

#include <optional>
#include <stdexcept>

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

std::string csvRow(const SampledRow& row)
{
    const LayerSample& sample = *row.sample;
    return std::to_string(row.frame) + ',' + std::string(animationPhaseName(row.phase)) + ',' + csvField(*sample.layer)
        + ',' + std::to_string(sample.keyIndex) + ',' + std::to_string(sample.offset) + ','
        + effectText(sample.key->command().effect()) + ',' + (sample.value ? floatText(*sample.value) : "") + "\r\n";
}

// The rows go out a megabyte at a time, to standard output or into the new
// file that replaces OUT once the table is complete.
int sample(const Options& o, std::uint64_t from, std::optional<std::uint64_t> to)
{
    const Animation animation = loadAnimationDocument(o, o.file);
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
                    rows += csvRow(row);
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

unsigned int pictureWidth(const Options& o)
{
    const unsigned int width = parseNumber<unsigned int>(o.width, "--width", widestPicture);
    if (width < 300) {
        throw UsageError("--width: the picture needs at least 300 pixels");
    }
    return width;
}

int render(const Options& o, unsigned int width)
{
    writeOutput(renderSvg(loadDocument(o, o.file), shownName(o.file), width), o.out);
    return 0;
}

int play(const Options& o, unsigned int width)
{
    try {
        writeOutput(playerPage(loadDocument(o, o.file), shownName(o.file), width), o.out);
    } catch (const std::invalid_argument& refusal) {
        throw InputError(shownName(o.file) + ": " + refusal.what());
    }
    return 0;
}

} // namespace

void declareSample(CLI::App& app, Options& o, int& status)
{
    CLI::App* command = app.add_subcommand("sample", "What every layer plays at every frame, as CSV.");
    command->add_option("FILE", o.file, "animation document")->type_name("FILE")->required();
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
    command->add_option("FILE", o.file, "animation or timeline document")->type_name("FILE")->required();
    addOutputOption(*command, o.out, "the SVG file to write (- for standard output)")->required();
    command->add_option("--width", o.width, "width of the picture in pixels, 300 to 100000 (default 1200)")
        ->type_name("UINT");
    command->callback([&] { status = render(o, pictureWidth(o)); });
}

void declarePlay(CLI::App& app, Options& o, int& status)
{
    CLI::App* command = app.add_subcommand("play", "Write a self-contained HTML page that plays the document.");
    command->add_option("FILE", o.file, "animation or timeline document")->type_name("FILE")->required();
    addOutputOption(*command, o.out, "the HTML file to write (default: standard output)");
    command->add_option("--width", o.width, "width of the picture in pixels, 300 to 100000 (default 1200)")
        ->type_name("UINT");
    command->callback([&] { status = play(o, pictureWidth(o)); });
}

} // namespace Korva::tool
