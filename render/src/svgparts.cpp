#include "svgparts.h"

#include <animationmodel/animationsvg.h>

#include <cstdio>

namespace Korva::svg {

namespace {

// The code point that starts at `text[i]`, and the index past it; a broken
// sequence counts as one character per byte.
char32_t decode(std::string_view text, std::size_t& i) noexcept
{
    const auto lead = static_cast<unsigned char>(text[i++]);
    const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    char32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 0; k < extra && i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80; ++k) {
        code = (code << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
    }
    return code;
}

// The advance of one character in ems: narrow punctuation, digits and most
// letters, capitals and wide letters, then the full-width scripts.
double advance(char32_t code, bool bold) noexcept
{
    double em = 0.62;
    if (code == ' ' || code == '.' || code == ',' || code == ':' || code == ';' || code == '\'' || code == 'i'
        || code == 'l' || code == 'j' || code == '|' || code == '!') {
        em = 0.34;
    } else if ((code >= 'A' && code <= 'Z') || code == 'm' || code == 'w' || code == '@') {
        em = 0.78;
    } else if (code >= 0x1100) {
        em = 1.0;
    }
    return bold ? em * 1.1 : em;
}

} // namespace

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

std::string counted(std::uint64_t count, const char* what)
{
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

double textWidth(std::string_view text, double fontSize, bool bold) noexcept
{
    double ems = 0;
    for (std::size_t i = 0; i < text.size();) {
        ems += advance(decode(text, i), bold);
    }
    return ems * fontSize;
}

std::string fitted(std::string_view text, double room, double fontSize, bool bold)
{
    if (textWidth(text, fontSize, bold) <= room) {
        return std::string(text);
    }
    const double ellipsis = advance(U'…', bold) * fontSize;
    double used = 0;
    std::size_t end = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t start = i;
        used += advance(decode(text, i), bold) * fontSize;
        if (used + ellipsis > room) {
            end = start;
            break;
        }
    }
    return std::string(text.substr(0, end)) + "…";
}

std::string fittedText(const std::string& attributes, const std::string& text, double room, double fontSize, bool bold)
{
    const std::string shown = fitted(text, room, fontSize, bold);
    return "<text " + attributes + ">" + xmlEscaped(shown)
        + (shown == text ? "" : "<title>" + xmlEscaped(text) + "</title>") + "</text>\n";
}

} // namespace Korva::svg
