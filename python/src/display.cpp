// Pictures and player pages of animations and timelines, also as the rich
// display of notebooks (_repr_svg_, _repr_html_).
#include "bindings.h"
#include "copies.h"

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

// A notebook keeps every displayed object: it shows the picture, up to this
// size (a line of summary past it); the player, ten times larger, only when
// asked for with player(), up to the second size (then the picture, then a summary).
constexpr std::size_t pictureLimit = 20000;
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
    return "<iframe title=\"player of " + xmlEscaped(title)
        + "\" sandbox=\"allow-scripts\" style=\"width:100%;height:" + std::to_string(frameHeight(document, layers))
        + "px;border:0\" srcdoc=\"" + xmlEscaped(page) + "\"></iframe>\n" + frameSizer;
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
    if (svg.size() <= pictureLimit) {
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

// What a notebook shows of a player, on request.
struct NotebookPlayer {
    std::string title;
    std::string html;
};

// The title given, or the value's own when None.
template <class T, class Title>
std::string titleOf(const T& value, const py::object& given, const Title& title)
{
    return given.is_none() ? title(value) : utf8Of(given);
}

template <class Base, class T, class... Options, class Title>
void bindDisplayOf(py::class_<T, Options...>& cls, Title title)
{
    cls.def(
           "to_svg",
           [title](const T& value, unsigned int width, const py::object& name) {
               return renderSvg(AnimationDocument(static_cast<const Base&>(value)), titleOf(value, name, title),
                                checkedWidth(width));
           },
           py::arg("width") = defaultWidth, py::arg("title") = py::none(),
           "The picture of the tool's render, as SVG text (width from 300 to 100000 pixels; title None for what "
           "it shows).")
        .def(
            "to_html",
            [title](const T& value, unsigned int width, const py::object& name) {
                return playerPage(AnimationDocument(static_cast<const Base&>(value)), titleOf(value, name, title),
                                  checkedWidth(width));
            },
            py::arg("width") = defaultWidth, py::arg("title") = py::none(),
            "The self-contained player page of the tool's play, as HTML text.")
        .def(
            "_repr_svg_", [title](const T& value) { return richSvg(static_cast<const Base&>(value), title(value)); },
            "The picture, for notebooks; past 20,000 bytes, a line of summary.")
        .def(
            "player",
            [title](const T& value) {
                return NotebookPlayer{title(value), richHtml(static_cast<const Base&>(value), title(value))};
            },
            "The player, for a notebook to show (in a sandboxed frame); past 500,000 bytes the picture, then a "
            "line of summary.");
}

} // namespace

void bindDisplay(py::module_& m)
{
    py::class_<NotebookPlayer> player(m, "NotebookPlayer",
                                      "The player of an animation or a timeline, as a notebook shows it.");
    player
        .def(
            "_repr_html_", [](const NotebookPlayer& p) { return p.html; }, "The player in a sandboxed frame.")
        .def("__repr__", [](const NotebookPlayer& p) {
            return "<NotebookPlayer of " + p.title + " (" + std::to_string(p.html.size()) + " bytes of HTML)>";
        });
    refusePickle(player, "make it again with player()");
    py::class_<Animation> animation = classOf<Animation>(m, "Animation");
    bindDisplayOf<Animation>(animation, [](const Animation&) { return std::string("animation"); });
    py::class_<LayerMap> timeline = classOf<LayerMap>(m, "LayerMap");
    bindDisplayOf<LayerMap>(timeline, [](const LayerMap&) { return std::string("timeline"); });
    auto phase = py::reinterpret_borrow<py::class_<PhaseCopy, LayerMap>>(m.attr("_PhaseCopy"));
    bindDisplayOf<LayerMap>(
        phase, [](const PhaseCopy& p) { return std::string(animationPhaseName(p.phase)) + " of an animation"; });
}

} // namespace Korva::python
