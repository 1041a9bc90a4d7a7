#include <animationmodel/animationsampler.h>
#include <animationmodel/clipbuilder.h>
#include <animationmodel/clipcursor.h>

#include "../invariants.h"
#include "../testkeys.h"
#include "exactramp.h"
#include "randomclips.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace Korva;

namespace {

const float none = std::numeric_limits<float>::quiet_NaN();

struct Expected {
    float value = 0.0f;
    std::int32_t effect = 0;
    bool keyed = false;
};

// The sample of layer `name` at whole frame `frame`, found by walking every key from the start.
Expected naiveSample(const Animation& animation, const std::string& name, std::uint64_t frame)
{
    float heldValue = none;
    std::uint64_t phaseStart = 0;
    for (const AnimationPhase phase : animationPhases) {
        const LayerMap& layers = animation.phase(phase);
        const auto entry = layers.find(name);
        std::uint64_t keyStart = phaseStart;
        const std::uint64_t phaseEnd = phaseStart + animation.phaseFrameCount(phase);
        for (const AnimationKey& key : entry != layers.end() ? entry->second : std::vector<AnimationKey>{}) {
            const std::uint64_t keyEnd = keyStart + key.duration();
            const bool linear = key.command().effect() == Linear;
            if (frame >= keyStart && frame < keyEnd) {
                const auto offset = static_cast<unsigned int>(frame - keyStart);
                return {linear ? *key.valueAt(offset) : heldValue, key.command().effect(), true};
            }
            if (linear && keyEnd <= frame) {
                heldValue = key.command().args()[1];
            }
            keyStart = keyEnd;
        }
        if (frame < phaseEnd) {
            return {heldValue, 0, false};
        }
        phaseStart = phaseEnd;
    }
    return {heldValue, 0, false};
}

// Samples of every channel of a cursor at one position.
struct Samples {
    explicit Samples(std::size_t count) : values(count), effects(count), keyed(std::make_unique<bool[]>(count)) { }
    ClipSampleBuffers buffers() { return {values.data(), effects.data(), keyed.get()}; }
    std::vector<float> values;
    std::vector<std::int32_t> effects;
    std::unique_ptr<bool[]> keyed;
};

// Checks every channel of `samples` at `frame` against the naive reference.
void expectNaive(const Animation& animation, const AnimationClip& clip, std::uint64_t frame, const Samples& samples)
{
    for (std::uint32_t c = 0; c < clip.channelCount(); ++c) {
        const Expected expected = naiveSample(animation, std::string(clip.channelName(c)), frame);
        ASSERT_TRUE(sameBits(samples.values[c], expected.value)) << "frame " << frame << " channel " << c;
        ASSERT_EQ(samples.effects[c], expected.effect) << "frame " << frame << " channel " << c;
        ASSERT_EQ(samples.keyed[c], expected.keyed) << "frame " << frame << " channel " << c;
    }
}

// Checks the keyed channels of `samples` against AnimationSampler at `frame`.
void expectSampler(AnimationSampler& sampler, const AnimationClip& clip, std::uint64_t frame, const Samples& samples)
{
    const FrameSamples layers = sampler.seek(frame);
    std::size_t keyed = 0;
    for (std::uint32_t c = 0; c < clip.channelCount(); ++c) {
        keyed += samples.keyed[c] ? 1 : 0;
    }
    ASSERT_EQ(layers.size(), keyed) << "frame " << frame;
    for (const LayerSample& layer : layers) {
        const std::uint32_t c = *clip.findChannel(*layer.layer);
        ASSERT_TRUE(samples.keyed[c]);
        ASSERT_EQ(samples.effects[c], layer.key->command().effect());
        if (layer.value) {
            ASSERT_TRUE(sameBits(samples.values[c], *layer.value)) << "frame " << frame;
        }
    }
}

// A cursor at `frame`, sampled into a fresh set of samples.
Samples sampleAt(ClipCursor& cursor, double frame)
{
    Samples samples(cursor.channelCount());
    cursor.sampleFrame(frame, samples.buffers());
    return samples;
}

} // namespace

