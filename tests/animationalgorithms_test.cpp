#include <animationmodel/animationalgorithms.h>

#include "expect_throw_msg.h"
#include "invariants.h"
#include "testkeys.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Korva;

namespace {

AnimationKey hold(unsigned int duration, AnimationKeyCommandEffect effect = Held2)
{
    return AnimationKey(AnimationKeyCommand(effect), duration);
}

// Every row of a range as "frame phase layer@key+offset=value".
std::vector<std::string> rowsOf(AnimationSampler& sampler, std::uint64_t first, std::uint64_t last,
                                const LayerSelection& layers)
{
    std::vector<std::string> rows;
    sampleRange(sampler, first, last, layers, [&](const SampledRow& row) {
        const LayerSample& sample = *row.sample;
        rows.push_back(std::to_string(row.frame) + " " + std::string(animationPhaseName(row.phase)) + " "
                       + *sample.layer + "@" + std::to_string(sample.keyIndex) + "+" + std::to_string(sample.offset)
                       + (sample.value ? "=" + std::to_string(*sample.value) : ""));
    });
    return rows;
}

// Intro 2 frames, body 3, outro 1.
Animation smallAnimation()
{
    return Animation(LayerMap{{"a", {hold(2)}}}, LayerMap{{"a", {ramp(0.0f, 3.0f, 3)}}, {"b", {hold(1)}}},
                     LayerMap{{"b", {hold(1)}}});
}

} // namespace

TEST(SplitEveryKey, TimelineAndAnimation)
{
    const LayerMap timeline{{"a", {ramp(0.0f, 12.0f, 10), hold(3)}}, {"b", {}}};
    const LayerMap split = splitEveryKey(timeline, 4);
    ASSERT_EQ(2u, split.size());
    EXPECT_TRUE(split.at("b").empty());
    // Cut at frames 4 and 8: the key's own values there, 4.8 and 9.6.
    const std::vector<AnimationKey> expected{ramp(0.0f, 4.8f, 4), ramp(4.8f, 9.6f, 4), ramp(9.6f, 12.0f, 2), hold(3)};
    EXPECT_TRUE(sameBits(expected, split.at("a")));
    EXPECT_EQ(4u, splitEveryKeyCount(timeline, 4));
    // The even rule of splitEach stays available: [0, 4], [4, 8], [8, 12].
    const std::vector<AnimationKey> even{ramp(0.0f, 4.0f, 4), ramp(4.0f, 8.0f, 4), ramp(8.0f, 12.0f, 2), hold(3)};
    EXPECT_TRUE(sameBits(even, splitEveryKey(timeline, 4, KeySplitting::EvenValues).at("a")));

    Animation animation(LayerMap{{"x", {hold(5)}}}, timeline, LayerMap{{"y", {hold(1)}}});
    animation.setFPS(12.5f);
    EXPECT_TRUE(sameBits(even, splitEveryKey(animation, 4, KeySplitting::EvenValues).body().at("a")));
    const Animation pieces = splitEveryKey(animation, 4);
    EXPECT_EQ(12.5f, pieces.fps());
    EXPECT_EQ(2u, pieces.intro().at("x").size());
    EXPECT_TRUE(sameBits(expected, pieces.body().at("a")));
    EXPECT_EQ(1u, pieces.outro().at("y").size());
    EXPECT_EQ(7u, splitEveryKeyCount(animation, 4));
}

TEST(SplitEveryKey, CountsWithoutMaking)
{
    // 2^32 - 1 pieces of one frame would not fit in memory; counting them is instant.
    const LayerMap timeline{{"long", {hold(UINT_MAX)}}, {"short", {hold(1), hold(1)}}};
    EXPECT_EQ(std::uint64_t{UINT_MAX} + 2, splitEveryKeyCount(timeline, 1));
    EXPECT_EQ(std::uint64_t{43} + 2, splitEveryKeyCount(timeline, 100000000));
    EXPECT_EQ(3u, splitEveryKeyCount(timeline, UINT_MAX));
}

