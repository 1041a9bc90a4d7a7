#include <animationmodel/animationplayer.h>

#include "playerassets.h"

#include <animationmodel/animationjson.h>
#include <animationmodel/files/utf8.h>
#include <animationmodel/files/valuetext.h>
#include <animationmodel/animationsvg.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

namespace Korva {

namespace {

// The page's picture merges short keys into marks of 8 pixel columns: its
// readout gives every key's detail, and a page of 100,000 keys stays quick
// to open. Its geometry in the page's data is that of the same picture.
constexpr unsigned int pageMergeWidth = 8;

// Inside a script element, "</" would end it: JSON may spell '<' as \u003c.
void appendScriptSafe(std::string& out, std::string_view json)
{
    for (const char c : json) {
        if (c == '<') {
            out += "\\u003c";
        } else {
            out += c;
        }
    }
}

void appendNumber(std::string& out, double value)
{
    char digits[32];
    const std::to_chars_result written = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, written.ptr);
}

// A float as its file-format text, quoted: the page reads it back exactly.
void appendFloat(std::string& out, float value)
{
    out += '"';
    out += floatText(value);
    out += '"';
}

// The keys of a layer, flat: effect and duration, then for Linear its start
// and end values.
void appendKeys(std::string& out, const std::vector<AnimationKey>& keys)
{
    out += '[';
    const char* separator = "";
    for (const AnimationKey& key : keys) {
        const AnimationKeyCommand& command = key.command();
        out += separator;
        out += std::to_string(static_cast<std::int32_t>(command.effect())) + ',' + std::to_string(key.duration());
        if (command.effect() == Linear) {
            out += ',';
            appendFloat(out, command.args()[0]);
            out += ',';
            appendFloat(out, command.args()[1]);
        }
        separator = ",";
    }
    out += ']';
}

void appendPhase(std::string& out, std::string_view name, const LayerMap& layers)
{
    out += "{\"name\":\"";
    out += name;
    out += "\",\"layers\":[";
    const char* separator = "";
    for (const auto& [layer, keys] : layers) {
        out += separator;
        out += "{\"name\":";
        appendScriptSafe(out, jsonString(layer));
        out += ",\"keys\":";
        appendKeys(out, keys);
        out += '}';
        separator = ",";
    }
    out += "]}";
}

// The picture draws at most this many layers (and each phase's longest one):
// a picture of 100,000 rows would take the browser a minute to lay out and
// nobody could read it. The readout lists every layer.
constexpr std::size_t picturedLayerLimit = 1000;

std::uint64_t layerLength(const std::vector<AnimationKey>& keys) noexcept
{
    std::uint64_t length = 0;
    for (const AnimationKey& key : keys) {
        length += key.duration();
    }
    return length;
}

// `layers` restricted to `kept`.
LayerMap keptLayers(const LayerMap& layers, const std::set<std::string_view>& kept)
{
    LayerMap result;
    for (const auto& [name, keys] : layers) {
        if (kept.count(name) != 0) {
            result.emplace(name, keys);
        }
    }
    return result;
}

// The phases of `document`: an animation's three, or a timeline as one.
std::vector<const LayerMap*> phasesOf(const AnimationDocument& document)
{
    if (const auto* animation = std::get_if<Animation>(&document)) {
        return {&animation->intro(), &animation->body(), &animation->outro()};
    }
    return {&std::get<LayerMap>(document)};
}

// What the picture draws of a document with more layers than it shows: the
// first layers by name, and the longest layer of each phase so that every
// phase keeps its length (and the picture its frames).
struct PicturedLayers {
    std::optional<AnimationDocument> document; // nothing when every layer is drawn
    std::size_t shown = 0;
    std::size_t total = 0;
};

PicturedLayers picturedLayers(const AnimationDocument& document)
{
    PicturedLayers result;
    const std::vector<const LayerMap*> phases = phasesOf(document);
    std::set<std::string_view> names;
    for (const LayerMap* phase : phases) {
        for (const auto& entry : *phase) {
            names.insert(entry.first);
        }
    }
    result.total = names.size();
    result.shown = names.size();
    if (names.size() <= picturedLayerLimit) {
        return result;
    }
    std::set<std::string_view> kept(names.begin(), std::next(names.begin(), picturedLayerLimit));
    for (const LayerMap* phase : phases) {
        const auto longest = std::max_element(phase->begin(), phase->end(), [](const auto& a, const auto& b) {
            return layerLength(a.second) < layerLength(b.second);
        });
        if (longest != phase->end()) {
            kept.insert(longest->first);
        }
    }
    result.shown = kept.size();
    if (const auto* animation = std::get_if<Animation>(&document)) {
        Animation pictured(keptLayers(animation->intro(), kept), keptLayers(animation->body(), kept),
                           keptLayers(animation->outro(), kept));
        pictured.setFPS(animation->fps());
        result.document = std::move(pictured);
    } else {
        result.document = keptLayers(std::get<LayerMap>(document), kept);
    }
    return result;
}

// The data the script plays: rate, phases and the picture's geometry.
std::string pageData(const AnimationDocument& document, const AnimationDocument& pictured, const std::string& title,
                     unsigned int width)
{
    std::string out = "{\"title\":";
    // A title from a file name need not be UTF-8: shown as the picture shows it.
    appendScriptSafe(out, jsonString(utf8Repaired(title)));
    out += ",\"fps\":";
    const auto* animation = std::get_if<Animation>(&document);
    appendFloat(out, animation != nullptr ? animation->fps() : 25.0f);
    out += ",\"phases\":[";
    if (animation != nullptr) {
        const char* separator = "";
        for (const AnimationPhase phase : animationPhases) {
            out += separator;
            appendPhase(out, animationPhaseName(phase), animation->phase(phase));
            separator = ",\n";
        }
    } else {
        appendPhase(out, "timeline", std::get<LayerMap>(document));
    }
    const SvgPlot plot = svgPlot(pictured, width, pageMergeWidth);
    out += "],\"plot\":{\"left\":";
    appendNumber(out, plot.plotLeft);
    out += ",\"right\":";
    appendNumber(out, plot.plotRight);
    out += ",\"top\":";
    appendNumber(out, plot.top);
    out += ",\"bottom\":";
    appendNumber(out, plot.bottom);
    out += ",\"frames\":" + std::to_string(plot.frames) + "}}";
    return out;
}

// The controls. Each one's accessible name is its visible text; what it does
// and its key are its description (title) and aria-keyshortcuts. Symbols are
// drawn (inline SVG) or taken from characters every default font has.
const char* const controls = R"html(<div class="controls" role="toolbar" aria-label="Playback">
<button type="button" id="start" title="Start (Home)" aria-keyshortcuts="Home"><svg class="icon" viewBox="0 0 10 10" aria-hidden="true"><path d="M1 1h2v8H1zM9 1v8L3.5 5z"/></svg>start</button>
<button type="button" id="back-second" title="Back one second (Shift+Left)" aria-keyshortcuts="Shift+ArrowLeft">&#x2212;1 s</button>
<button type="button" id="back-frame" title="Back one frame (Left)" aria-keyshortcuts="ArrowLeft">&#x2212;1</button>
<button type="button" id="play" title="Play or pause (Space)" aria-keyshortcuts="Space">play</button>
<button type="button" id="forward-frame" title="Forward one frame (Right)" aria-keyshortcuts="ArrowRight">+1</button>
<button type="button" id="forward-second" title="Forward one second (Shift+Right)" aria-keyshortcuts="Shift+ArrowRight">+1 s</button>
<button type="button" id="end" title="End (End)" aria-keyshortcuts="End">end<svg class="icon" viewBox="0 0 10 10" aria-hidden="true"><path d="M1 1v8L6.5 5zM7 1h2v8H7z"/></svg></button>
<button type="button" id="previous-key" title="Previous key boundary of any layer (,)" aria-keyshortcuts=","><span aria-hidden="true">&#x25C0; </span>previous key</button>
<button type="button" id="next-key" title="Next key boundary of any layer (.)" aria-keyshortcuts=".">next key<span aria-hidden="true"> &#x25B6;</span></button>
PHASES<label for="speed">speed</label>
<select id="speed"><option value="0.25">0.25&#xD7;</option><option value="0.5">0.5&#xD7;</option><option value="1" selected>1&#xD7;</option><option value="2">2&#xD7;</option><option value="4">4&#xD7;</option></select>
<label for="loop">loop (L)</label>
<select id="loop" aria-keyshortcuts="L"><option value="none" selected>none</option><option value="all">whole animation</option>LOOPBODY</select>
<button type="button" id="shortcuts-button" title="Keyboard shortcuts (?)" aria-keyshortcuts="?" aria-expanded="false" aria-controls="shortcuts">shortcuts (?)</button>
</div>
<section id="shortcuts" hidden aria-labelledby="shortcuts-heading">
<h2 id="shortcuts-heading">Keyboard shortcuts</h2>
<table><tbody>
<tr><th scope="row"><kbd>Space</kbd></th><td>play or pause</td></tr>
<tr><th scope="row"><kbd>&#x2190;</kbd> <kbd>&#x2192;</kbd></th><td>one frame back or forward</td></tr>
<tr><th scope="row"><kbd>Shift</kbd>+<kbd>&#x2190;</kbd> <kbd>Shift</kbd>+<kbd>&#x2192;</kbd></th><td>one second back or forward</td></tr>
<tr><th scope="row"><kbd>,</kbd> <kbd>.</kbd></th><td>the previous or next key boundary of any layer</td></tr>
<tr><th scope="row"><kbd>Enter</kbd></th><td>stop, and return to the frame where play started</td></tr>
<tr><th scope="row"><kbd>Home</kbd> <kbd>End</kbd></th><td>the first or the last frame</td></tr>
PHASEKEYS<tr><th scope="row"><kbd>L</kbd></th><td>the next loop choice</td></tr>
<tr><th scope="row"><kbd>?</kbd> <kbd>Esc</kbd></th><td>show or hide this list; hide it</td></tr>
</tbody></table>
<p>A focused button takes Space and Enter; a focused list takes every key.</p>
</section>
)html";