TEST(ClipCursor, EveryWholeFrameOfRandomAnimationsAgreesWithTheSamplerAndANaiveWalk)
{
    std::mt19937_64 random(7);
    for (int i = 0; i < 300; ++i) {
        const Animation animation = randomAnimation(random, 5, i % 20 == 0 ? 150 : 10, i % 3 == 0 ? 1 : 5);
        const AnimationClip clip = compileClip(animation);
        ClipCursor forward(clip);
        ClipCursor jumping(clip);
        AnimationSampler sampler(animation);
        const std::uint64_t end = clip.frameCount();
        for (std::uint64_t f = 0; f <= end + 1; ++f) {
            const Samples samples = sampleAt(forward, static_cast<double>(f));
            expectNaive(animation, clip, f, samples);
            if (f < end) {
                expectSampler(sampler, clip, f, samples);
            }
            const std::uint64_t other = random() % (end + 2);
            expectNaive(animation, clip, other, sampleAt(jumping, static_cast<double>(other)));
            if (HasFatalFailure()) {
                return;
            }
        }
    }
}

// Checks that `sought` holds the same samples as `inOrder`, bit for bit.
void expectSame(const Samples& inOrder, const Samples& sought, double position)
{
    for (std::size_t c = 0; c < inOrder.values.size(); ++c) {
        ASSERT_TRUE(sameBits(sought.values[c], inOrder.values[c])) << "position " << position << " channel " << c;
        ASSERT_EQ(sought.effects[c], inOrder.effects[c]) << "position " << position << " channel " << c;
        ASSERT_EQ(sought.keyed[c], inOrder.keyed[c]) << "position " << position << " channel " << c;
    }
}

TEST(ClipCursor, ASeekToEveryPositionGivesTheSequentialValuesBitForBit)
{
    // Tracks of up to 300 keys: several blocks of the seek index each.
    std::mt19937_64 random(31);
    for (int i = 0; i < 60; ++i) {
        const Animation animation = randomAnimation(random, 4, i % 2 == 0 ? 300 : 70, i % 3 == 0 ? 1 : 4);
        const AnimationClip clip = compileClip(animation);
        ClipCursor sequential(clip);
        ClipCursor seeking(clip);
        const auto end = static_cast<double>(clip.frameCount());
        for (double position = 0.0; position <= end; position += 0.25) {
            const Samples inOrder = sampleAt(sequential, position);
            // From the end, every earlier position is a seek.
            (void)sampleAt(seeking, end + 1.0);
            expectSame(inOrder, sampleAt(seeking, position), position);
            if (HasFatalFailure()) {
                return;
            }
        }
    }
}

TEST(ClipCursor, SeeksInBlocksOfKeysSummingPastTwoTo32Frames)
{
    // 150 keys of more than 2^31 frames: each block of 64 spans over 2^37.
    std::mt19937_64 random(32);
    std::vector<AnimationKey> keys;
    for (int k = 0; k < 150; ++k) {
        const auto duration = static_cast<unsigned int>(0x80000000u + random() % 0x7FFFFFFFu);
        keys.push_back(k % 3 == 2 ? held(Held1, duration)
                                  : ramp(static_cast<float>(k), static_cast<float>(-k), duration));
    }
    const Animation animation(LayerMap{{"a", keys}});
    const AnimationClip clip = compileClip(animation);
    ClipCursor sequential(clip);
    ClipCursor seeking(clip);
    const auto end = static_cast<double>(clip.frameCount());
    std::uint64_t start = 0;
    for (const AnimationKey& key : keys) {
        for (const std::uint64_t frame : {start, start + key.duration() / 2, start + key.duration() - 1}) {
            for (const double position : {static_cast<double>(frame), static_cast<double>(frame) + 0.5}) {
                const Samples inOrder = sampleAt(sequential, position);
                (void)sampleAt(seeking, end + 1.0);
                const Samples sought = sampleAt(seeking, position);
                expectSame(inOrder, sought, position);
                if (position == static_cast<double>(frame)) {
                    expectNaive(animation, clip, frame, sought);
                }
            }
        }
        start += key.duration();
    }
}

