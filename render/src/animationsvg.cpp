#include <animationmodel/animationsvg.h>

#include <animationmodel/files/utf8.h>
#include <animationmodel/files/valuetext.h>

#include "svgheader.h"
#include "svgparts.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace Korva {

namespace {

using namespace svg;

// One layer's keys placed on the whole document's frame axis.
struct PlacedKey {
    const AnimationKey* key;
    std::uint64_t start;
    std::size_t index;
    std::string_view phase;
};

// A layer's row; the value range is that of its Linear commands: `low` and
// `high` span the finite values (the scale of the value lines), the flags
// say which other values occur.
struct Row {
    std::string name;
    std::vector<PlacedKey> keys;
    bool hasValues = false;
    std::optional<float> low;
    std::optional<float> high;
    bool nan = false;
    bool negativeInfinity = false;
    bool positiveInfinity = false;
};

struct Band {
    std::string_view name;
    std::uint64_t start;
    std::uint64_t length;
};

// Widens the value range of `row` to the values of a Linear command.
void widenRange(Row& row, const AnimationKeyCommand& command)
{
    if (command.effect() != Linear) {
        return;
    }
    row.hasValues = true;
    for (const float value : command.args()) {
        if (std::isnan(value)) {
            row.nan = true;
        } else if (std::isinf(value)) {
            (value > 0 ? row.positiveInfinity : row.negativeInfinity) = true;
        } else {
            row.low = row.low ? std::min(*row.low, value) : value;
            row.high = row.high ? std::max(*row.high, value) : value;
        }
    }
}

// "LOW to HIGH" of a row's values, infinities as ∞, and ", NaN" when one occurs.
std::string rangeText(const Row& row)
{
    std::string text;
    if (row.low || row.negativeInfinity || row.positiveInfinity) {
        const std::string low = row.negativeInfinity ? "−∞" : row.low ? floatText(*row.low) : "∞";
        const std::string high = row.positiveInfinity ? "∞" : row.high ? floatText(*row.high) : "−∞";
        text = low + " to " + high;
    }
    if (row.nan) {
        text += text.empty() ? "NaN" : ", NaN";
    }
    return text;
}

void place(std::map<std::string, Row>& rows, const LayerMap& phase, std::uint64_t start, std::string_view phaseName)
{
    for (const auto& [name, keys] : phase) {
        Row& row = rows[name];
        row.name = name;
        std::uint64_t at = start;
        for (std::size_t i = 0; i < keys.size(); ++i) {
            row.keys.push_back({&keys[i], at, i, phaseName});
            at += keys[i].duration();
            widenRange(row, keys[i].command());
        }
    }
}

// A "nice" step (1, 2 or 5 times a power of ten) giving at most `most` ticks over `span`.
std::uint64_t tickStep(std::uint64_t span, double most)
{
    const double raw = static_cast<double>(span) / most;
    double step = 1.0;
    while (step < raw) {
        for (const double factor : {2.0, 2.5, 2.0}) {
            step *= factor;
            if (step >= raw) {
                break;
            }
        }
    }
    return static_cast<std::uint64_t>(step);
}

class SvgWriter {
public:
    // `fps` is empty for a timeline, which has no rate and so no seconds.
    SvgWriter(std::uint64_t frames, unsigned int width, std::optional<float> fps, unsigned int mergeWidth)
        : _frames(std::max<std::uint64_t>(frames, 1)), _width(width), _fps(fps), _mergeWidth(mergeWidth),
          _scale((width - labelWidth - rightMargin) / static_cast<double>(_frames))
    { }

    double x(std::uint64_t frame) const { return labelWidth + static_cast<double>(frame) * _scale; }

    std::string& out() { return _out; }

    void row(const Row& row, double top)
    {
        // The label column holds the name and the range, shortened to fit it.
        constexpr double room = labelWidth - 14;
        _out += "<g class=\"layer\">\n"
            + fittedText("x=\"8\" y=\"" + number(top + 13) + "\" class=\"name\"", row.name, room, 12, true);
        if (row.hasValues) {
            _out += fittedText("x=\"8\" y=\"" + number(top + 25) + "\" class=\"range\"", rangeText(row), room, 10);
        }
        marks(
            row, [&](const PlacedKey& placed, double left, double right) { box(row, placed, left, right, top); },
            [&](const Group& group) { flush(group, row, top); });
        _out += "</g>\n";
    }

