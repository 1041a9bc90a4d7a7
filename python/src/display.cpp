// Pictures and player pages of animations and timelines, also as the rich
// display of notebooks (_repr_svg_, _repr_html_).
#include "bindings.h"

#include <animationmodel/animationplayer.h>
#include <animationmodel/animationsvg.h>

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

// The player in an isolated frame, for a notebook: its script runs in the
// frame, sandboxed, and its policy keeps it off the network.
std::string playerFrame(const AnimationDocument& document, const std::string& title)
{
    const SvgPlot plot = svgPlot(document, defaultWidth);
    const auto height = static_cast<unsigned int>(plot.bottom) + 420;
    return "<iframe title=\"" + xmlEscaped(title) + " player\" sandbox=\"allow-scripts\" style=\"width:100%;height:"
        + std::to_string(height) + "px;border:0\" srcdoc=\"" + xmlEscaped(playerPage(document, title)) + "\"></iframe>";
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
            "_repr_svg_", [title](const T& value) { return renderSvg(AnimationDocument(value), title, defaultWidth); },
            "The picture, for notebooks.")
        .def(
            "_repr_html_", [title](const T& value) { return playerFrame(AnimationDocument(value), title); },
            "The player in a sandboxed frame, for notebooks.");
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