TEST(ClipCursor, AListOfChannelsSamplesThoseChannelsInItsOrder)
{
    std::mt19937_64 random(8);
    const Animation animation = randomAnimation(random, 6, 40, 4);
    const AnimationClip clip = compileClip(animation);
    ASSERT_GE(clip.channelCount(), 3u);
    ClipCursor cursor(clip);
    const std::vector<std::uint32_t> channels = {2, 0, 2, clip.channelCount() - 1};
    for (std::uint64_t f = 0; f <= clip.frameCount(); f += 3) {
        Samples some(channels.size());
        cursor.sampleFrame(static_cast<double>(f), channels.data(), channels.size(), some.buffers());
        for (std::size_t i = 0; i < channels.size(); ++i) {
            const Expected expected = naiveSample(animation, std::string(clip.channelName(channels[i])), f);
            ASSERT_TRUE(sameBits(some.values[i], expected.value)) << f;
            ASSERT_EQ(some.keyed[i], expected.keyed) << f;
            ASSERT_EQ(some.effects[i], expected.effect) << f;
        }
    }
    // Values alone: the optional buffers may be null.
    float value = 0.0f;
    cursor.sampleFrame(0.0, channels.data(), 1, ClipSampleBuffers{&value});
    EXPECT_TRUE(sameBits(value, naiveSample(animation, std::string(clip.channelName(2)), 0).value));
}

TEST(ClipCursor, TheHoldRuleAcrossPhasesInAWorkedTable)
{
    // Intro 4 frames, body 6, outro 3 (frames 0-3, 4-9, 10-12; the end is 13).
    const Animation animation(LayerMap{{"a", {ramp(0, 1, 4)}}},
                              LayerMap{{"a", {held(Held2, 2)}}, {"b", {ramp(10, 20, 5), held(Held1, 1)}}},
                              LayerMap{{"a", {ramp(5, 7, 2)}}, {"b", {}}, {"c", {held(Held3, 3)}}});
    const AnimationClip clip = compileClip(animation);
    ClipCursor cursor(clip);
    struct Row {
        double frame;
        float a, b, c;
        bool keyedA, keyedB, keyedC;
    };
    const std::vector<Row> table = {
        {0, 0.0f, none, none, true, false, false},      {2, 0.5f, none, none, true, false, false},
        {3.5, 0.875f, none, none, true, false, false},  {4, 1.0f, 10.0f, none, true, true, false},
        {5.5, 1.0f, 13.0f, none, true, true, false},    {6, 1.0f, 14.0f, none, false, true, false},
        {9, 1.0f, 20.0f, none, false, true, false},     {10, 5.0f, 20.0f, none, true, false, true},
        {11.25, 6.25f, 20.0f, none, true, false, true}, {12, 7.0f, 20.0f, none, false, false, true},
        {13, 7.0f, 20.0f, none, false, false, false},   {-1, 0.0f, none, none, true, false, false},
        {1e300, 7.0f, 20.0f, none, false, false, false}};
    for (const Row& row : table) {
        const Samples s = sampleAt(cursor, row.frame);
        EXPECT_TRUE(sameBits(s.values[0], row.a)) << row.frame << ": " << s.values[0];
        EXPECT_TRUE(sameBits(s.values[1], row.b)) << row.frame << ": " << s.values[1];
        EXPECT_TRUE(sameBits(s.values[2], row.c)) << row.frame << ": " << s.values[2];
        EXPECT_EQ(s.keyed[0], row.keyedA) << row.frame;
        EXPECT_EQ(s.keyed[1], row.keyedB) << row.frame;
        EXPECT_EQ(s.keyed[2], row.keyedC) << row.frame;
    }
    EXPECT_EQ(sampleAt(cursor, 4.9).effects[0], Held2);
    EXPECT_EQ(sampleAt(cursor, 9.0).effects[1], Held1);
    EXPECT_EQ(sampleAt(cursor, 12.99).effects[2], Held3);
    EXPECT_EQ(sampleAt(cursor, 13.0).effects[2], 0);
}