TEST(SplitEveryKey, Refusals)
{
    const LayerMap timeline{{"ok", {hold(9)}}, {"x", {hold(2, Effect7), hold(3, Effect7)}}};
    const std::string refusal = "key 1 of layer \"x\" in the timeline cannot be split: command 7 has no splitting rule";
    EXPECT_THROW_MSG(splitEveryKey(timeline, 2), std::invalid_argument, refusal);
    EXPECT_THROW_MSG(splitEveryKeyCount(timeline, 2), std::invalid_argument, refusal);
    // A key that needs no cut is kept whole, whatever its effect.
    EXPECT_EQ(2u, splitEveryKey(timeline, 3).at("x").size());

    const Animation animation(LayerMap{{"x", {hold(1, Effect7)}}}, LayerMap{},
                              LayerMap{{"ok", {hold(1)}}, {"z", {hold(1), hold(4, Effect7)}}});
    const std::string outro = "key 1 of layer \"z\" in the outro cannot be split: command 7 has no splitting rule";
    EXPECT_THROW_MSG(splitEveryKey(animation, 3), std::invalid_argument, outro);
    EXPECT_THROW_MSG(splitEveryKeyCount(animation, 3), std::invalid_argument, outro);

    const std::string zero = "Could not split AnimationKey each 0 frame: This number should be strictly higher than 0";
    EXPECT_THROW_MSG(splitEveryKey(LayerMap{}, 0), std::invalid_argument, zero);
    EXPECT_THROW_MSG(splitEveryKeyCount(Animation(), 0), std::invalid_argument, zero);
}

TEST(SampleRange, RowsAndClamping)
{
    const Animation animation = smallAnimation();
    AnimationSampler sampler(animation);
    const std::vector<std::string> all{"0 intro a@0+0", "1 intro a@0+1",         "2 body a@0+0=0.000000",
                                       "2 body b@0+0",  "3 body a@0+1=1.000000", "4 body a@0+2=2.000000",
                                       "5 outro b@0+0"};
    EXPECT_EQ(all, rowsOf(sampler, 0, UINT64_MAX, std::nullopt));
    EXPECT_EQ(std::vector<std::string>(all.begin() + 2, all.end()), rowsOf(sampler, 2, 6, std::nullopt));
    EXPECT_EQ(std::vector<std::string>({"3 body a@0+1=1.000000"}), rowsOf(sampler, 3, 4, std::nullopt));
    // Past the end, at 2^64 - 1, and an empty range: no row.
    for (const auto& [first, last] : {std::pair<std::uint64_t, std::uint64_t>{6, UINT64_MAX},
                                      {UINT64_MAX, UINT64_MAX},
                                      {UINT64_MAX - 1, UINT64_MAX},
                                      {4, 4},
                                      {5, 2}}) {
        EXPECT_TRUE(rowsOf(sampler, first, last, std::nullopt).empty()) << first << " " << last;
    }
}

TEST(SampleRange, LayerSelection)
{
    const Animation animation = smallAnimation();
    AnimationSampler sampler(animation);
    EXPECT_EQ(std::vector<std::string>({"2 body b@0+0", "5 outro b@0+0"}),
              rowsOf(sampler, 0, UINT64_MAX, std::vector<std::string>{"b"}));
    EXPECT_EQ(7u, rowsOf(sampler, 0, UINT64_MAX, std::vector<std::string>{"b", "a", "b"}).size());
    EXPECT_TRUE(rowsOf(sampler, 0, UINT64_MAX, std::vector<std::string>{}).empty());
    EXPECT_THROW_MSG(rowsOf(sampler, 0, UINT64_MAX, std::vector<std::string>{"a", "nope"}), std::invalid_argument,
                     "no layer named \"nope\"");
}