    // Notes in `seen` what the marks of `row` show: the effects, and merged
    // keys of several effects.
    void note(const Row& row, LegendEntries& seen) const
    {
        const auto effect = [&](AnimationKeyCommandEffect shown) {
            (shown == Linear      ? seen.linear
                 : shown == Held1 ? seen.held1
                 : shown == Held2 ? seen.held2
                 : shown == Held3 ? seen.held3
                                  : seen.other) = true;
        };
        marks(
            row, [&](const PlacedKey& placed, double, double) { effect(placed.key->command().effect()); },
            [&](const Group& group) { group.mixed ? void(seen.mixed = true) : effect(group.effect); });
    }

    // Ticks at "nice" steps, and always at both ends; a step too close to
    // the end gives way to it.
    void axis(double top)
    {
        const double plotWidth = static_cast<double>(_width) - labelWidth - rightMargin;
        const std::uint64_t step = tickStep(_frames, std::max(1.0, plotWidth / 90.0));
        const double endGap = textWidth(std::to_string(_frames), 12) + 12;
        _out += "<g class=\"axis\">\n<line x1=\"" + number(x(0)) + "\" y1=\"" + number(top) + "\" x2=\""
            + number(x(_frames)) + "\" y2=\"" + number(top) + "\"/>\n";
        tick(0, top, "middle");
        for (std::uint64_t frame = step; frame < _frames && x(_frames) - x(frame) >= endGap; frame += step) {
            tick(frame, top, "middle");
        }
        // The end's label stays inside the picture.
        const double half = textWidth(std::to_string(_frames), 12) / 2;
        tick(_frames, top, x(_frames) + half > static_cast<double>(_width) - 2 ? "end" : "middle");
        _out += "<text x=\"8\" y=\"" + number(top + 17) + "\">frame</text>\n";
        if (_fps) {
            _out += "<text x=\"8\" y=\"" + number(top + 31) + "\" class=\"seconds\">seconds at " + floatText(*_fps)
                + " fps</text>\n";
        }
        _out += "</g>\n";
    }

private:
    struct Group {
        std::int64_t column = 0;
        std::size_t count = 0;
        PlacedKey first{};
        PlacedKey last{};
        AnimationKeyCommandEffect effect = Linear;
        bool mixed = false;
    };

    // Calls `box` for each key of `row` wide enough to be drawn alone, with
    // its left and right edges, and `merged` for each group of narrower keys
    // that share a column of `_mergeWidth` pixels, in frame order.
    template <class Box, class Merged>
    void marks(const Row& row, Box&& box, Merged&& merged) const
    {
        Group group;
        const auto flushGroup = [&] {
            if (group.count != 0) {
                merged(group);
                group.count = 0;
            }
        };
        for (const PlacedKey& placed : row.keys) {
            const double left = x(placed.start);
            const double right = x(placed.start + placed.key->duration());
            if (right - left >= narrowKey) {
                flushGroup();
                box(placed, left, right);
                continue;
            }
            const auto column = static_cast<std::int64_t>(std::floor(left / _mergeWidth));
            if (group.count != 0 && column != group.column) {
                flushGroup();
            }
            if (group.count == 0) {
                group.column = column;
                group.first = placed;
                group.effect = placed.key->command().effect();
                group.mixed = false;
            }
            group.mixed = group.mixed || placed.key->command().effect() != group.effect;
            group.last = placed;
            ++group.count;
        }
        flushGroup();
    }

    void tick(std::uint64_t frame, double top, const char* anchor)
    {
        const double at = x(frame);
        _out += "<line x1=\"" + number(at) + "\" y1=\"" + number(top) + "\" x2=\"" + number(at) + "\" y2=\""
            + number(top + 5) + "\"/>\n<text x=\"" + number(at) + "\" y=\"" + number(top + 17) + "\" text-anchor=\""
            + anchor + "\">" + std::to_string(frame) + "</text>\n";
        if (_fps) {
            _out += "<text x=\"" + number(at) + "\" y=\"" + number(top + 31) + "\" text-anchor=\"" + anchor
                + "\" class=\"seconds\">" + floatText(static_cast<float>(static_cast<double>(frame) / *_fps))
                + " s</text>\n";
        }
    }

    // The height of `value` in a row: finite values on the row's finite
    // range, infinities at its top and bottom edges, NaN in the middle.
    double valueY(const Row& row, float value, double top) const
    {
        double share = 0.5;
        if (std::isinf(value)) {
            share = value > 0 ? 1.0 : 0.0;
        } else if (!std::isnan(value) && row.low && *row.high > *row.low) {
            share = (static_cast<double>(value) - *row.low) / (static_cast<double>(*row.high) - *row.low);
        }
        return top + rowHeight - 6 - share * (rowHeight - 12);
    }