TEST(ClipCursor, PositionsBelowZeroOrNaNAreZeroAndPastTheEndAreTheEnd)
{
    Animation animation(LayerMap{{"a", {ramp(-0.0f, 8, 4), held(Held1, 2)}}});
    animation.setFPS(2.0f);
    const AnimationClip clip = compileClip(animation);
    ClipCursor cursor(clip);
    for (const double frame : {-0.0, -1e-300, -1.0, -HUGE_VAL, static_cast<double>(NAN)}) {
        const Samples s = sampleAt(cursor, frame);
        EXPECT_TRUE(sameBits(s.values[0], -0.0f)) << frame;
        EXPECT_TRUE(s.keyed[0]) << frame;
    }
    for (const double frame : {6.0, 6.5, 1e19, 18446744073709551616.0, 1e300, HUGE_VAL}) {
        const Samples s = sampleAt(cursor, frame);
        EXPECT_TRUE(sameBits(s.values[0], 8.0f)) << frame;
        EXPECT_FALSE(s.keyed[0]) << frame;
    }
    const Samples last = sampleAt(cursor, 5.999);
    EXPECT_TRUE(last.keyed[0]);
    EXPECT_EQ(last.effects[0], Held1);
    // 1.5 s at 2 fps: frame 3, 6 of the ramp's 8 (exactly 3 × 8 / 4).
    Samples byTime(1);
    cursor.sampleTime(1.5, byTime.buffers());
    EXPECT_TRUE(sameBits(byTime.values[0], 6.0f));
    const std::uint32_t only = 0;
    cursor.sampleTime(0.25, &only, 1, byTime.buffers());
    EXPECT_TRUE(sameBits(byTime.values[0], 1.0f));
}

TEST(ClipCursor, FractionalPositionsMatchTheExactStepsAndAreMonotone)
{
    std::mt19937_64 random(99);
    const std::vector<float> scales = {1e-40f, 1e-30f, 1e-3f, 1.0f, 7.0f, 1e20f, 1e37f};
    for (int i = 0; i < 400; ++i) {
        const float scale = scales[random() % scales.size()];
        const float start = scale * (static_cast<float>(random() % 2001) / 1000.0f - 1.0f);
        const float end = scale * (static_cast<float>(random() % 2001) / 1000.0f - 1.0f);
        const unsigned int duration = i % 4 == 0
            ? 0xFFFFFFFFu - static_cast<unsigned int>(random() % 5)
            : 1 + static_cast<unsigned int>(random() % (i % 4 == 1 ? 1u << 30 : 50u));
        const AnimationKey key = ramp(start, end, duration);
        const AnimationClip clip = compileClip(Animation(LayerMap{{"k", {held(Held1, 3), key}}}));
        ClipCursor cursor(clip);
        double previous = 3.0;
        float previousValue = start;
        for (int j = 0; j < 20; ++j) {
            // Increasing positions in the key, whole and fractional.
            const double step = std::ldexp(static_cast<double>(random() % 1000 + 1), -10)
                * (j < 10 ? 1.0 : static_cast<double>(duration) / 4000.0);
            const double frame = std::min(previous + step, 3.0 + static_cast<double>(duration) - 0x1p-20);
            const double offset = frame - 3.0;
            float value = 0.0f;
            cursor.sampleFrame(frame, ClipSampleBuffers{&value});
            ASSERT_TRUE(sameBits(value, exactRampValue(start, end, offset, duration)))
                << start << " " << end << " " << duration << " at " << offset << ": " << value;
            if (offset == std::floor(offset)) {
                ASSERT_TRUE(sameBits(value, *key.valueAt(static_cast<unsigned int>(offset))));
            }
            ASSERT_TRUE(end >= start ? value >= previousValue : value <= previousValue) << offset;
            previous = frame;
            previousValue = value;
        }
    }
}

