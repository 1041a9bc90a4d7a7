// Pictures and player pages of animations and timelines, also as the rich
// display of notebooks (_repr_svg_, _repr_html_).
#include "bindings.h"

#include <animationmodel/animationplayer.h>
#include <animationmodel/animationsvg.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string_view>

namespace Korva::python {

namespace {

constexpr unsigned int defaultWidth = 1200;
constexpr unsigned int narrowest = 300;
constexpr unsigned int widest = 100000;

unsigned int checkedWidth(unsigned int width)
{
    if (width < narrowest || width > widest) {
        throw py::value_error("width must be from 300 to 100000 pixels, not " + std::to_string(width));
    }
    return width;
}

// Past this size, a notebook's rich output gives way to a smaller one: the
// picture instead of the player, then a summary instead of the picture.
constexpr std::size_t richOutputLimit = 500000;
// The player's frame carries the library itself (its WebAssembly module and
// script, about 420 KB escaped) on top of what it shows.
constexpr std::size_t playerFrameLimit = richOutputLimit + 500000;

// The height the frame starts with: the picture at the default width, the
// controls and a readout row per layer, at most that of a screen. The page
// then reports its own height, and the frame follows it (script allowing).
unsigned int frameHeight(const AnimationDocument& document, std::size_t layers)
{
    const SvgPlot plot = svgPlot(document, defaultWidth);
    const double height = plot.bottom + 160 + 26 * static_cast<double>(layers);
    return static_cast<unsigned int>(std::min(height, 900.0));
}

// Sizes every player frame to the height its page reports, at most the
// window's: the notebook runs it once per output, it listens once.
const char* const frameSizer =
    "<script>(function () { if (window.animationmodelFrameSizer) { return; } window.animationmodelFrameSizer = true; "
    "addEventListener(\"message\", function (event) { var height = event.data && "
    "event.data.animationmodelFrameHeight; if (typeof height !== \"number\") { return; } "
    "document.querySelectorAll(\"iframe\").forEach(function (frame) { if (frame.contentWindow === event.source) { "
    "frame.style.height = Math.min(Math.ceil(height), Math.max(300, window.innerHeight)) + \"px\"; } }); }); "
    "})();</script>";

// The player in an isolated frame, for a notebook: its script runs in the
// frame, sandboxed, and its policy keeps it off the network. A line of
// script in the page reports its height (the root's box: its scrollHeight is
// never less than the frame's) to the notebook, whose own line sizes the
// frame to it (at most the notebook's window's height).
std::string playerFrame(const AnimationDocument& document, const std::string& title, std::size_t layers)
{
    std::string page = playerPage(document, title);
    const std::string report =
        "<script>(function () { function post() { parent.postMessage({ animationmodelFrameHeight: "
        "Math.ceil(document.documentElement.getBoundingClientRect().height) }, \"*\"); } addEventListener(\"load\", "
        "post); "
        "new ResizeObserver(post).observe(document.documentElement); })();</script>\n";
    page.insert(page.rfind("</body>"), report);
    return "<iframe title=\"" + xmlEscaped(title) + " player\" sandbox=\"allow-scripts\" style=\"width:100%;height:"
        + std::to_string(frameHeight(document, layers)) + "px;border:0\" srcdoc=\"" + xmlEscaped(page)
        + "\"></iframe>\n" + frameSizer;
}

std::size_t layerCount(const LayerMap& layers)
{
    return layers.size();
}

std::size_t layerCount(const Animation& animation)
{
    std::set<std::string_view> names;
    for (const LayerMap* phase : {&animation.intro(), &animation.body(), &animation.outro()}) {
        for (const auto& layer : *phase) {
            names.insert(layer.first);
        }
    }
    return names.size();
}

std::uint64_t keyCount(const LayerMap& layers)
{
    std::uint64_t count = 0;
    for (const auto& layer : layers) {
        count += layer.second.size();
    }
    return count;
}

std::uint64_t keyCount(const Animation& animation)
{
    return keyCount(animation.intro()) + keyCount(animation.body()) + keyCount(animation.outro());
}

std::uint64_t frameCount(const LayerMap& layers)
{
    return frameCountOf(layers);
}

std::uint64_t frameCount(const Animation& animation)
{
    return animation.frameCount();
}

// One line on a value too large to draw in a notebook.
template <class T>
std::string summary(const T& value, const std::string& title, std::size_t bytes)
{
    return xmlEscaped(title) + ": " + std::to_string(layerCount(value)) + " layers, " + std::to_string(keyCount(value))
        + " keys, " + std::to_string(frameCount(value)) + " frames. Its picture (" + std::to_string(bytes)
        + " bytes) is too large for a notebook: to_svg() and to_html() give it in full.";
}

template <class T>
std::string richSvg(const T& value, const std::string& title)
{
    std::string svg = renderSvg(AnimationDocument(value), title, defaultWidth);
    if (svg.size() <= richOutputLimit) {
        return svg;
    }
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(defaultWidth)
        + "\" height=\"40\" font-family=\"sans-serif\" font-size=\"14\"><text x=\"8\" y=\"24\">"
        + summary(value, title, svg.size()) + "</text></svg>\n";
}

template <class T>
std::string richHtml(const T& value, const std::string& title)
{
    const AnimationDocument document(value);
    std::string frame = playerFrame(document, title, layerCount(value));
    if (frame.size() <= playerFrameLimit) {
        return frame;
    }
    const std::string svg = renderSvg(document, title, defaultWidth);
    if (svg.size() <= richOutputLimit) {
        return "<div><p>The player of " + xmlEscaped(title) + " is too large for a notebook ("
            + std::to_string(frame.size()) + " bytes): to_html() gives it in full. Its picture:</p>\n" + svg + "</div>";
    }
    return "<p>" + summary(value, title, svg.size()) + "</p>";
}

template <class T>
void bindDisplayOf(py::class_<T>& cls, const char* title)
{
    cls.def(
           "to_svg",
           [](const T& value, unsigned int width, const std::string& name) {
               return renderSvg(AnimationDocument(value), name, checkedWidth(width));
           },
           py::arg("width") = defaultWidth, py::arg("title") = title,
           "The picture of the tool's render, as SVG text (width from 300 to 100000 pixels).")
        .def(
            "to_html",
            [](const T& value, unsigned int width, const std::string& name) {
                return playerPage(AnimationDocument(value), name, checkedWidth(width));
            },
            py::arg("width") = defaultWidth, py::arg("title") = title,
            "The self-contained player page of the tool's play, as HTML text.")
        .def(
            "_repr_svg_", [title](const T& value) { return richSvg(value, title); },
            "The picture, for notebooks; past 500,000 bytes, a line of summary.")
        .def(
            "_repr_html_", [title](const T& value) { return richHtml(value, title); },
            "The player in a sandboxed frame, for notebooks; past 500,000 bytes the picture, then a line of summary.");
}

} // namespace

void bindDisplay(py::module_& m)
{
    py::class_<Animation> animation = classOf<Animation>(m, "Animation");
    bindDisplayOf(animation, "animation");
    py::class_<LayerMap> timeline = classOf<LayerMap>(m, "LayerMap");
    bindDisplayOf(timeline, "timeline");
}

} // namespace Korva::python
