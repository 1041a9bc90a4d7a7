#include <animationmodel/animationsampler.h>

#include "invariants.h"
#include "testkeys.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

using namespace Korva;

namespace {

AnimationKey held1(unsigned int duration)
{
    return AnimationKey(AnimationKeyCommand(Held1), duration);
}

// Intro 4 frames, body 6 frames (with a layer that stops after 2 and an
// entry without keys), outro 3 frames.
Animation showAnimation()
{
    return Animation(LayerMap{{"fade", {ramp(0.0f, 1.0f, 4)}}},
                     LayerMap{{"a", {held1(2)}}, {"empty", {}}, {"fade", {ramp(1.0f, 0.1f, 5), held1(1)}}},
                     LayerMap{{"fade", {held1(1), ramp(-2.0f, 2.0f, 2)}}});
}

std::string layersOf(FrameSamples samples)
{
    std::string names;
    for (const LayerSample& sample : samples) {
        names += *sample.layer + "@" + std::to_string(sample.keyIndex) + "+" + std::to_string(sample.offset) + " ";
    }
    return names;
}

} // namespace

TEST(AnimationSampler, PhasesAndFrames)
{
    const Animation animation = showAnimation();
    const AnimationSampler sampler(animation);
    EXPECT_EQ(13u, sampler.frameCount());
    EXPECT_EQ(6u, sampler.phaseLength(AnimationPhase::Body));
    EXPECT_EQ(10u, sampler.phaseStart(AnimationPhase::Outro));

    struct Case {
        std::uint64_t frame;
        AnimationPhase phase;
        std::uint64_t inPhase;
    };
    for (const Case& c :
         {Case{0, AnimationPhase::Intro, 0}, Case{3, AnimationPhase::Intro, 3}, Case{4, AnimationPhase::Body, 0},
          Case{9, AnimationPhase::Body, 5}, Case{10, AnimationPhase::Outro, 0}, Case{12, AnimationPhase::Outro, 2}}) {
        const std::optional<PhaseFrame> located = sampler.locate(c.frame);
        ASSERT_TRUE(located) << c.frame;
        EXPECT_EQ(c.phase, located->phase) << c.frame;
        EXPECT_EQ(c.inPhase, located->frame) << c.frame;
    }
    EXPECT_FALSE(sampler.locate(13));
    EXPECT_FALSE(sampler.locate(UINT64_MAX));

    // An empty phase covers no frame; an empty animation none at all.
    const Animation bodyOnly(LayerMap{{"x", {held1(2)}}});
    EXPECT_EQ(AnimationPhase::Body, AnimationSampler(bodyOnly).locate(0)->phase);
    // Stepping over a phase of no frame: frame 2 is the outro's first.
    const Animation gap(LayerMap{{"x", {held1(2)}}}, LayerMap{}, LayerMap{{"y", {held1(1)}}});
    AnimationSampler stepping(gap);
    stepping.seek(1);
    EXPECT_EQ("y@0+0 ", layersOf(stepping.advance()));
    EXPECT_TRUE(stepping.advance().empty());

    const Animation nothing;
    AnimationSampler empty(nothing);
    EXPECT_EQ(0u, empty.frameCount());
    EXPECT_TRUE(empty.advance().empty());
    EXPECT_TRUE(empty.seek(0).empty());
}

TEST(AnimationSampler, SeekAndAdvanceMatchAWalk)
{
    const Animation animation = showAnimation();
    AnimationSampler sampler(animation);
    // Frame by frame, the layers in name order; "a" stops after its key and
    // "empty" never plays.
    const char* const expected[] = {"fade@0+0 ",
                                    "fade@0+1 ",
                                    "fade@0+2 ",
                                    "fade@0+3 ", // intro
                                    "a@0+0 fade@0+0 ",
                                    "a@0+1 fade@0+1 ",
                                    "fade@0+2 ",
                                    "fade@0+3 ",
                                    "fade@0+4 ",
                                    "fade@1+0 ", // body
                                    "fade@0+0 ",
                                    "fade@1+0 ",
                                    "fade@1+1 ", // outro
                                    "",
                                    ""};
    for (std::uint64_t frame = 0; frame < 15; ++frame) {
        const FrameSamples played = sampler.advance();
        EXPECT_EQ(frame, sampler.frame());
        EXPECT_EQ(expected[frame], layersOf(played)) << frame;
        EXPECT_EQ("", sampleFault(animation, frame, played));
    }
    // Random access in any order gives the same, values included.
    for (const std::uint64_t frame : {12u, 0u, 7u, 4u, 13u, 9u, 3u, 10u}) {
        EXPECT_EQ("", sampleFault(animation, frame, sampler.seek(frame)));
    }
    EXPECT_TRUE(sampler.seek(UINT64_MAX).empty());
    EXPECT_TRUE(sampler.advance().empty());
    EXPECT_EQ(UINT64_MAX, sampler.frame());
    EXPECT_TRUE(sameBits(0x1.47ae14p-1f, *sampler.seek(6)[0].value)); // 1 + 2 * (0.1 - 1) / 5 in float steps

    // A copy samples on its own, without disturbing the original.
    AnimationSampler copy = sampler;
    copy.seek(1);
    EXPECT_EQ("fade@0+1 ", layersOf(copy.samples()));
    EXPECT_EQ("fade@0+2 ", layersOf(sampler.seek(6)).substr(0, 9));
}