TEST(ClipCursor, FractionalValuesKeepTheEndsAndNeverOverflowFiniteEnds)
{
    const AnimationClip clip = compileClip(Animation(
        LayerMap{{"a", {ramp(-0.0f, 1.0f, 3)}}, {"b", {ramp(-3e38f, 3e38f, 4)}}, {"c", {ramp(0.0f, FLT_MAX, 3)}}}));
    ClipCursor cursor(clip);
    Samples s = sampleAt(cursor, 0.0);
    EXPECT_TRUE(sameBits(s.values[0], -0.0f));
    s = sampleAt(cursor, 2.0);
    EXPECT_EQ(s.values[1], 0.0f);
    for (double frame = 0.25; frame < 4.0; frame += 0.25) {
        s = sampleAt(cursor, frame);
        EXPECT_TRUE(std::isfinite(s.values[1]) && s.values[1] >= -3e38f && s.values[1] <= 3e38f) << frame;
        EXPECT_TRUE(std::isfinite(s.values[2])) << frame;
    }
    s = sampleAt(cursor, 3.0);
    EXPECT_TRUE(sameBits(s.values[0], 1.0f));
    EXPECT_TRUE(sameBits(s.values[2], FLT_MAX));
    s = sampleAt(cursor, 3.999999);
    EXPECT_FALSE(s.keyed[0]);
    EXPECT_TRUE(s.keyed[1]);
    EXPECT_LE(s.values[1], 3e38f);
}

TEST(ClipCursor, LongPhasesPastTwoTo32FramesPlay)
{
    // Three keys of 2^32 - 1 frames in the body: it ends past 2^33.
    const unsigned int most = 0xFFFFFFFFu;
    const AnimationClip clip =
        compileClip(Animation(LayerMap{{"a", {ramp(0, 1, most), held(Held1, most), ramp(2, 4, most)}}}));
    ClipCursor cursor(clip);
    const double third = 2.0 * static_cast<double>(most);
    const unsigned int half = most / 2;
    Samples s = sampleAt(cursor, third + static_cast<double>(half));
    EXPECT_TRUE(s.keyed[0]);
    EXPECT_TRUE(sameBits(s.values[0], *ramp(2, 4, most).valueAt(half)));
    s = sampleAt(cursor, third + static_cast<double>(most - 1));
    EXPECT_TRUE(sameBits(s.values[0], *ramp(2, 4, most).valueAt(most - 1)));
    s = sampleAt(cursor, third - 0.5);
    EXPECT_EQ(s.effects[0], Held1);
    EXPECT_TRUE(sameBits(s.values[0], 1.0f));
    s = sampleAt(cursor, 3.0 * most);
    EXPECT_FALSE(s.keyed[0]);
    EXPECT_TRUE(sameBits(s.values[0], 4.0f));
}

TEST(ClipCursor, CopiesSampleOnTheirOwn)
{
    std::mt19937_64 random(3);
    const Animation animation = randomAnimation(random, 5, 30, 3);
    const AnimationClip clip = compileClip(animation);
    ClipCursor first(clip);
    (void)sampleAt(first, 20.0);
    ClipCursor second(first);
    ClipCursor third(clip);
    third = first;
    ClipCursor moved(std::move(third));
    for (std::uint64_t f = 0; f < clip.frameCount(); f += 2) {
        expectNaive(animation, clip, f, sampleAt(second, static_cast<double>(f)));
        expectNaive(animation, clip, clip.frameCount() - f,
                    sampleAt(moved, static_cast<double>(clip.frameCount() - f)));
    }
    EXPECT_EQ(&second.clip(), &clip);
    ASSERT_TRUE(ClipCursor::tryCreate(clip).has_value());
}