    // The value line of a Linear key (or of merged ones) from `from` to `to`;
    // dashed when an end is not finite, so that it reads as off the scale.
    void valueLine(const Row& row, double left, float from, double right, float to, double top)
    {
        const bool offScale = !std::isfinite(from) || !std::isfinite(to);
        _out += "<line x1=\"" + number(left) + "\" y1=\"" + number(valueY(row, from, top)) + "\" x2=\"" + number(right)
            + "\" y2=\"" + number(valueY(row, to, top)) + "\" class=\"" + (offScale ? "value offscale" : "value")
            + "\"/>\n";
    }

    void box(const Row& row, const PlacedKey& placed, double left, double right, double top)
    {
        const AnimationKeyCommand& command = placed.key->command();
        _out += "<rect x=\"" + number(left) + "\" y=\"" + number(top + 3) + "\" width=\"" + number(right - left)
            + "\" height=\"" + number(rowHeight - 6) + "\" fill=\"" + effectColour(command.effect())
            + "\" class=\"key\"><title>" + xmlEscaped(row.name) + ", " + std::string(placed.phase) + " key "
            + std::to_string(placed.index) + ": " + effectText(command.effect());
        if (!command.args().empty()) {
            _out += " [";
            const char* separator = "";
            for (const float arg : command.args()) {
                _out += separator + floatText(arg);
                separator = ", ";
            }
            _out += "]";
        }
        _out += ", frames " + std::to_string(placed.start) + " to "
            + std::to_string(placed.start + placed.key->duration()) + " (" + std::to_string(placed.key->duration())
            + ")</title></rect>\n";
        if (command.effect() == Linear) {
            valueLine(row, left, command.args()[0], right, command.args()[1], top);
        }
    }

    void flush(const Group& group, const Row& row, double top)
    {
        const std::uint64_t end = group.last.start + group.last.key->duration();
        const double left = x(group.first.start);
        const double right = std::max(x(end), left + 1.0);
        _out += "<rect x=\"" + number(left) + "\" y=\"" + number(top + 3) + "\" width=\"" + number(right - left)
            + "\" height=\"" + number(rowHeight - 6) + "\" fill=\""
            + (group.mixed ? mixedColour : effectColour(group.effect)) + "\" class=\"merged\"><title>"
            + xmlEscaped(row.name) + ", " + counted(group.count, "key") + " (" + std::string(group.first.phase)
            + " key " + std::to_string(group.first.index) + " on), frames " + std::to_string(group.first.start) + " to "
            + std::to_string(end) + "</title></rect>\n";
        const AnimationKeyCommand& first = group.first.key->command();
        const AnimationKeyCommand& last = group.last.key->command();
        if (!group.mixed && group.effect == Linear) {
            valueLine(row, left, first.args()[0], right, last.args()[1], top);
        }
    }

    std::uint64_t _frames;
    unsigned int _width;
    std::optional<float> _fps;
    double _mergeWidth;
    double _scale;
    std::string _out;
};

// The rows and phase bands of a document, and its rate (none for a timeline).
struct Layout {
    std::map<std::string, Row> rows;
    std::vector<Band> bands;
    std::optional<float> fps;
    std::string kind;

    std::uint64_t frames() const { return bands.back().start + bands.back().length; }
};

Layout layoutOf(const AnimationDocument& document)
{
    Layout layout;
    if (const auto* animation = std::get_if<Animation>(&document)) {
        layout.fps = animation->fps();
        std::uint64_t start = 0;
        for (const AnimationPhase phase : animationPhases) {
            const std::uint64_t length = animation->phaseFrameCount(phase);
            place(layout.rows, animation->phase(phase), start, animationPhaseName(phase));
            layout.bands.push_back({animationPhaseName(phase), start, length});
            start += length;
        }
        layout.kind = "animation";
    } else {
        const LayerMap& timeline = std::get<LayerMap>(document);
        place(layout.rows, timeline, 0, "timeline");
        layout.bands.push_back({"timeline", 0, frameCountOf(timeline)});
        layout.kind = "timeline";
    }
    return layout;
}

// The phase bands, each named when its name fits inside it, so that names
// never overlap.
void writeBands(std::string& out, const SvgWriter& svg, const std::vector<Band>& bands, double top, double bottom)
{
    for (std::size_t i = 0; i < bands.size(); ++i) {
        const Band& band = bands[i];
        const double left = svg.x(band.start);
        const double right = svg.x(band.start + band.length);
        out += "<rect x=\"" + number(left) + "\" y=\"" + number(top) + "\" width=\"" + number(right - left)
            + "\" height=\"" + number(bottom - top) + "\" class=\"" + (i % 2 == 0 ? "band" : "band2") + "\"><title>"
            + std::string(band.name) + ": frames " + std::to_string(band.start) + " to "
            + std::to_string(band.start + band.length) + "</title></rect>\n";
        if (textWidth(band.name, 12) + 4 <= right - left) {
            out += "<text x=\"" + number((left + right) / 2) + "\" y=\"" + number(top + 13)
                + "\" text-anchor=\"middle\">" + std::string(band.name) + "</text>\n";
        }
    }
}

} // namespace