TEST(AnimationSampler, FramesPastThirtyTwoBits)
{
    // A layer of 3 * (2^32 - 1) frames; the animation lasts past 2^33.
    const Animation animation(LayerMap{{"long", {ramp(0.0f, 1.0f, UINT_MAX), held1(UINT_MAX), held1(UINT_MAX)}}},
                              LayerMap{{"tail", {held1(5)}}}, LayerMap{});
    AnimationSampler sampler(animation);
    const std::uint64_t layer = 3ull * UINT_MAX;
    EXPECT_EQ(layer + 5, sampler.frameCount());
    const std::uint64_t frames[] = {std::uint64_t{UINT_MAX} - 1,
                                    UINT_MAX,
                                    2ull * UINT_MAX + 7,
                                    layer - 1,
                                    layer,
                                    layer + 4,
                                    layer + 5,
                                    UINT64_MAX - 1};
    for (const std::uint64_t frame : frames) {
        EXPECT_EQ("", sampleFault(animation, frame, sampler.seek(frame))) << frame;
    }
    sampler.seek(layer - 2);
    EXPECT_EQ(UINT_MAX - 2, sampler.samples()[0].offset);
    EXPECT_EQ("long@2+4294967294 ", layersOf(sampler.advance()));
    EXPECT_EQ("tail@0+0 ", layersOf(sampler.advance()));
}

TEST(AnimationSampler, CuttingNeverChangesWhatPlays)
{
    // Ramps of every scale, held keys, cuts at every position of a short
    // timeline: each frame plays the timeline key, or its piece, within the bound.
    const LayerMap timeline{
        {"big", {ramp(-3e30f, 1e30f, 7), held1(3), ramp(1e-3f, -0.1f, 11)}},
        {"fine", {ramp(0.1f, 0.7f, 13), ramp(0.7f, 0.69999f, 9)}},
        {"tiny", {ramp(1e-44f, -3e-45f, 5), held1(2), ramp(FLT_MIN, -FLT_MIN, 17)}},
    };
    std::vector<std::uint64_t> every(30);
    for (std::uint64_t t = 0; t < every.size(); ++t) {
        every[t] = t;
    }
    for (unsigned int introEnd = 0; introEnd <= 30; ++introEnd) {
        for (unsigned int outroStart = 0; outroStart <= 30; outroStart += 3) {
            const Animation animation(timeline, introEnd, outroStart);
            EXPECT_EQ("", playbackFault(timeline, animation, every)) << introEnd << " " << outroStart;
        }
    }
    // Long ramps cut deep inside: frames near the cut and the ends.
    const LayerMap longRamps{{"long", {ramp(-1.5f, 2.75f, UINT_MAX)}}, {"neg", {ramp(100.0f, -100.0f, 3000000000u)}}};
    const Animation cut(longRamps, 1234567891u, 4000000000u);
    std::vector<std::uint64_t> probes = {0,          1,          1234567890, 1234567891, 1234567892,
                                         2999999999, 3999999999, 4000000000, 4294967294};
    EXPECT_EQ("", playbackFault(longRamps, cut, probes));
}

TEST(AnimationSampler, SeekBackThenAdvanceAcrossAPhaseBoundary)
{
    // A seek into the body leaves the body's cursors on its later keys; a
    // later seek back into the intro and a walk into the body must start
    // every body layer on its first key again.
    const Animation animation = showAnimation();
    AnimationSampler sampler(animation);
    sampler.seek(9);
    sampler.seek(3);
    EXPECT_EQ("a@0+0 fade@0+0 ", layersOf(sampler.advance()));
    EXPECT_EQ("a@0+1 fade@0+1 ", layersOf(sampler.advance()));
    sampler.seek(12);
    sampler.seek(9);
    EXPECT_EQ("fade@0+0 ", layersOf(sampler.advance()));
}
