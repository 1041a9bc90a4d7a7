#ifndef ANIMATIONMODEL_ANIMATIONSVG_H
#define ANIMATIONMODEL_ANIMATIONSVG_H

// The picture of an animation or a timeline, as SVG.

#include <cstdint>
#include <string>
#include <string_view>

#include <animationmodel/animationdocument.h>
#include <animationmodel/animationmodel_render_export.h>

namespace Korva {

/// Where the frames of a picture of `renderSvg` lie: frame f is drawn at
/// x = plotLeft + f * (plotRight - plotLeft) / frames, and the layers' rows
/// span [top, bottom].
struct SvgPlot {
    /// The x of frame 0.
    double plotLeft = 0;
    /// The x of the end of the last frame.
    double plotRight = 0;
    /// The top of the phase bands.
    double top = 0;
    /// The bottom of the layers' rows.
    double bottom = 0;
    /// The frames the axis spans (at least 1).
    std::uint64_t frames = 1;
};

/// An SVG picture of `document` about `width` pixels wide: time runs left to
/// right on a frame axis (also labelled in seconds at the animation's rate),
/// the phases are shaded bands, every layer a row of keys coloured by effect.
/// Keys narrower than a few pixels are merged into one mark per pixel column,
/// so the size grows with the layers and the width, not with the number of keys.
ANIMATIONMODEL_RENDER_EXPORT std::string renderSvg(const AnimationDocument& document, const std::string& title,
                                                   unsigned int width);

/// The same picture with coarser marks: keys narrower than a few pixels are
/// merged into one mark per `mergeWidth` pixel columns (1 gives `renderSvg`
/// above), so a picture of many short keys holds fewer elements.
ANIMATIONMODEL_RENDER_EXPORT std::string renderSvg(const AnimationDocument& document, const std::string& title,
                                                   unsigned int width, unsigned int mergeWidth);

/// `text` as XML (and HTML) character data or attribute value: &, <, >, "
/// and ' escaped, control characters other than tab and line feed and the
/// noncharacters U+FFFE and U+FFFF (which XML 1.0 forbids) shown as '?',
/// bytes that are not UTF-8 as U+FFFD.
ANIMATIONMODEL_RENDER_EXPORT std::string xmlEscaped(std::string_view text);

/// The geometry of the picture that `renderSvg(document, title, width)` draws.
ANIMATIONMODEL_RENDER_EXPORT SvgPlot svgPlot(const AnimationDocument& document, unsigned int width);

/// The geometry of the picture that `renderSvg(document, title, width,
/// mergeWidth)` draws (its legend, and so its height above the plot, lists
/// only the marks it holds, which depend on `mergeWidth`).
ANIMATIONMODEL_RENDER_EXPORT SvgPlot svgPlot(const AnimationDocument& document, unsigned int width,
                                             unsigned int mergeWidth);

} // namespace Korva

#endif