TEST(ClipCursor, AWholeFrameOfAKeyPastTwoTo29FramesRoundsTheProductOnce)
{
    // Frame × delta here is a double on a float midpoint while the exact
    // product lies above it: converting the double would round the wrong way.
    const AnimationKey key = ramp(0.0f, 1.5589648485183716f, 4294967295u);
    const AnimationClip clip = compileClip(Animation(LayerMap{{"k", {key}}}));
    ClipCursor cursor(clip);
    float value = 0.0f;
    cursor.sampleFrame(3922907161.0, ClipSampleBuffers{&value});
    EXPECT_TRUE(sameBits(value, *key.valueAt(3922907161u)));
    EXPECT_TRUE(sameBits(value, exactRampValue(0.0f, 1.5589648485183716f, 3922907161.0, 4294967295u)));
    EXPECT_EQ(value, 1.4239164590835571f);
    // Below 2^30 frames as well: frame 1044357527 × 0x1.e623b2p+0 needs 54
    // bits, and its double lies on a float midpoint below the exact product.
    const AnimationKey shorter = ramp(0.0f, 0x1.e623b2p+0f, 1u << 30);
    const AnimationClip second = compileClip(Animation(LayerMap{{"k", {shorter}}}));
    ClipCursor secondCursor(second);
    secondCursor.sampleFrame(1044357527.0, ClipSampleBuffers{&value});
    EXPECT_TRUE(sameBits(value, *shorter.valueAt(1044357527u)));
    EXPECT_EQ(value, 0x1.d8d5eap+0f);
}

TEST(ClipCursor, ASubnormalProductOnAMidpointRoundsTowardsTheExactValue)
{
    // t × 3 × 2^-149 with t just above 1/6: the double product is 2^-150
    // exactly, the midpoint between 0 and the smallest subnormal, while the
    // exact product lies above it.
    const float delta = 3.0f * std::numeric_limits<float>::denorm_min();
    const AnimationClip clip = compileClip(Animation(LayerMap{{"k", {ramp(0.0f, delta, 1)}}}));
    ClipCursor cursor(clip);
    const double t = std::nextafter(1.0 / 6.0, 1.0);
    ASSERT_EQ(t * static_cast<double>(delta), std::ldexp(1.0, -150));
    float value = 0.0f;
    cursor.sampleFrame(t, ClipSampleBuffers{&value});
    EXPECT_TRUE(sameBits(value, exactRampValue(0.0f, delta, t, 1)));
    EXPECT_EQ(value, std::numeric_limits<float>::denorm_min());
}

namespace {

// A key from 0 to delta over `duration` frames whose quotient delta ÷
// duration, rounded to double, lands exactly on the midpoint between two
// floats although the exact quotient lies `r` units off it: found from
// M × duration = F × 2^33 + r with M odd of 25 bits (the midpoint's
// significand) and F of at most 24 bits (delta's).
struct MidpointQuotient {
    float delta = 0.0f;
    unsigned int duration = 0;
};

std::vector<MidpointQuotient> midpointQuotients()
{
    std::vector<MidpointQuotient> found;
    for (std::uint64_t duration = 0xFFFFFFFFu; found.size() < 6 && duration > 0xF0000000u; duration -= 2) {
        std::uint64_t inverse = duration; // duration⁻¹ modulo 2^64, by Newton's steps
        for (int i = 0; i < 6; ++i) {
            inverse *= 2 - duration * inverse;
        }
        for (const std::int64_t r : {-3, -1, 1, 3}) {
            const std::uint64_t m = (static_cast<std::uint64_t>(r) * inverse) & ((std::uint64_t{1} << 33) - 1);
            if (m >> 24 != 1 || m % 2 == 0) {
                continue;
            }
            const auto product = static_cast<Wide>(m) * duration;
            const auto f = static_cast<std::uint64_t>((product - static_cast<Wide>(r)) >> 33);
            found.push_back({std::ldexp(static_cast<float>(f), -20), static_cast<unsigned int>(duration)});
        }
    }
    return found;
}

} // namespace

