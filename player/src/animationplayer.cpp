#include <animationmodel/animationplayer.h>

#include "playerassets.h"

#include <animationmodel/animationjson.h>
#include <animationmodel/animationsvg.h>

#include <charconv>
#include <cstdint>
#include <string_view>

namespace Korva {

namespace {

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

// The data the script plays: rate, phases and the picture's geometry.
std::string pageData(const AnimationDocument& document, const std::string& title, unsigned int width)
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
    const SvgPlot plot = svgPlot(document, width);
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

const char* const controls = R"html(<div class="controls" role="toolbar" aria-label="Playback">
<button type="button" id="start" aria-label="Start (Home)" title="Start (Home)">&#x23EE;</button>
<button type="button" id="back-second" aria-label="Back one second (Shift+Left)" title="Back one second (Shift+Left)">&#x2212;1 s</button>
<button type="button" id="back-frame" aria-label="Back one frame (Left)" title="Back one frame (Left)">&#x2212;1</button>
<button type="button" id="play" aria-label="Play or pause (Space)" title="Play or pause (Space)" aria-pressed="false">play</button>
<button type="button" id="forward-frame" aria-label="Forward one frame (Right)" title="Forward one frame (Right)">+1</button>
<button type="button" id="forward-second" aria-label="Forward one second (Shift+Right)" title="Forward one second (Shift+Right)">+1 s</button>
<button type="button" id="end" aria-label="End (End)" title="End (End)">&#x23ED;</button>
<button type="button" id="previous-key" aria-label="Previous key boundary (,)" title="Previous key boundary (,)">&#x25C0; key</button>
<button type="button" id="next-key" aria-label="Next key boundary (.)" title="Next key boundary (.)">key &#x25B6;</button>
PHASES<label for="speed">speed</label>
<select id="speed"><option value="0.25">0.25&#xD7;</option><option value="0.5">0.5&#xD7;</option><option value="1" selected>1&#xD7;</option><option value="2">2&#xD7;</option><option value="4">4&#xD7;</option></select>
<label for="loop">loop (L)</label>
<select id="loop"><option value="none" selected>none</option><option value="all">whole animation</option>LOOPBODY</select>
</div>
)html";

std::string controlsOf(const AnimationDocument& document)
{
    std::string phases;
    if (std::holds_alternative<Animation>(document)) {
        int number = 0;
        for (const AnimationPhase phase : animationPhases) {
            const std::string name(animationPhaseName(phase));
            const std::string key = std::to_string(++number);
            phases += "<button type=\"button\" id=\"phase-" + std::to_string(number - 1)
                + "\" aria-label=\"Start of the " + name + " (" + key + ")\" title=\"Start of the " + name + " (" + key
                + ")\">" + name + "</button>\n";
        }
    }
    std::string text = controls;
    text.replace(text.find("PHASES"), 6, phases);
    text.replace(text.find("LOOPBODY"), 8,
                 std::holds_alternative<Animation>(document) ? "<option value=\"body\">body</option>" : "");
    return text;
}

} // namespace

std::string playerPage(const AnimationDocument& document, const std::string& title, unsigned int width)
{
    const std::string data = pageData(document, title, width);
    // The page's picture merges short keys into marks of 8 pixel columns:
    // its readout gives every key's detail, and a page of 100,000 keys stays
    // quick to open.
    const std::string svg = renderSvg(document, title, width, 8);
    std::string page;
    page.reserve(data.size() + svg.size() + 32768);
    page += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; script-src 'unsafe-inline'; "
            "style-src 'unsafe-inline'; img-src data:; base-uri 'none'; form-action 'none'\">\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
    page += xmlEscaped(title) + " \xE2\x80\x94 animationmodel player</title>\n<style>\n";
    page += player::style;
    page += "</style>\n</head>\n<body>\n<main>\n<h1>" + xmlEscaped(title) + "</h1>\n<div id=\"picture\">\n";
    page += svg;
    page += "</div>\n" + controlsOf(document);
    page += "<p id=\"counter\"></p>\n<table id=\"readout\">\n<caption>Layers at the current frame</caption>\n"
            "<thead><tr><th scope=\"col\">phase</th><th scope=\"col\">layer</th><th scope=\"col\">key</th>"
            "<th scope=\"col\">offset</th><th scope=\"col\">effect</th><th scope=\"col\">value</th></tr></thead>\n"
            "<tbody></tbody>\n</table>\n</main>\n<script type=\"application/json\" id=\"animation-data\">";
    page += data;
    page += "</script>\n<script>\n";
    page += player::script;
    page += "</script>\n</body>\n</html>\n";
    return page;
}

} // namespace Korva
