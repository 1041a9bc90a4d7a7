#include <animationmodel/animationsvg.h>

#include <animationmodel/animationjson.h>

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

constexpr double labelWidth = 170.0; // left of the plot: layer names and ranges
constexpr double rightMargin = 24.0;
constexpr double headerHeight = 74.0; // title and legend
constexpr double bandLabelHeight = 18.0;
constexpr double rowHeight = 30.0;
constexpr double axisHeight = 44.0;
constexpr double narrowKey = 3.0; // keys narrower than this many pixels are merged

// Okabe and Ito's palette, which stays distinct for colour-blind readers.
const char* effectColour(AnimationKeyCommandEffect effect) noexcept
{
    switch (effect) {
    case Linear: return "#0072B2";
    case Held1: return "#E69F00";
    case Held2: return "#009E73";
    case Held3: return "#CC79A7";
    }
    return "#7F7F7F";
}

constexpr const char* mixedColour = "#444444";

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    std::string out(text);
    if (out.size() > 2 && out.compare(out.size() - 2, 2, ".0") == 0) {
        out.resize(out.size() - 2);
    }
    return out;
}

// One layer's keys placed on the whole document's frame axis.
struct PlacedKey {
    const AnimationKey* key;
    std::uint64_t start;
    std::size_t index;
    std::string_view phase;
};

struct Row {
    std::string name;
    std::vector<PlacedKey> keys;
    std::optional<float> low;
    std::optional<float> high;
};

struct Band {
    std::string_view name;
    std::uint64_t start;
    std::uint64_t length;
};

