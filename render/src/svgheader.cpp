#include "svgheader.h"

#include "svgparts.h"

#include <animationmodel/files/valuetext.h>

#include <iterator>
#include <utility>
#include <vector>

namespace Korva::svg {

Header headerOf(const std::string& kind, std::size_t layers, std::uint64_t frames, std::optional<float> fps,
                unsigned int width, const LegendEntries& shown)
{
    Header header;
    const double room = static_cast<double>(width) - 16;
    const std::string what = kind + ", " + counted(layers, "layer") + ", " + counted(frames, "frame");
    header.summary.push_back(what);
    if (fps) {
        const std::string rate = "= " + floatText(static_cast<float>(static_cast<double>(frames) / *fps)) + " s at "
            + floatText(*fps) + " fps";
        if (textWidth(what + " " + rate, 12) <= room) {
            header.summary.back() += " " + rate;
        } else {
            header.summary.push_back(rate);
        }
    }
    double y = legendTop + 16.0 * static_cast<double>(header.summary.size() - 1);
    double x = 8;
    const std::pair<const char*, std::string> entries[] = {
        {effectColour(Linear), "Linear (line: value)"},
        {effectColour(Held1), "Held1"},
        {effectColour(Held2), "Held2"},
        {effectColour(Held3), "Held3"},
        {effectColour(static_cast<AnimationKeyCommandEffect>(-1)), "other effect"},
        {mixedColour, "merged keys of several effects"}};
    const bool holds[] = {shown.linear, shown.held1, shown.held2, shown.held3, shown.other, shown.mixed};
    std::vector<std::pair<const char*, std::string>> items;
    for (std::size_t i = 0; i < std::size(entries); ++i) {
        if (holds[i]) {
            items.push_back(entries[i]);
        }
    }
    for (const auto& [colour, text] : items) {
        const double itemWidth = 18 + textWidth(text, 12);
        if (x > 8 && x + itemWidth > room + 8) {
            x = 8;
            y += legendLine;
        }
        header.legend.push_back({x, y, colour, text});
        x += itemWidth + 14;
    }
    header.height = y + 24;
    return header;
}

void writeHeader(std::string& out, const Header& header, const std::string& title, unsigned int width)
{
    out += fittedText("x=\"8\" y=\"20\" font-size=\"15\" class=\"name\"", title, static_cast<double>(width) - 16, 15,
                      true);
    for (std::size_t i = 0; i < header.summary.size(); ++i) {
        out +=
            "<text x=\"8\" y=\"" + number(38 + 16.0 * static_cast<double>(i)) + "\">" + header.summary[i] + "</text>\n";
    }
    for (const Header::Item& item : header.legend) {
        out += "<rect x=\"" + number(item.x) + "\" y=\"" + number(item.y) + "\" width=\"14\" height=\"12\" fill=\""
            + item.colour + "\"/><text x=\"" + number(item.x + 18) + "\" y=\"" + number(item.y + 10) + "\">" + item.text
            + "</text>\n";
    }
}

} // namespace Korva::svg
