#ifndef ANIMATIONMODEL_RENDER_SVGHEADER_H
#define ANIMATIONMODEL_RENDER_SVGHEADER_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Korva::svg {

/// What a picture holds, for its legend: the effects of its keys, and
/// whether keys of several effects merge into one mark.
struct LegendEntries {
    bool linear = false;
    bool held1 = false;
    bool held2 = false;
    bool held3 = false;
    bool other = false;
    bool mixed = false;
};

/// Above the plot: the title, a summary on one line or two, and the legend,
/// which wraps to the width of the picture.
struct Header {
    /// One entry of the legend, placed.
    struct Item {
        double x;
        double y;
        const char* colour;
        std::string text;
    };
    /// "KIND, N layers, F frames = S s at R fps", on two lines when narrow;
    /// without seconds nor rate for a timeline (`fps` empty).
    std::vector<std::string> summary;
    std::vector<Item> legend;
    /// Where the plot starts.
    double height = 0;
};

/// The header of a picture `width` pixels wide; its legend lists only `shown`.
Header headerOf(const std::string& kind, std::size_t layers, std::uint64_t frames, std::optional<float> fps,
                unsigned int width, const LegendEntries& shown);

/// Appends the header, under `title`, to `out`.
void writeHeader(std::string& out, const Header& header, const std::string& title, unsigned int width);

} // namespace Korva::svg

#endif