TEST(ClipCursor, AQuotientOnAFloatMidpointRoundsTowardsTheExactValue)
{
    const std::vector<MidpointQuotient> cases = midpointQuotients();
    ASSERT_GE(cases.size(), 4u);
    for (const MidpointQuotient& c : cases) {
        const double quotient = static_cast<double>(c.delta) / c.duration;
        // The double quotient is a float midpoint: 29 bits below float precision, 1000...0.
        std::uint64_t bits = 0;
        std::memcpy(&bits, &quotient, sizeof(bits));
        ASSERT_EQ(bits & 0x1FFFFFFFu, 0x10000000u);
        for (const float sign : {1.0f, -1.0f}) {
            const AnimationKey key = ramp(0.0f, sign * c.delta, c.duration);
            const AnimationClip clip = compileClip(Animation(LayerMap{{"k", {key}}}));
            ClipCursor cursor(clip);
            float value = 0.0f;
            cursor.sampleFrame(1.0, ClipSampleBuffers{&value});
            EXPECT_TRUE(sameBits(value, *key.valueAt(1))) << c.delta << " / " << c.duration;
            EXPECT_TRUE(sameBits(value, exactRampValue(0.0f, sign * c.delta, 1.0, c.duration)));
        }
    }
}

TEST(ClipCursor, SumsRoundingPastTheLargestFloatStayFinite)
{
    // From a large start to the largest float: the share may round above
    // the remaining distance, and start + share past the largest float.
    int checked = 0;
    for (int eighth = 1; eighth < 8; ++eighth) {
        const float start = FLT_MAX / 8.0f * static_cast<float>(eighth);
        for (unsigned int duration = 2; duration < 40; ++duration) {
            for (const float sign : {1.0f, -1.0f}) {
                const AnimationKey key = ramp(sign * start, sign * FLT_MAX, duration);
                const AnimationClip clip = compileClip(Animation(LayerMap{{"k", {key}}}));
                ClipCursor cursor(clip);
                for (unsigned int frame = 1; frame < duration; ++frame) {
                    float value = 0.0f;
                    cursor.sampleFrame(frame, ClipSampleBuffers{&value});
                    ASSERT_TRUE(std::isfinite(value)) << start << " " << duration << " " << frame;
                    ASSERT_TRUE(sameBits(value, *key.valueAt(frame)));
                    ++checked;
                }
            }
        }
    }
    EXPECT_GT(checked, 1000);
    // Keys so long that the share rounds up to the whole distance just before their end.
    for (const unsigned int duration : {0xFFFFFFFFu, 0xFFFFFFFEu, 1u << 30}) {
        for (int eighth = 1; eighth < 8; ++eighth) {
            const float start = FLT_MAX / 8.0f * static_cast<float>(eighth);
            const AnimationClip clip = compileClip(Animation(LayerMap{{"k", {ramp(start, FLT_MAX, duration)}}}));
            ClipCursor cursor(clip);
            for (const double offset : {1.0, 2.0, 0.5, 0x1p-20, 0x1p-10}) {
                const double frame = static_cast<double>(duration) - offset;
                float value = 0.0f;
                cursor.sampleFrame(frame, ClipSampleBuffers{&value});
                ASSERT_TRUE(std::isfinite(value)) << start << " " << duration << " " << frame;
                ASSERT_TRUE(sameBits(value, exactRampValue(start, FLT_MAX, frame, duration)));
            }
        }
    }
}
