// The picture as the render library writes it: the legend, the geometry of
// the phase bands, names escaped and fitted to the label column, the width,
// and keys merged into one mark per pixel column.
#include <animationmodel/animation.h>
#include <animationmodel/animationsvg.h>

#include "testkeys.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <regex>
#include <string>
#include <utility>
#include <vector>

using namespace Korva;

namespace {

std::size_t count(const std::string& text, const std::string& what)
{
    std::size_t found = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) {
        ++found;
    }
    return found;
}

// The legend's entries, in order: the text beside each 14 x 12 swatch.
std::vector<std::string> legendOf(const std::string& svg)
{
    static const std::regex entry(R"(width="14" height="12" fill="#[0-9A-F]{6}"/><text [^>]*>([^<]*)</text>)");
    std::vector<std::string> entries;
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), entry); it != std::sregex_iterator(); ++it) {
        entries.push_back((*it)[1]);
    }
    return entries;
}

// Intro 10 frames, body 20, outro 10, at 25 fps.
Animation threePhases()
{
    return Animation({{"a", {held(Held1, 10)}}}, {{"a", {ramp(0, 1, 20)}}}, {{"a", {held(Held2, 10)}}});
}

// A timeline layer of `keys` keys of one frame, alternating `even` and `odd`.
LayerMap oneFrameKeys(std::size_t keys, AnimationKeyCommandEffect even, AnimationKeyCommandEffect odd)
{
    std::vector<AnimationKey> layer;
    for (std::size_t i = 0; i < keys; ++i) {
        layer.push_back(held(i % 2 == 0 ? even : odd, 1));
    }
    return {{"x", layer}};
}

} // namespace

TEST(AnimationSvg, LegendListsOnlyTheEffectsDrawn)
{
    EXPECT_EQ(legendOf(renderSvg(threePhases(), "t", 600)),
              (std::vector<std::string>{"Linear (line: value)", "Held1", "Held2"}));
    const LayerMap other{{"b", {held(Held3, 4), held(Effect7, 4)}}};
    EXPECT_EQ(legendOf(renderSvg(other, "t", 600)), (std::vector<std::string>{"Held3", "other effect"}));
    EXPECT_EQ(legendOf(renderSvg(LayerMap{}, "t", 600)), std::vector<std::string>{});
}

TEST(AnimationSvg, MergedKeysOfSeveralEffectsEnterTheLegend)
{
    // 1,000 keys on 406 pixels: two or three share a column, so every mark
    // merges a Held1 and a Held2 key; 10 keys on the same plot are drawn alone.
    const std::string merged = renderSvg(oneFrameKeys(1000, Held1, Held2), "t", 600);
    EXPECT_EQ(legendOf(merged), std::vector<std::string>{"merged keys of several effects"});
    EXPECT_EQ(count(merged, "class=\"key\""), 0u);
    EXPECT_EQ(count(merged, "fill=\"#444444\" class=\"merged\""), count(merged, "class=\"merged\""));
    const std::string alone = renderSvg(oneFrameKeys(10, Held1, Held2), "t", 600);
    EXPECT_EQ(legendOf(alone), (std::vector<std::string>{"Held1", "Held2"}));
    EXPECT_EQ(count(alone, "class=\"key\""), 10u);
    EXPECT_EQ(count(alone, "class=\"merged\""), 0u);
}

TEST(AnimationSvg, MergedMarksOnePerColumnOfTheMergeWidth)
{
    // 100,000 keys of one effect on 406 pixels: one mark per pixel column (a
    // key starting on the plot's right edge gives none), fewer per 8 columns.
    const LayerMap many = oneFrameKeys(100000, Held1, Held1);
    const std::string fine = renderSvg(many, "t", 600);
    EXPECT_EQ(count(fine, "class=\"merged\""), 406u);
    EXPECT_EQ(count(fine, "fill=\"#E69F00\" class=\"merged\""), 406u);
    EXPECT_EQ(legendOf(fine), std::vector<std::string>{"Held1"});
    EXPECT_LT(fine.size(), 200000u);
    const std::string coarse = renderSvg(many, "t", 600, 8);
    EXPECT_LE(count(coarse, "class=\"merged\""), 406u / 8 + 2);
    EXPECT_GE(count(coarse, "class=\"merged\""), 406u / 8);
    // The first mark tells what it holds: 100,000 / 406 keys from key 0.
    EXPECT_NE(fine.find("<title>x, 247 keys (timeline key 0 on), frames 0 to 247</title>"), std::string::npos);
}