// Widens the value range of `row` to the finite values of a Linear command.
void widenRange(Row& row, const AnimationKeyCommand& command)
{
    if (command.effect() != Linear) {
        return;
    }
    for (const float value : command.args()) {
        if (std::isfinite(value)) {
            row.low = row.low ? std::min(*row.low, value) : value;
            row.high = row.high ? std::max(*row.high, value) : value;
        }
    }
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
    SvgWriter(std::uint64_t frames, unsigned int width, float fps, unsigned int mergeWidth)
        : _frames(std::max<std::uint64_t>(frames, 1)), _width(width), _fps(fps), _mergeWidth(mergeWidth),
          _scale((width - labelWidth - rightMargin) / static_cast<double>(_frames))
    { }

    double x(std::uint64_t frame) const { return labelWidth + static_cast<double>(frame) * _scale; }

    std::string& out() { return _out; }

    void row(const Row& row, double top)
    {
        _out += "<g class=\"layer\">\n<text x=\"8\" y=\"" + number(top + 13) + "\" class=\"name\">"
            + xmlEscaped(row.name) + "</text>\n";
        if (row.low) {
            _out += "<text x=\"8\" y=\"" + number(top + 25) + "\" class=\"range\">" + floatText(*row.low) + " to "
                + floatText(*row.high) + "</text>\n";
        }
        Group group;
        for (const PlacedKey& placed : row.keys) {
            const double left = x(placed.start);
            const double right = x(placed.start + placed.key->duration());
            if (right - left >= narrowKey) {
                flush(group, row, top);
                box(row, placed, left, right, top);
                continue;
            }
            const auto column = static_cast<std::int64_t>(std::floor(left / _mergeWidth));
            if (group.count != 0 && column != group.column) {
                flush(group, row, top);
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
        flush(group, row, top);
        _out += "</g>\n";
    }

    void axis(double top)
    {
        const std::uint64_t step = tickStep(_frames, (_width - labelWidth) / 90.0);
        _out += "<g class=\"axis\">\n<line x1=\"" + number(x(0)) + "\" y1=\"" + number(top) + "\" x2=\""
            + number(x(_frames)) + "\" y2=\"" + number(top) + "\"/>\n";
        for (std::uint64_t frame = 0; frame <= _frames; frame += step) {
            const double at = x(frame);
            _out += "<line x1=\"" + number(at) + "\" y1=\"" + number(top) + "\" x2=\"" + number(at) + "\" y2=\""
                + number(top + 5) + "\"/>\n<text x=\"" + number(at) + "\" y=\"" + number(top + 17)
                + "\" text-anchor=\"middle\">" + std::to_string(frame) + "</text>\n<text x=\"" + number(at) + "\" y=\""
                + number(top + 31) + "\" text-anchor=\"middle\" class=\"seconds\">"
                + floatText(static_cast<float>(static_cast<double>(frame) / _fps)) + " s</text>\n";
            if (_frames - frame < step) {
                break;
            }
        }
        _out += "<text x=\"8\" y=\"" + number(top + 17) + "\">frame</text>\n<text x=\"8\" y=\"" + number(top + 31)
            + "\" class=\"seconds\">seconds at " + floatText(_fps) + " fps</text>\n</g>\n";
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

    double valueY(const Row& row, float value, double top) const
    {
        const double low = *row.low;
        const double high = *row.high;
        const double share = high > low ? (static_cast<double>(value) - low) / (high - low) : 0.5;
        return top + rowHeight - 6 - share * (rowHeight - 12);
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
        if (command.effect() == Linear && row.low && std::isfinite(command.args()[0])
            && std::isfinite(command.args()[1])) {
            line(left, valueY(row, command.args()[0], top), right, valueY(row, command.args()[1], top));
        }
    }

    void flush(Group& group, const Row& row, double top)
    {
        if (group.count == 0) {
            return;
        }
        const std::uint64_t end = group.last.start + group.last.key->duration();
        const double left = x(group.first.start);
        const double right = std::max(x(end), left + 1.0);
        _out += "<rect x=\"" + number(left) + "\" y=\"" + number(top + 3) + "\" width=\"" + number(right - left)
            + "\" height=\"" + number(rowHeight - 6) + "\" fill=\""
            + (group.mixed ? mixedColour : effectColour(group.effect)) + "\" class=\"merged\"><title>"
            + xmlEscaped(row.name) + ", " + std::to_string(group.count) + " keys (" + std::string(group.first.phase)
            + " key " + std::to_string(group.first.index) + " on), frames " + std::to_string(group.first.start) + " to "
            + std::to_string(end) + "</title></rect>\n";
        const AnimationKeyCommand& first = group.first.key->command();
        const AnimationKeyCommand& last = group.last.key->command();
        if (!group.mixed && group.effect == Linear && row.low && std::isfinite(first.args()[0])
            && std::isfinite(last.args()[1])) {
            line(left, valueY(row, first.args()[0], top), right, valueY(row, last.args()[1], top));
        }
        group.count = 0;
    }

    void line(double x1, double y1, double x2, double y2)
    {
        _out += "<line x1=\"" + number(x1) + "\" y1=\"" + number(y1) + "\" x2=\"" + number(x2) + "\" y2=\"" + number(y2)
            + "\" class=\"value\"/>\n";
    }

    std::uint64_t _frames;
    unsigned int _width;
    float _fps;
    double _mergeWidth;
    double _scale;
    std::string _out;
};

// The rows and phase bands of a document, and its rate.
struct Layout {
    std::map<std::string, Row> rows;
    std::vector<Band> bands;
    float fps = 25.0f;
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

} // namespace

std::string xmlEscaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default:
            // Control characters cannot appear in XML 1.0; show them as '?'.
            out += static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' ? '?' : c;
        }
    }
    return out;
}