TEST(CutOverruns, AgreeWithTheCut)
{
    // a: 10 + 10 frames; b: one key of 30; c: 5 frames; d: no keys.
    const LayerMap timeline{{"a", {hold(10), ramp(0.0f, 1.0f, 10)}}, {"b", {hold(30)}}, {"c", {hold(5)}}, {"d", {}}};
    struct Case {
        unsigned int introEnd;
        unsigned int outroStart;
        std::vector<std::string> expected; // "layer@key+frames"
    };
    const Case cases[] = {
        {5, 25, {"b@0+5"}},                   // b spans both positions
        {5, 29, {"b@0+1"}},                   // one frame past
        {5, 30, {}},                          // b ends at the outro start
        {10, 15, {"b@0+15"}},                 // a's first key ends at the intro end: not cut
        {12, 15, {"a@1+5", "b@0+15"}},        // a's second key spans 12 and 15
        {15, 5, {"a@1+15", "b@0+25"}},        // outro before intro: every cut body runs past
        {0, 0, {}},                           // nothing is cut at frame 0
        {40, 45, {}},                         // past every layer
        {4, 3, {"a@0+7", "b@0+27", "c@0+2"}}, // c is cut at 4, its body ends at 5
        {4294967295u, 0, {}},                 // no layer reaches that far
    };
    for (const Case& c : cases) {
        std::vector<std::string> found;
        for (const CutOverrun& overrun : cutOverruns(timeline, c.introEnd, c.outroStart)) {
            found.push_back(overrun.layer + "@" + std::to_string(overrun.keyIndex) + "+"
                            + std::to_string(overrun.frames));
        }
        EXPECT_EQ(c.expected, found) << c.introEnd << " " << c.outroStart;
        // Each reported layer's body indeed ends that far past the outro start.
        const Animation cut(timeline, c.introEnd, c.outroStart);
        for (const CutOverrun& overrun : cutOverruns(timeline, c.introEnd, c.outroStart)) {
            EXPECT_EQ(std::uint64_t{c.introEnd} + frameCountOf(cut.body().at(overrun.layer)),
                      std::uint64_t{c.outroStart} + overrun.frames);
        }
    }
}

TEST(CutOverruns, LayersPastTwoToThe32Frames)
{
    const LayerMap timeline{{"a", {hold(UINT_MAX), hold(UINT_MAX)}}};
    const std::vector<CutOverrun> overruns = cutOverruns(timeline, UINT_MAX - 1, 10);
    ASSERT_EQ(1u, overruns.size());
    EXPECT_EQ(0u, overruns[0].keyIndex);
    EXPECT_EQ(std::uint64_t{UINT_MAX} - 10, overruns[0].frames);
    // The key cut at the intro end ends past 2^32: no wrap-around.
    const std::vector<CutOverrun> second = cutOverruns({{"b", {hold(10), hold(UINT_MAX)}}}, UINT_MAX, UINT_MAX);
    ASSERT_EQ(1u, second.size());
    EXPECT_EQ(1u, second[0].keyIndex);
    EXPECT_EQ(10u, second[0].frames);
}

TEST(SplitAtEvery, CutsWhereSplitAtCuts)
{
    const AnimationKey key = ramp(-1.0f, 7.3f, 10);
    const std::vector<AnimationKey> pieces = splitAtEvery(key, 3);
    ASSERT_EQ(4u, pieces.size());
    const unsigned int cuts[] = {0, 3, 6, 9, 10};
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        EXPECT_EQ(cuts[i + 1] - cuts[i], pieces[i].duration());
        // Each end is the key's value at the cut, which is splitAt's cut value.
        EXPECT_TRUE(sameBits(*key.valueAt(cuts[i]), pieces[i].command().args()[0])) << i;
        EXPECT_TRUE(sameBits(*key.valueAt(cuts[i + 1]), pieces[i].command().args()[1])) << i;
        if (i > 0) {
            EXPECT_TRUE(sameBits(key.splitAt(cuts[i])[0].command().args()[1], pieces[i].command().args()[0])) << i;
        }
    }
    EXPECT_TRUE(sameBits(-1.0f, pieces.front().command().args()[0]));
    EXPECT_TRUE(sameBits(7.3f, pieces.back().command().args()[1]));
    // Held keys keep their command; a key that fits comes back whole, bit for bit.
    EXPECT_TRUE(sameBits(std::vector<AnimationKey>{hold(3, Held3), hold(2, Held3)}, splitAtEvery(hold(5, Held3), 3)));
    const AnimationKey odd = ramp(1.0f, std::nanf(""), 3);
    EXPECT_TRUE(sameBits(std::vector<AnimationKey>{odd}, splitAtEvery(odd, 3)));
    EXPECT_TRUE(sameBits(std::vector<AnimationKey>{odd}, splitAtEvery(odd, UINT_MAX)));
    EXPECT_EQ(2u, splitAtEvery(odd, 2).size());
}