TEST(AnimationSvg, BandsAndBoundariesLieWhereThePlotPutsTheirFrames)
{
    // 570 pixels: the plot spans 170 to 546, 9.4 pixels a frame.
    const Animation animation = threePhases();
    const SvgPlot plot = svgPlot(animation, 570);
    EXPECT_EQ(plot.plotLeft, 170);
    EXPECT_EQ(plot.plotRight, 546);
    EXPECT_EQ(plot.frames, 40u);
    EXPECT_EQ(plot.bottom - plot.top, 18 + 30); // the band labels and one row
    const std::string svg = renderSvg(animation, "t", 570);
    const std::string top = " y=\"" + std::to_string(static_cast<int>(plot.top)) + "\"";
    const std::string height = " height=\"" + std::to_string(static_cast<int>(plot.bottom - plot.top)) + "\"";
    EXPECT_NE(svg.find("<rect x=\"170\"" + top + " width=\"94\"" + height
                       + " class=\"band\"><title>intro: frames 0 to 10</title>"),
              std::string::npos)
        << svg;
    EXPECT_NE(svg.find("<rect x=\"264\"" + top + " width=\"188\"" + height
                       + " class=\"band2\"><title>body: frames 10 to 30</title>"),
              std::string::npos);
    EXPECT_NE(svg.find("<rect x=\"452\"" + top + " width=\"94\"" + height
                       + " class=\"band\"><title>outro: frames 30 to 40</title>"),
              std::string::npos);
    EXPECT_EQ(count(svg, "class=\"boundary\""), 2u);
    const std::string bottom = std::to_string(static_cast<int>(plot.bottom));
    EXPECT_NE(svg.find("<line x1=\"264\" y1=\"" + std::to_string(static_cast<int>(plot.top)) + "\" x2=\"264\" y2=\""
                       + bottom + "\" class=\"boundary\"/>"),
              std::string::npos);
    // The body's ramp: a key from 264 to 452 with its value line rising.
    EXPECT_NE(svg.find("width=\"188\" height=\"24\" fill=\"#0072B2\" class=\"key\"><title>a, body key 0: Linear [0, "
                       "1], frames 10 to 30 (20)</title>"),
              std::string::npos);
}

TEST(AnimationSvg, BandNamesOnlyWhereTheyFit)
{
    // A one-frame intro is 1.9 pixels wide at 600: its band has no name.
    const Animation animation({{"a", {held(Held1, 1)}}}, {{"a", {held(Held1, 200)}}}, {});
    const std::string svg = renderSvg(animation, "t", 600);
    EXPECT_EQ(count(svg, "text-anchor=\"middle\">intro</text>"), 0u);
    EXPECT_EQ(count(svg, "text-anchor=\"middle\">body</text>"), 1u);
    EXPECT_EQ(count(svg, "<title>intro: frames 0 to 1</title>"), 1u);
}

TEST(AnimationSvg, NamesAreEscapedEverywhere)
{
    const LayerMap names{{"a<b>&\"c'", {held(Held1, 4)}}};
    const std::string svg = renderSvg(names, "<title> & \"more\"", 600);
    EXPECT_EQ(svg.find("a<b"), std::string::npos);
    EXPECT_EQ(count(svg, "a&lt;b&gt;&amp;&quot;c&apos;"), 2u); // the label and the key's tooltip
    EXPECT_NE(svg.find(">&lt;title&gt; &amp; &quot;more&quot;</text>"), std::string::npos);
}

