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

#include <algorithm>
#include <optional>
#include <set>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include <unistd.h>

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

// A layer name in the table: as RFC 4180 quotes it, but a name holding a
// control character other than CR and LF (which quoting keeps), or a byte
// that is not UTF-8, is written as info writes it ('a'$'\033''b'), and on a
// terminal CR and LF too: no NUL or escape sequence ever reaches one raw.
std::string csvName(const std::string& name, bool terminal)
{
    std::string plain = name;
    if (!terminal) {
        std::replace(plain.begin(), plain.end(), '\r', ' ');
        std::replace(plain.begin(), plain.end(), '\n', ' ');
    }
    // shownName writes "-" as <stdin>; a layer named so is plain text.
    return csvField(plain == "-" || shownName(plain) == plain ? name : shownName(name));
}

// `phase` is the phase's name, or "timeline" for a timeline's one phase.
std::string csvRow(const SampledRow& row, std::string_view phase, bool terminal)
{
    const LayerSample& sample = *row.sample;
    return std::to_string(row.frame) + ',' + std::string(phase) + ',' + csvName(*sample.layer, terminal) + ','
        + std::to_string(sample.keyIndex) + ',' + std::to_string(sample.offset) + ','
        + effectText(sample.key->command().effect()) + ',' + (sample.value ? floatText(*sample.value) : "") + "\r\n";
}

// The columns of the wide table: the layers chosen, or every layer of
// `animation`, once each, in name order.
std::vector<std::string> wideColumns(const Animation& animation, const LayerSelection& selection)
{
    std::set<std::string> names;
    if (selection) {
        names.insert(selection->begin(), selection->end());
    } else {
        for (const AnimationPhase phase : animationPhases) {
            for (const auto& layer : animation.phase(phase)) {
                names.insert(layer.first);
            }
        }
    }
    return {names.begin(), names.end()};
}

// The wide table, one row per frame of the range and one column per layer:
// its value there, empty where it holds none (no key, or an effect without a
// value). Frames where no layer has a key get a row of empty values.
class WideTable {
public:
    WideTable(const AnimationSampler& sampler, std::vector<std::string> columns, bool timeline, bool terminal)
        : _sampler(sampler), _columns(std::move(columns)), _values(_columns.size()), _timeline(timeline)
    {
        _text = "frame,phase";
        for (const std::string& name : _columns) {
            _text += ',' + csvName(name, terminal);
        }
        _text += "\r\n";
    }

    // Takes one row of sampleRange; the frames before it are complete.
    void add(const SampledRow& row)
    {
        finishBefore(row.frame);
        const auto column = std::lower_bound(_columns.begin(), _columns.end(), *row.sample->layer);
        if (column != _columns.end() && *column == *row.sample->layer && row.sample->value) {
            _values[static_cast<std::size_t>(column - _columns.begin())] = floatText(*row.sample->value);
        }
    }

    // Writes the rows of every frame before `frame` not yet written.
    void finishBefore(std::uint64_t frame)
    {
        for (; _next < frame; ++_next) {
            const std::optional<PhaseFrame> located = _sampler.locate(_next);
            _text += std::to_string(_next) + ','
                + std::string(_timeline ? "timeline"
                                        : animationPhaseName(located ? located->phase : AnimationPhase::Body));
            for (std::string& value : _values) {
                _text += ',' + value;
                value.clear();
            }
            _text += "\r\n";
        }
    }

    void start(std::uint64_t frame) { _next = frame; }
    std::string& text() { return _text; }

private:
    const AnimationSampler& _sampler;
    const std::vector<std::string> _columns;
    std::vector<std::string> _values;
    const bool _timeline;
    std::uint64_t _next = 0;
    std::string _text;
};

// Whether the table goes to a terminal, where no control character may go raw.
bool toTerminal(const Options& o)
{
    return (o.out.empty() || o.out == "-") && isatty(STDOUT_FILENO) != 0;
}

// Refuses a --layer that no phase holds, naming it as info names layers.
void checkLayers(const AnimationSampler& sampler, const LayerSelection& selection, const std::string& file)
{
    for (const std::string& name : selection.value_or(std::vector<std::string>())) {
        if (!sampler.hasLayer(name)) {
            const std::string shown = name == "-" || shownName(name) == name ? '"' + name + '"' : shownName(name);
            throw InputError(shownName(file) + ": no layer named " + shown);
        }
    }
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
    checkLayers(sampler, selection, o.file);
    const bool terminal = toTerminal(o);
    const std::uint64_t last = std::min(to.value_or(UINT64_MAX), sampler.frameCount());
    try {
        writeOutputStream(
            [&](const TextWriter& write) {
                WideTable wide(sampler, wideColumns(animation, selection), timeline != nullptr, terminal);
                wide.start(from);
                std::string& rows = wide.text();
                if (!o.wide) {
                    rows = "frame,phase,layer,key,offset,effect,value\r\n";
                }
                sampleRange(sampler, from, last, selection, [&](const SampledRow& row) {
                    if (o.wide) {
                        wide.add(row);
                    } else {
                        rows += csvRow(row, timeline != nullptr ? "timeline" : animationPhaseName(row.phase), terminal);
                    }
                    if (rows.size() > (1u << 20)) {
                        write(rows);
                        rows.clear();
                    }
                });
                if (o.wide) {
                    wide.finishBefore(last);
                }
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
        writeOutput(playerPage(loadDocument(o, o.file), o.title.value_or(inputName(o.file)), width), o.out);
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
    command->add_flag("--wide", o.wide,
                      "one row per frame and one column per layer, holding its value (empty where it holds none)");
    addOutputOption(*command, o.out);
    command->callback([&] {
        const std::uint64_t first = parseNumber<std::uint64_t>(o.from, "--from");
        std::optional<std::uint64_t> last;
        if (!o.to.empty()) {
            last = parseNumber<std::uint64_t>(o.to, "--to");
            if (*last < first) {
                throw UsageError("--to " + o.to + " is before --from " + o.from
                                 + ": the range runs from --from up to the frame before --to");
            }
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
    command->add_option("--title", o.title, "the page's title and the picture's heading (default: FILE as given)")
        ->type_name("TEXT");
    command->callback([&] { status = play(o, pictureWidth(o)); });
}

} // namespace Korva::tool