TEST(SplitAtEvery, LongestKeyAndRefusals)
{
    // The frame after the last piece is 2^32 - 1 + ... : counted in 64 bits.
    const std::vector<AnimationKey> two = splitAtEvery(ramp(0.0f, 1.0f, UINT_MAX), UINT_MAX - 1);
    ASSERT_EQ(2u, two.size());
    EXPECT_EQ(UINT_MAX - 1, two[0].duration());
    EXPECT_EQ(1u, two[1].duration());
    EXPECT_TRUE(sameBits(1.0f, two[1].command().args()[1]));
    EXPECT_EQ(3u, splitAtEvery(hold(UINT_MAX), UINT_MAX / 2).size());
    EXPECT_TRUE(splitAtEvery(hold(4, Effect7), 3).empty());
    EXPECT_EQ(1u, splitAtEvery(hold(3, Effect7), 3).size());
    const std::string zero = "Could not split AnimationKey each 0 frame: This number should be strictly higher than 0";
    EXPECT_THROW_MSG(splitAtEvery(hold(1), 0), std::invalid_argument, zero);
}

// Random timelines split by frames play what they played, within the bound
// of a cut, at every frame; split evenly they do not (frame 4 of [0, 12]
// over 10 frames by 4 plays 4, not 4.8).
TEST(SplitEveryKey, SamplingAgreesWithinTheBound)
{
    std::mt19937 random(20261208);
    std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
    std::uniform_int_distribution<int> exponent(-30, 30);
    for (int round = 0; round < 200; ++round) {
        LayerMap timeline;
        std::vector<std::uint64_t> probes;
        std::uint64_t longest = 0;
        for (int layer = 0; layer < 3; ++layer) {
            std::vector<AnimationKey> keys;
            std::uint64_t length = 0;
            for (unsigned int k = random() % 4; k > 0; --k) {
                const auto duration = static_cast<unsigned int>(1 + random() % (random() % 8 == 0 ? 100000 : 40));
                const float scale = std::ldexp(1.0f, exponent(random));
                keys.push_back(random() % 4 == 0
                                   ? hold(duration, static_cast<AnimationKeyCommandEffect>(1 + random() % 3))
                                   : ramp(value(random) * scale, value(random) * scale, duration));
                length += duration;
            }
            longest = std::max(longest, length);
            timeline.emplace("layer " + std::to_string(layer), std::move(keys));
        }
        for (std::uint64_t t = 0; t < longest; t += 1 + random() % 7) {
            probes.push_back(t);
        }
        const auto length = static_cast<unsigned int>(1 + random() % 50);
        const Animation split(LayerMap{}, splitEveryKey(timeline, length), LayerMap{});
        ASSERT_EQ("", playbackFault(timeline, split, probes)) << "round " << round << ", pieces of " << length;
    }
    const LayerMap example{{"a", {ramp(0.0f, 12.0f, 10)}}};
    const std::vector<std::uint64_t> frame4{4};
    EXPECT_EQ("", playbackFault(example, Animation(LayerMap{}, splitEveryKey(example, 4), LayerMap{}), frame4));
    EXPECT_EQ("layer \"a\" frame 4: value of the piece is off by more than the bound",
              playbackFault(example,
                            Animation(LayerMap{}, splitEveryKey(example, 4, KeySplitting::EvenValues), LayerMap{}),
                            frame4));
}