TEST(AnimationSvg, XmlEscapedShowsWhatXmlCannotHold)
{
    EXPECT_EQ(xmlEscaped("&<>\"'"), "&amp;&lt;&gt;&quot;&apos;");
    EXPECT_EQ(xmlEscaped(std::string("a\tb\nc\rd\x1F"
                                     "e\0f",
                                     11)),
              "a\tb\nc?d?e?f");
    EXPECT_EQ(xmlEscaped("\xEF\xBF\xBE|\xEF\xBF\xBF|\xEF\xBF\xBD|\xEF\xBB\xBF"), "?|?|\xEF\xBF\xBD|\xEF\xBB\xBF");
    EXPECT_EQ(xmlEscaped("\xFF"
                         "a\xC3"),
              "\xEF\xBF\xBD"
              "a\xEF\xBF\xBD");
    EXPECT_EQ(xmlEscaped(""), "");
}

TEST(AnimationSvg, LongNamesAreCutToTheLabelColumnWithTheWholeNameInATooltip)
{
    const std::string name(60, 'W');
    const LayerMap layers{{name, {held(Held1, 4)}}, {"short", {held(Held1, 4)}}};
    const std::string svg = renderSvg(layers, "t", 600);
    // 156 pixels hold 13 bold 12-pixel capitals (10.3 each) and the ellipsis (13.2).
    EXPECT_NE(svg.find("class=\"name\">" + std::string(13, 'W') + "…<title>" + name + "</title></text>"),
              std::string::npos)
        << svg;
    EXPECT_NE(svg.find("class=\"name\">short</text>"), std::string::npos);
}

TEST(AnimationSvg, WidthIsThePicturesAndTheTitleFitsIt)
{
    const std::string title(200, 'm');
    // Width - 16 pixels hold N bold 15-pixel m's (12.87 each) and the ellipsis (16.5).
    for (const auto& [width, shown] : {std::pair{300u, std::size_t{20}}, std::pair{1000u, std::size_t{75}}}) {
        const std::string svg = renderSvg(threePhases(), title, width);
        const std::string w = std::to_string(width);
        EXPECT_EQ(svg.rfind("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w + "\" height=\"", 0), 0u);
        EXPECT_NE(svg.find("viewBox=\"0 0 " + w + " "), std::string::npos);
        EXPECT_NE(svg.find(">" + std::string(shown, 'm') + "…<title>" + title + "</title>"), std::string::npos) << w;
        EXPECT_EQ(svg.find(std::string(shown + 1, 'm') + "…"), std::string::npos) << w;
    }
}

TEST(AnimationSvg, NarrowPicturesPutTheSummaryOnTwoLinesAndWrapTheLegend)
{
    const Animation animation({{"a", {held(Held1, 10), held(Held2, 10), held(Held3, 10), ramp(0, 1, 10)}}},
                              {{"b", {held(Effect7, 10)}}}, {});
    const std::string narrow = renderSvg(animation, "t", 300);
    EXPECT_NE(narrow.find("<text x=\"8\" y=\"38\">animation, 2 layers, 50 frames</text>\n"
                          "<text x=\"8\" y=\"54\">= 2 s at 25 fps</text>"),
              std::string::npos)
        << narrow;
    const std::string wide = renderSvg(animation, "t", 1000);
    EXPECT_NE(wide.find("<text x=\"8\" y=\"38\">animation, 2 layers, 50 frames = 2 s at 25 fps</text>"),
              std::string::npos);
    // The same five entries; narrower, the plot starts lower.
    EXPECT_EQ(legendOf(narrow), legendOf(wide));
    EXPECT_EQ(legendOf(wide).size(), 5u);
    EXPECT_GT(svgPlot(animation, 300).top, svgPlot(animation, 1000).top + 16);
}

TEST(AnimationSvg, TimelinesHaveNoSeconds)
{
    const std::string svg = renderSvg(LayerMap{{"a", {held(Held1, 5)}}}, "t", 600);
    EXPECT_NE(svg.find(">timeline, 1 layer, 5 frames</text>"), std::string::npos);
    EXPECT_EQ(svg.find(" s</text>"), std::string::npos);
    EXPECT_EQ(svg.find("fps"), std::string::npos);
    const std::string animation = renderSvg(Animation(LayerMap{{"a", {held(Held1, 5)}}}), "t", 600);
    EXPECT_NE(animation.find(">seconds at 25 fps</text>"), std::string::npos);
    EXPECT_NE(animation.find(" class=\"seconds\">0.2 s</text>"), std::string::npos);
}