SvgPlot svgPlot(const AnimationDocument& document, unsigned int width)
{
    const Layout layout = layoutOf(document);
    SvgPlot plot;
    plot.frames = std::max<std::uint64_t>(layout.frames(), 1);
    plot.plotLeft = labelWidth;
    plot.plotRight = static_cast<double>(width) - rightMargin;
    plot.top = headerHeight;
    plot.bottom = headerHeight + bandLabelHeight + static_cast<double>(layout.rows.size()) * rowHeight;
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
    const std::map<std::string, Row>& rows = layout.rows;
    const std::vector<Band>& bands = layout.bands;
    const float fps = layout.fps;
    const std::string& kind = layout.kind;
    const std::uint64_t frames = layout.frames();
    SvgWriter svg(frames, width, fps, std::max(mergeWidth, 1u));
    const double plotTop = headerHeight + bandLabelHeight;
    const double height = plotTop + static_cast<double>(rows.size()) * rowHeight + axisHeight + 8;
    std::string& out = svg.out();
    out.reserve(4096 + rows.size() * static_cast<std::size_t>(width) * 8);
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) + "\" height=\""
        + number(height) + "\" viewBox=\"0 0 " + std::to_string(width) + " " + number(height)
        + "\" font-family=\"sans-serif\" font-size=\"12\">\n"
          "<style>.name{font-weight:bold}.range,.seconds{fill:#555;font-size:10px}"
          ".value{stroke:#fff;stroke-width:1.5}.axis line{stroke:#333}.band{fill:#eee}.band2{fill:#f8f8f8}"
          ".key{stroke:#fff;stroke-width:0.5}.boundary{stroke:#888;stroke-dasharray:3 3}</style>\n"
          "<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n";
    out += "<text x=\"8\" y=\"20\" font-size=\"15\" class=\"name\">" + xmlEscaped(title)
        + "</text>\n<text x=\"8\" y=\"38\">" + kind + ", " + std::to_string(rows.size())
        + (rows.size() == 1 ? " layer, " : " layers, ") + std::to_string(frames)
        + " frames = " + floatText(static_cast<float>(static_cast<double>(frames) / fps)) + " s at " + floatText(fps)
        + " fps</text>\n";
    // Legend.
    double legendX = 8;
    for (const AnimationKeyCommandEffect effect : {Linear, Held1, Held2, Held3}) {
        out += "<rect x=\"" + number(legendX) + "\" y=\"50\" width=\"14\" height=\"12\" fill=\"" + effectColour(effect)
            + "\"/><text x=\"" + number(legendX + 18) + "\" y=\"60\">" + effectText(effect)
            + (effect == Linear ? " (line: value)" : "") + "</text>\n";
        legendX += effect == Linear ? 150 : 80;
    }
    out += "<rect x=\"" + number(legendX) + "\" y=\"50\" width=\"14\" height=\"12\" fill=\"#7F7F7F\"/><text x=\""
        + number(legendX + 18) + "\" y=\"60\">other effect</text>\n<rect x=\"" + number(legendX + 110)
        + "\" y=\"50\" width=\"14\" height=\"12\" fill=\"" + mixedColour + "\"/><text x=\"" + number(legendX + 128)
        + "\" y=\"60\">merged keys of several effects</text>\n";
    // Phase bands.
    const double bandBottom = plotTop + static_cast<double>(rows.size()) * rowHeight;
    for (std::size_t i = 0; i < bands.size(); ++i) {
        const Band& band = bands[i];
        const double left = svg.x(band.start);
        const double right = svg.x(band.start + band.length);
        out += "<rect x=\"" + number(left) + "\" y=\"" + number(headerHeight) + "\" width=\"" + number(right - left)
            + "\" height=\"" + number(bandBottom - headerHeight) + "\" class=\"" + (i % 2 == 0 ? "band" : "band2")
            + "\"><title>" + std::string(band.name) + ": frames " + std::to_string(band.start) + " to "
            + std::to_string(band.start + band.length) + "</title></rect>\n";
        if (band.length != 0) {
            out += "<text x=\"" + number((left + right) / 2) + "\" y=\"" + number(headerHeight + 13)
                + "\" text-anchor=\"middle\">" + std::string(band.name) + "</text>\n";
        }
    }
    double top = plotTop;
    for (const auto& entry : rows) {
        svg.row(entry.second, top);
        top += rowHeight;
    }
    for (std::size_t i = 1; i < bands.size(); ++i) {
        const double at = svg.x(bands[i].start);
        out += "<line x1=\"" + number(at) + "\" y1=\"" + number(headerHeight) + "\" x2=\"" + number(at) + "\" y2=\""
            + number(bandBottom) + "\" class=\"boundary\"/>\n";
    }
    svg.axis(bandBottom + 4);
    out += "</svg>\n";
    return std::move(out);
}

} // namespace Korva
