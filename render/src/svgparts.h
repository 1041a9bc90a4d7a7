#ifndef ANIMATIONMODEL_RENDER_SVGPARTS_H
#define ANIMATIONMODEL_RENDER_SVGPARTS_H

// Small pieces shared by the parts of the picture: its measures, its
// colours, its numbers, and text shortened to fit. The picture has no font
// metrics, so text widths are estimates on the wide side for the usual
// sans-serif faces (DejaVu Sans, Liberation Sans, Arial).

#include <animationmodel/animationkeycommand.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace Korva::svg {

/// Left of the plot: the layer names and value ranges.
constexpr double labelWidth = 170.0;
constexpr double rightMargin = 24.0;
/// Below the title and the summary: the legend, one line per legendLine.
constexpr double legendTop = 50.0;
constexpr double legendLine = 18.0;
constexpr double bandLabelHeight = 18.0;
constexpr double rowHeight = 30.0;
constexpr double axisHeight = 44.0;
/// Keys narrower than this many pixels are merged.
constexpr double narrowKey = 3.0;

/// The colour of an effect (Okabe and Ito's palette, which stays distinct
/// for colour-blind readers); grey for an effect without a name.
const char* effectColour(AnimationKeyCommandEffect effect) noexcept;
/// The colour of merged keys of several effects.
constexpr const char* mixedColour = "#444444";

/// `value` with one decimal, without a trailing ".0".
std::string number(double value);

/// "1 WHAT" or "N WHATs".
std::string counted(std::uint64_t count, const char* what);

/// About how many pixels `text` (UTF-8) takes at `fontSize`, bold or not.
double textWidth(std::string_view text, double fontSize, bool bold = false) noexcept;

/// `text` cut at a character boundary and ended with "…" so that it takes at
/// most `room` pixels; `text` itself when it fits.
std::string fitted(std::string_view text, double room, double fontSize, bool bold = false);

/// An SVG text element with `attributes` showing `text` fitted to `room`
/// pixels, the whole text in its tooltip when it had to be shortened.
std::string fittedText(const std::string& attributes, const std::string& text, double room, double fontSize,
                       bool bold = false);

} // namespace Korva::svg

#endif