std::string xmlEscaped(std::string_view raw)
{
    const std::string text = utf8Repaired(raw);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        case '\xEF':
            // U+FFFE and U+FFFF (EF BF BE, EF BF BF) cannot appear in XML 1.0 either.
            if (text.compare(i + 1, 1, "\xBF") == 0 && i + 2 < text.size()
                && (text[i + 2] == '\xBE' || text[i + 2] == '\xBF')) {
                out += '?';
                i += 2;
                break;
            }
            out += c;
            break;
        default:
            // Control characters cannot appear in XML 1.0; show them as '?'.
            out += static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' ? '?' : c;
        }
    }
    return out;
}

namespace {

// What the picture of `layout` holds, drawn by `svg`.
LegendEntries legendOf(const Layout& layout, const SvgWriter& svg)
{
    LegendEntries seen;
    for (const auto& entry : layout.rows) {
        svg.note(entry.second, seen);
    }
    return seen;
}

} // namespace

SvgPlot svgPlot(const AnimationDocument& document, unsigned int width)
{
    return svgPlot(document, width, 1);
}

SvgPlot svgPlot(const AnimationDocument& document, unsigned int width, unsigned int mergeWidth)
{
    const Layout layout = layoutOf(document);
    const SvgWriter svg(layout.frames(), width, layout.fps, std::max(mergeWidth, 1u));
    SvgPlot plot;
    plot.frames = std::max<std::uint64_t>(layout.frames(), 1);
    plot.plotLeft = labelWidth;
    plot.plotRight = static_cast<double>(width) - rightMargin;
    plot.top =
        headerOf(layout.kind, layout.rows.size(), layout.frames(), layout.fps, width, legendOf(layout, svg)).height;
    plot.bottom = plot.top + bandLabelHeight + static_cast<double>(layout.rows.size()) * rowHeight;
    return plot;
}

std::string renderSvg(const AnimationDocument& document, const std::string& title, unsigned int width)
{
    return renderSvg(document, title, width, 1);
}

std::string renderSvg(const AnimationDocument& document, const std::string& title, unsigned int width,
                      unsigned int mergeWidth)
{
    const Layout layout = layoutOf(document);
    SvgWriter svg(layout.frames(), width, layout.fps, std::max(mergeWidth, 1u));
    const Header header =
        headerOf(layout.kind, layout.rows.size(), layout.frames(), layout.fps, width, legendOf(layout, svg));
    const double bandTop = header.height;
    const double plotTop = bandTop + bandLabelHeight;
    const double bandBottom = plotTop + static_cast<double>(layout.rows.size()) * rowHeight;
    const double height = bandBottom + axisHeight + 8;
    std::string& out = svg.out();
    out.reserve(4096 + layout.rows.size() * static_cast<std::size_t>(width) * 8);
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) + "\" height=\""
        + number(height) + "\" viewBox=\"0 0 " + std::to_string(width) + " " + number(height)
        + "\" font-family=\"sans-serif\" font-size=\"12\">\n"
          "<style>.name{font-weight:bold}.range,.seconds{fill:#555;font-size:10px}"
          ".value{stroke:#fff;stroke-width:1.5}.offscale{stroke-dasharray:3 2}.axis line{stroke:#333}"
          ".band{fill:#eee}.band2{fill:#f8f8f8}.key{stroke:#fff;stroke-width:0.5}"
          ".boundary{stroke:#888;stroke-dasharray:3 3}</style>\n"
          "<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n";
    writeHeader(out, header, title, width);
    writeBands(out, svg, layout.bands, bandTop, bandBottom);
    double top = plotTop;
    for (const auto& entry : layout.rows) {
        svg.row(entry.second, top);
        top += rowHeight;
    }
    for (std::size_t i = 1; i < layout.bands.size(); ++i) {
        const double at = svg.x(layout.bands[i].start);
        out += "<line x1=\"" + number(at) + "\" y1=\"" + number(bandTop) + "\" x2=\"" + number(at) + "\" y2=\""
            + number(bandBottom) + "\" class=\"boundary\"/>\n";
    }
    svg.axis(bandBottom + 4);
    out += "</svg>\n";
    return std::move(out);
}

} // namespace Korva