std::string controlsOf(const AnimationDocument& document)
{
    const bool animation = std::holds_alternative<Animation>(document);
    std::string phases;
    if (animation) {
        int number = 0;
        for (const AnimationPhase phase : animationPhases) {
            const std::string name(animationPhaseName(phase));
            const std::string key = std::to_string(++number);
            phases += "<button type=\"button\" id=\"phase-" + std::to_string(number - 1) + "\" title=\"Start of the "
                + name + " (" + key + ")\" aria-keyshortcuts=\"" + key + "\">" + name + "</button>\n";
        }
    }
    std::string text = controls;
    text.replace(text.find("PHASES"), 6, phases);
    text.replace(text.find("LOOPBODY"), 8, animation ? "<option value=\"body\">body</option>" : "");
    text.replace(text.find("PHASEKEYS"), 9,
                 animation ? "<tr><th scope=\"row\"><kbd>1</kbd> <kbd>2</kbd> <kbd>3</kbd></th>"
                             "<td>the start of the intro, the body, the outro</td></tr>\n"
                           : "");
    return text;
}

} // namespace

std::string playerPage(const AnimationDocument& document, const std::string& title, unsigned int width)
{
    const PicturedLayers layers = picturedLayers(document);
    const AnimationDocument& pictured = layers.document ? *layers.document : document;
    const std::string data = pageData(document, pictured, title, width);
    const std::string svg = renderSvg(pictured, title, width, pageMergeWidth);
    std::string page;
    page.reserve(data.size() + svg.size() + 32768);
    page += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; script-src 'unsafe-inline'; "
            "style-src 'unsafe-inline'; img-src data:; base-uri 'none'; form-action 'none'\">\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
    page += xmlEscaped(title) + " \xE2\x80\x94 animationmodel player</title>\n<style>\n";
    page += player::style;
    page += "</style>\n</head>\n<body>\n<main>\n<h1 class=\"visually-hidden\">" + xmlEscaped(title) + "</h1>\n";
    if (layers.document) {
        page += "<p id=\"picture-note\">The picture shows " + std::to_string(layers.shown) + " of the "
            + std::to_string(layers.total)
            + " layers: the first by name, and the longest of each phase. The table lists every layer.</p>\n";
    }
    // The picture shows the title; the heading above is for assistive
    // technology, to which the picture is one image (the readout below gives
    // its content as text).
    page += "<div id=\"picture\">\n<svg role=\"img\" aria-label=\"Keys of every layer over time\"";
    page.append(svg, std::string_view("<svg").size());
    page += "</div>\n";
    page += controlsOf(document);
    page += "<p id=\"counter\"></p>\n<div id=\"readout-box\" tabindex=\"0\" role=\"region\" aria-label=\"Layers at the "
            "current frame\">\n<table id=\"readout\">\n"
            "<caption>Layers at the current frame</caption>\n"
            "<thead><tr><th scope=\"col\">phase</th><th scope=\"col\">layer</th><th scope=\"col\">key</th>"
            "<th scope=\"col\">offset</th><th scope=\"col\">effect</th><th scope=\"col\">value</th></tr></thead>\n"
            "<tbody></tbody>\n</table>\n</div>\n</main>\n<script type=\"application/json\" id=\"animation-data\">";
    page += data;
    page += "</script>\n<script>\n";
    page += player::script;
    page += "</script>\n</body>\n</html>\n";
    return page;
}

} // namespace Korva
