#include <animationmodel/animationplayer.h>

#include "playerassets.h"

#include <animationmodel/animationjson.h>
#include <animationmodel/clipbuilder.h>
#include <animationmodel/clipfile.h>
#include <animationmodel/files/utf8.h>
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

// `bytes` in base64 (RFC 4648, with padding), which a script element holds as it is.
void appendBase64(std::string& out, std::string_view bytes)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    out.reserve(out.size() + (bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t count = std::min<std::size_t>(bytes.size() - i, 3);
        std::uint32_t group = 0;
        for (std::size_t j = 0; j < 3; ++j) {
            group = group << 8 | (j < count ? static_cast<unsigned char>(bytes[i + j]) : 0u);
        }
        for (std::size_t j = 0; j < 4; ++j) {
            out += j <= count ? digits[(group >> (18 - 6 * j)) & 63] : '=';
        }
    }
}

void appendNumber(std::string& out, double value)
{
    char digits[32];
    const std::to_chars_result written = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, written.ptr);
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

// The picture's opening tag with the geometry of its plot, which the
// player's playhead and scrubbing read.
std::string pictureTag(const AnimationDocument& pictured, unsigned int width)
{
    const SvgPlot plot = svgPlot(pictured, width, pageMergeWidth);
    std::string out = "<svg role=\"img\" aria-label=\"Keys of every layer over time\" data-plot-left=\"";
    appendNumber(out, plot.plotLeft);
    out += "\" data-plot-right=\"";
    appendNumber(out, plot.plotRight);
    out += "\" data-plot-top=\"";
    appendNumber(out, plot.top);
    out += "\" data-plot-bottom=\"";
    appendNumber(out, plot.bottom);
    out += "\" data-plot-frames=\"" + std::to_string(plot.frames) + '"';
    return out;
}

} // namespace

std::string playerPage(const AnimationDocument& document, const std::string& title, unsigned int width)
{
    const PicturedLayers layers = picturedLayers(document);
    const AnimationDocument& pictured = layers.document ? *layers.document : document;
    // A title from a file name need not be UTF-8: shown as the picture shows it.
    const std::string shownTitle = xmlEscaped(utf8Repaired(title));
    const std::string svg = renderSvg(pictured, title, width, pageMergeWidth);
    // The document as the format's binary clip file: a third of its JSON text, and read without parsing.
    const std::string clip = clipFileBytes(compileClip(document).arrays());
    std::string page;
    page.reserve(clip.size() / 3 * 4 + svg.size() + std::string_view(player::script).size() + 32768);
    page += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; script-src 'unsafe-inline' "
            "'wasm-unsafe-eval'; connect-src data:; style-src 'unsafe-inline'; img-src data:; base-uri 'none'; "
            "form-action 'none'\">\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
            "<meta name=\"color-scheme\" content=\"light dark\">\n<title>";
    page += shownTitle + " \xE2\x80\x94 animationmodel player</title>\n<style>\n";
    page += player::style;
    // The picture shows the title; the heading is for assistive technology.
    page += "</style>\n</head>\n<body>\n<main>\n<h1 class=\"visually-hidden\">" + shownTitle + "</h1>\n";
    if (layers.document) {
        page += "<p id=\"picture-note\">The picture shows " + std::to_string(layers.shown) + " of the "
            + std::to_string(layers.total)
            + " layers: the first by name, and the longest of each phase. The table lists every layer.</p>\n";
    }
    // The picture is one image to assistive technology: the player's
    // readout gives its content as text.
    page += "<animation-player id=\"player\">\n<div slot=\"picture\" id=\"picture\" tabindex=\"0\" role=\"region\" "
            "aria-label=\"Picture of the keys\">\n";
    page += pictureTag(pictured, width);
    page.append(svg, std::string_view("<svg").size());
    page += "</div>\n</animation-player>\n</main>\n<script type=\"application/octet-stream\" "
            "id=\"animation-clip\">";
    appendBase64(page, clip);
    page += "</script>\n<script type=\"module\">\n";
    page += player::script;
    page += "</script>\n</body>\n</html>\n";
    return page;
}

} // namespace Korva
